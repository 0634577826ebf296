#pragma once
// The service program's command-line words. A word counts when it follows a "-" or "/" and
// is the rest of the command line from there, in any mix of case ("-Service x" is no word).
#include <string>
#include <string_view>

namespace mirvale {

enum class CommandWord { None, UnregServer, RegServer, Service };

CommandWord FindCommandWord(std::string_view commandLine);

// The arguments after the program name, joined by blanks, as one command line.
std::string JoinArguments(int argc, char** argv);

}  // namespace mirvale
