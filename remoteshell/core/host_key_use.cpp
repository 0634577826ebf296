#include "remoteshell/core/host_key_use.h"

#include <charconv>
#include <ctime>

namespace {

constexpr time_t kSecondsPerDay = 86400;

std::optional<uint32_t> parse_day(std::string_view text) {
  uint32_t day = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), day);
  if (error != std::errc() || end != text.data() + text.size() || text.empty()) return std::nullopt;
  return day;
}

}  // namespace

uint32_t host_key_use_today() { return static_cast<uint32_t>(std::time(nullptr) / kSecondsPerDay); }

std::optional<HostKeyUse> parse_host_key_use(std::string_view text) {
  size_t comma = text.find(',');
  if (comma == std::string_view::npos) return std::nullopt;
  auto stored = parse_day(text.substr(0, comma));
  auto used = parse_day(text.substr(comma + 1));
  if (!stored || !used || *used < *stored) return std::nullopt;
  return HostKeyUse{*stored, *used};
}

std::string format_host_key_use(const HostKeyUse& use) {
  return std::to_string(use.stored) + "," + std::to_string(use.used);
}

uint64_t host_key_keep_rank(const std::optional<HostKeyUse>& use) {
  if (!use) return 0;
  return uint64_t{use->used} + (use->used > use->stored ? kProvenHostBonusDays : 0);
}

std::string host_key_use_text(const std::optional<HostKeyUse>& use) {
  if (!use) return "no use recorded";
  time_t seconds = static_cast<time_t>(use->used) * kSecondsPerDay;
  std::tm day{};
  gmtime_r(&seconds, &day);
  char text[16];
  std::strftime(text, sizeof text, "%Y-%m-%d", &day);
  return std::string("last used ") + text;
}
