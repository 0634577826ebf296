#pragma once
// Audit lines waiting for the main worker's next flush. Device and request threads append;
// the flush takes a copy, writes it, and removes what it wrote from the head.
#include <deque>
#include <mutex>
#include <string>
#include <vector>

namespace mirvale {

class AuditQueue {
 public:
  void Append(std::string line);
  void Append(const std::vector<std::string>& lines);

  std::vector<std::string> Snapshot() const;
  // Removes the count oldest lines (those a flush has written).
  void DropFront(size_t count);
  size_t Size() const;

 private:
  mutable std::mutex mutex_;
  std::deque<std::string> lines_;
};

}  // namespace mirvale
