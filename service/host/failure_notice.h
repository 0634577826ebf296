#pragma once
// A write that keeps failing (a full disk) is logged once when it starts failing and once when
// it works again, not on every attempt.
#include <mutex>
#include <string>
#include <string_view>

namespace mirvale {

class FailureNotice {
 public:
  // subject names the write, e.g. "Saving /var/lib/.../Mirvale.db".
  explicit FailureNotice(std::string subject) : subject_(std::move(subject)) {}

  void Note(bool ok, std::string_view reason = {});
  bool Failing() const;

 private:
  const std::string subject_;
  mutable std::mutex mutex_;
  bool failing_ = false;
};

}  // namespace mirvale
