#include "service/host/command_line.h"

#include <cctype>

namespace mirvale {

namespace {

bool EqualIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  }
  return true;
}

}  // namespace

CommandWord FindCommandWord(std::string_view commandLine) {
  for (size_t i = 0; i < commandLine.size(); ++i) {
    if (commandLine[i] != '-' && commandLine[i] != '/') continue;
    std::string_view rest = commandLine.substr(i + 1);
    if (EqualIgnoringCase(rest, "UnregServer")) return CommandWord::UnregServer;
    if (EqualIgnoringCase(rest, "RegServer")) return CommandWord::RegServer;
    if (EqualIgnoringCase(rest, "Service")) return CommandWord::Service;
  }
  return CommandWord::None;
}

std::string JoinArguments(int argc, char** argv) {
  std::string line;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) line += ' ';
    line += argv[i];
  }
  return line;
}

}  // namespace mirvale
