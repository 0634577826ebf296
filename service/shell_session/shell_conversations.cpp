#include "service/shell_session/shell_conversations.h"

#include <chrono>

namespace mirvale {
namespace {

constexpr auto kStopCheck = std::chrono::milliseconds(50);

}  // namespace

ShellConversations::ShellConversations(size_t limit, ShellSessionLimits limits, const ManualEvent* serviceStop)
    : limit_(limit == 0 ? 1 : limit), limits_(limits), serviceStop_(serviceStop) {}

ShellConversations::Turn& ShellConversations::Turn::operator=(Turn&& other) noexcept {
  if (this != &other) {
    Leave();
    owner_ = other.owner_;
    device_ = std::move(other.device_);
    other.owner_ = nullptr;
  }
  return *this;
}

void ShellConversations::Turn::Leave() {
  if (owner_ != nullptr) owner_->Leave(device_);
  owner_ = nullptr;
}

ShellConversations::Turn ShellConversations::Enter(const std::string& device) {
  std::unique_lock lock(mutex_);
  while (busy_.size() >= limit_ || busy_.count(device) != 0) {
    if (serviceStop_ != nullptr && serviceStop_->IsSet()) return Turn();
    changed_.wait_for(lock, kStopCheck);
  }
  busy_.insert(device);
  return Turn(this, device);
}

void ShellConversations::Leave(const std::string& device) {
  {
    std::lock_guard lock(mutex_);
    busy_.erase(device);
  }
  changed_.notify_all();
}

void ShellConversations::SetServiceStop(const ManualEvent* serviceStop) {
  std::lock_guard lock(mutex_);
  serviceStop_ = serviceStop;
}

const ManualEvent* ShellConversations::ServiceStop() const {
  std::lock_guard lock(mutex_);
  return serviceStop_;
}

}  // namespace mirvale
