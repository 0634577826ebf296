#pragma once
// Runs a shell command (a peer's own tool, such as snmpget) and returns its output without the
// trailing line ends; empty when it could not run.
#include <cstdio>
#include <string>

namespace testing_support {

inline std::string CommandOutput(const std::string& command) {
  std::string output;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[256];
    while (fgets(buffer, sizeof buffer, pipe)) output += buffer;
    pclose(pipe);
  }
  while (!output.empty() && (output.back() == '\n' || output.back() == '\r')) output.pop_back();
  return output;
}

}  // namespace testing_support
