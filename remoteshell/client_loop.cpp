#include "remoteshell/client_loop.h"

#include <algorithm>

#include "base/memory.h"
#include "base/tick.h"
#include "base/timers.h"
#include "remoteshell/net/network.h"

void client_network_start() { net_startup(); }

void client_network_end() { net_shutdown(); }

bool client_network_turn(int timeout_ms, std::mutex* guard, int wake_fd) {
  return net_run_once(timeout_ms, guard, wake_fd) != 0;
}

bool client_timers_run(uint32_t* next_timer) { return timers_run_due(next_timer); }

int client_loop_wait_ms(bool timers_pending, uint32_t next_timer, int idle_ms) {
  if (!timers_pending) return idle_ms;
  const uint32_t now = tick_count();
  if (!tick_is_before(now, next_timer)) return 0;
  return static_cast<int>(std::min<uint32_t>(next_timer - now, static_cast<uint32_t>(idle_ms)));
}

void client_free_text(char* text) { checked_free(text); }
