#include "service/store/audit_queue.h"

#include <algorithm>

namespace mirvale {

void AuditQueue::Append(std::string line) {
  std::lock_guard lock(mutex_);
  lines_.push_back(std::move(line));
}

void AuditQueue::Append(const std::vector<std::string>& lines) {
  std::lock_guard lock(mutex_);
  lines_.insert(lines_.end(), lines.begin(), lines.end());
}

std::vector<std::string> AuditQueue::Snapshot() const {
  std::lock_guard lock(mutex_);
  return {lines_.begin(), lines_.end()};
}

void AuditQueue::DropFront(size_t count) {
  std::lock_guard lock(mutex_);
  lines_.erase(lines_.begin(), lines_.begin() + static_cast<std::ptrdiff_t>(std::min(count, lines_.size())));
}

size_t AuditQueue::Size() const {
  std::lock_guard lock(mutex_);
  return lines_.size();
}

}  // namespace mirvale
