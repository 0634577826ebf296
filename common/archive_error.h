#pragma once
// A stored file that does not follow the archive format. Reading stops at the first fault and
// the caller's load attempt fails as a whole; nothing half-read is kept.
#include <stdexcept>
#include <string>

namespace mirvale {

class ArchiveError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace mirvale
