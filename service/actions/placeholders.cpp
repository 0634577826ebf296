#include "service/actions/placeholders.h"

#include <algorithm>
#include <array>

namespace mirvale {

namespace {

constexpr std::array<std::string_view, 5> kNames = {"$pool", "$device", "$name", "$action", "$date"};

std::array<const std::string*, 5> ValueList(const PlaceholderValues& values) {
  return {&values.pool, &values.device, &values.name, &values.action, &values.date};
}

using Cleaner = std::string (*)(const std::string&);

std::string AsIs(const std::string& value) { return value; }

std::string WithoutLineBreaks(const std::string& value) {
  std::string out = value;
  std::replace(out.begin(), out.end(), '\r', ' ');
  std::replace(out.begin(), out.end(), '\n', ' ');
  return out;
}

// Replaces, in one pass over text, the first occurrence of each placeholder not yet marked in
// used, and marks it. Placeholders cannot overlap: each is "$" and letters.
std::string ReplaceOnce(std::string_view text, const PlaceholderValues& values, std::array<bool, 5>& used,
                        Cleaner clean) {
  auto valueList = ValueList(values);
  std::array<size_t, 5> at{};
  for (size_t i = 0; i < kNames.size(); ++i) at[i] = used[i] ? std::string_view::npos : text.find(kNames[i]);
  std::string out;
  size_t position = 0;
  for (;;) {
    size_t next = std::string_view::npos;
    size_t which = 0;
    for (size_t i = 0; i < at.size(); ++i) {
      if (at[i] < next) {
        next = at[i];
        which = i;
      }
    }
    if (next == std::string_view::npos) break;
    out.append(text.substr(position, next - position));
    out += clean(*valueList[which]);
    position = next + kNames[which].size();
    used[which] = true;
    at[which] = std::string_view::npos;
  }
  out.append(text.substr(position));
  return out;
}

std::vector<std::string> SplitArguments(std::string_view parameters) {
  std::vector<std::string> arguments;
  std::string current;
  bool inArgument = false;
  bool quoted = false;
  for (char c : parameters) {
    if (c == '"') {
      quoted = !quoted;
      inArgument = true;
    } else if ((c == ' ' || c == '\t') && !quoted) {
      if (inArgument) arguments.push_back(current);
      current.clear();
      inArgument = false;
    } else {
      current += c;
      inArgument = true;
    }
  }
  if (inArgument) arguments.push_back(current);
  return arguments;
}

}  // namespace

std::string ReplacePlaceholders(std::string_view text, const PlaceholderValues& values) {
  std::array<bool, 5> used{};
  return ReplaceOnce(text, values, used, AsIs);
}

std::string ReplacePlaceholdersInSubject(std::string_view text, const PlaceholderValues& values) {
  std::array<bool, 5> used{};
  return ReplaceOnce(text, values, used, WithoutLineBreaks);
}

std::vector<std::string> BuildRunArguments(std::string_view parameters, const PlaceholderValues& values) {
  std::array<bool, 5> used{};
  std::vector<std::string> arguments;
  for (const auto& argument : SplitArguments(parameters)) arguments.push_back(ReplaceOnce(argument, values, used, AsIs));
  return arguments;
}

}  // namespace mirvale
