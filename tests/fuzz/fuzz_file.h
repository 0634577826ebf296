#pragma once
// For targets whose code under test reads a file by name: the input becomes a memory file of
// this process, named through /proc, so no folder is shared with anything else.
#include <string>

#include <sys/mman.h>
#include <unistd.h>

namespace fuzz_support {

class InputFile {
 public:
  InputFile(const unsigned char* data, size_t size) : fd_(memfd_create("fuzz-input", 0)) {
    if (fd_ < 0 || ::write(fd_, data, size) != static_cast<ssize_t>(size)) __builtin_trap();
  }
  ~InputFile() { ::close(fd_); }
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;
  std::string path() const { return "/proc/self/fd/" + std::to_string(fd_); }

 private:
  int fd_;
};

}  // namespace fuzz_support
