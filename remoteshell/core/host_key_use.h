#pragma once
// When each host of the host-key cache was first stored and last used (its key matched), kept
// as "<stored>,<used>" in days since 1970 (UTC) under the host's "<port>:<escaped host>" in a key
// of its own. A full cache makes room by dropping the hosts that rank lowest: the longest
// unused, where a host used again on a later day than it was stored counts as used
// kProvenHostBonusDays later than it was. So a flood of new hosts first pushes out hosts seen
// only once (its own among them) and hosts unused for long, not those in steady use; a host
// without a readable record ranks lowest.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

inline constexpr uint32_t kProvenHostBonusDays = 30;

struct HostKeyUse {
  uint32_t stored = 0;
  uint32_t used = 0;
};

uint32_t host_key_use_today();
// nullopt when the text is not two decimal day numbers, the second not before the first.
std::optional<HostKeyUse> parse_host_key_use(std::string_view text);
std::string format_host_key_use(const HostKeyUse& use);
// The lower, the sooner the host gives way.
uint64_t host_key_keep_rank(const std::optional<HostKeyUse>& use);
// "last used 2026-12-01" or "no use recorded", for the log.
std::string host_key_use_text(const std::optional<HostKeyUse>& use);
