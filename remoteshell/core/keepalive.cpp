#include "remoteshell/core/keepalive.h"

#include "base/memory.h"
#include "base/tick.h"
#include "base/timers.h"

namespace {

void keepalive_schedule(KeepAlive* keepalive);

void keepalive_timer(void* context, uint32_t now) {
  auto* keepalive = static_cast<KeepAlive*>(context);
  if (!keepalive->scheduled || tick_is_before(now, keepalive->due)) return;
  keepalive->backend_ops->send_special(keepalive->backend, kSpecialKeepAlive);
  keepalive->scheduled = 0;
  keepalive_schedule(keepalive);
}

void keepalive_schedule(KeepAlive* keepalive) {
  if (keepalive->interval == 0) {
    keepalive->scheduled = 0;
    return;
  }
  uint32_t due = timer_schedule(static_cast<uint32_t>(keepalive->interval) * 1000u, keepalive_timer, keepalive);
  if (!keepalive->scheduled || tick_is_before(due, keepalive->due)) {
    keepalive->due = due;
    keepalive->scheduled = 1;
  }
}

}  // namespace

KeepAlive* keepalive_new(const SessionConfig* settings, const SessionBackend* backend_ops, void* backend) {
  auto* keepalive = checked_new_array<KeepAlive>(1);
  *keepalive = KeepAlive{settings->ping_interval, 0, 0, backend_ops, backend};
  keepalive_schedule(keepalive);
  return keepalive;
}

void keepalive_reconfigure(KeepAlive* keepalive, const SessionConfig* old_settings, const SessionConfig* new_settings) {
  if (old_settings->ping_interval == new_settings->ping_interval) return;
  keepalive->interval = new_settings->ping_interval;
  keepalive_schedule(keepalive);
}

void keepalive_free(KeepAlive* keepalive) {
  if (keepalive == nullptr) return;
  timer_expire_context(keepalive);
  checked_free(keepalive);
}
