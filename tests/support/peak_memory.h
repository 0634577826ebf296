#pragma once
// A process's peak and present resident memory, as its status file tells them.
#include <fstream>
#include <string>

#include <sys/types.h>

namespace testing_support {

// Kilobytes of the status line named field ("VmHWM:", "VmRSS:"); 0 when it cannot be read.
inline long StatusMemoryKb(pid_t pid, const std::string& field) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind(field, 0) == 0) return std::stol(line.substr(field.size()));
  return 0;
}

// The process's peak resident memory (VmHWM).
inline long PeakMemoryKb(pid_t pid) { return StatusMemoryKb(pid, "VmHWM:"); }
// The process's resident memory now (VmRSS).
inline long ResidentMemoryKb(pid_t pid) { return StatusMemoryKb(pid, "VmRSS:"); }

}  // namespace testing_support
