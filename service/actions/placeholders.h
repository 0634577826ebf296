#pragma once
// Templates of the actions: the first occurrence of each of "$pool", "$device", "$name",
// "$action" and "$date" is replaced by its value; later occurrences stay. All are found in the
// template itself in one pass, so a value that holds "$name" is never expanded again.
#include <string>
#include <string_view>
#include <vector>

namespace mirvale {

struct PlaceholderValues {
  std::string pool;
  std::string device;
  std::string name;
  std::string action;
  std::string date;
};

// Replaces the placeholders of one template by the bare values.
std::string ReplacePlaceholders(std::string_view text, const PlaceholderValues& values);

// For an e-mail subject: CR and LF inside the values become blanks, so a value cannot add
// header lines.
std::string ReplacePlaceholdersInSubject(std::string_view text, const PlaceholderValues& values);

// The parameters of a run action as an argument vector: split at blanks (double quotes group
// blanks into one argument and are removed), then each placeholder's first occurrence across
// the arguments is replaced by its bare value. The values never meet a shell.
std::vector<std::string> BuildRunArguments(std::string_view parameters, const PlaceholderValues& values);

}  // namespace mirvale
