#include "base/tick.h"

#include <atomic>
#include <ctime>

namespace {

std::atomic<TickSource> override_source{nullptr};

uint64_t monotonic_milliseconds() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
}

}  // namespace

uint64_t tick_count_64() {
  TickSource source = override_source.load();
  return source != nullptr ? source() : monotonic_milliseconds();
}

void tick_source_override(TickSource source) { override_source.store(source); }
