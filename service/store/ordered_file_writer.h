#pragma once
// One database file written from snapshots taken under the data-store lock but written after
// it: each snapshot carries a number given when it was taken, and one older than the content
// already written is dropped, so the file never goes back in time when two saves overlap.
#include <cstdint>
#include <mutex>
#include <string>

#include "service/host/failure_notice.h"

namespace mirvale {

class OrderedFileWriter {
 public:
  struct Snapshot {
    uint64_t number = 0;
    std::string bytes;
  };

  explicit OrderedFileWriter(std::string path) : path_(std::move(path)), notice_("Saving " + path_) {}

  // Called under the lock that guards what the bytes encode.
  Snapshot Take(std::string bytes);
  // One attempt; false when the snapshot is outdated or the file cannot be written.
  bool Write(Snapshot snapshot);
  // Whether the last write failed, so that the content waits in memory for another save.
  bool Failing() const { return notice_.Failing(); }

 private:
  const std::string path_;
  uint64_t taken_ = 0;  // guarded by the caller's lock
  std::mutex writeMutex_;
  uint64_t written_ = 0;
  FailureNotice notice_;
};

}  // namespace mirvale
