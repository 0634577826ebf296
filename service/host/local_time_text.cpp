#include "service/host/local_time_text.h"

#include <cstdio>

namespace mirvale {

std::string FormatLocalDateTime(std::time_t time) {
  std::tm local{};
  localtime_r(&time, &local);
  char buffer[32];
  std::strftime(buffer, sizeof buffer, "%Y-%m-%d %H:%M:%S", &local);
  return buffer;
}

std::optional<std::time_t> ParseLocalDateTime(std::string_view text) {
  if (text.size() < 19) return std::nullopt;
  std::string head(text.substr(0, 19));
  for (size_t i = 0; i < head.size(); ++i) {
    bool digit = head[i] >= '0' && head[i] <= '9';
    char separator = i == 4 || i == 7 ? '-' : i == 10 ? ' ' : i == 13 || i == 16 ? ':' : 0;
    if (separator ? head[i] != separator : !digit) return std::nullopt;
  }
  std::tm local{};
  if (std::sscanf(head.c_str(), "%4d-%2d-%2d %2d:%2d:%2d", &local.tm_year, &local.tm_mon, &local.tm_mday,
                  &local.tm_hour, &local.tm_min, &local.tm_sec) != 6)
    return std::nullopt;
  if (local.tm_mon < 1 || local.tm_mon > 12 || local.tm_mday < 1 || local.tm_mday > 31 || local.tm_hour > 23 ||
      local.tm_min > 59 || local.tm_sec > 60)
    return std::nullopt;
  local.tm_year -= 1900;
  local.tm_mon -= 1;
  local.tm_isdst = -1;
  std::time_t time = std::mktime(&local);
  if (time == static_cast<std::time_t>(-1)) return std::nullopt;
  return time;
}

std::string SecondsText(std::time_t time) { return std::to_string(static_cast<long>(time)); }

}  // namespace mirvale
