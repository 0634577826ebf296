#pragma once
// The client's clock: milliseconds of the monotonic clock. The 32-bit tick wraps every 49.7
// days; compare ticks only by their signed difference (tick_is_before).
#include <cstdint>

uint64_t tick_count_64();
inline uint32_t tick_count() { return static_cast<uint32_t>(tick_count_64()); }

// True when a lies before b, also across the wrap of the 32-bit count.
inline bool tick_is_before(uint32_t a, uint32_t b) { return static_cast<int32_t>(a - b) < 0; }

// Tests replace the clock (null restores the monotonic clock).
using TickSource = uint64_t (*)();
void tick_source_override(TickSource source);
