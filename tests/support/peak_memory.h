#pragma once
// A process's peak resident memory, as its status file tells it.
#include <fstream>
#include <string>

#include <sys/types.h>

namespace testing_support {

// Kilobytes of the process's peak resident memory (VmHWM); 0 when it cannot be read.
inline long PeakMemoryKb(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
  return 0;
}

}  // namespace testing_support
