// Repeated key exchange: by data volume ("RekeyBytes"), by time ("RekeyTime", on the session
// thread's timers), at the user's request, or when the server starts one (handled with the
// exchange itself).
#include <algorithm>

#include "base/tick.h"
#include "base/timers.h"
#include "remoteshell/ssh/ssh_session.h"

namespace {

// Minutes as a timer delay, kept within the span that tick comparisons can order.
uint32_t minutes_to_ms(int minutes) { return static_cast<uint32_t>(std::min(minutes, 35000)) * 60000u; }

void rekey_timer(void* context, uint32_t now) {
  auto* ssh = static_cast<SshSession*>(context);
  if (ssh->state == kSshClosed || ssh->kex.in_progress || ssh->config.rekey_time <= 0) return;
  // A timer of an earlier schedule, since moved on by a rekey or a changed "RekeyTime".
  if (tick_is_before(now, ssh->kex.next_rekey)) return;
  ssh2_rekey(ssh, "timeout");
}

}  // namespace

void ssh2_rekey(SshSession* ssh, const char* reason) {
  if (ssh->state == kSshClosed || ssh->kex.in_progress || !ssh->kex.first_done) return;
  if ((ssh->quirks & kQuirkRekey2) != 0) {
    ssh_event(ssh, "Server bug prevents key re-exchange (%s)", reason);
    ssh->bytes_sent = ssh->bytes_received = 0;
    ssh2_rekey_schedule(ssh);
    return;
  }
  ssh_event(ssh, "Initiating key re-exchange (%s)", reason);
  ssh2_kex_start(ssh);
}

void ssh2_rekey_schedule(SshSession* ssh) {
  ssh->kex.last_time = tick_count();
  if (ssh->config.rekey_time > 0)
    ssh->kex.next_rekey = timer_schedule(minutes_to_ms(ssh->config.rekey_time), rekey_timer, ssh);
}

const char* ssh2_rekey_time_changed(SshSession* ssh, int minutes) {
  if (minutes <= 0 || !ssh->kex.first_done) return nullptr;
  uint32_t due = ssh->kex.last_time + minutes_to_ms(minutes);
  uint32_t now = tick_count();
  if (!tick_is_before(now, due)) return "timeout shortened";
  ssh->kex.next_rekey = timer_schedule(due - now, rekey_timer, ssh);
  return nullptr;
}

void ssh2_check_data_limit(SshSession* ssh, bool sent) {
  if (ssh->kex.in_progress || ssh->data_limit == 0) return;
  if (sent && ssh->bytes_sent > ssh->data_limit) ssh2_rekey(ssh, "too much data sent");
  if (!sent && ssh->bytes_received > ssh->data_limit) ssh2_rekey(ssh, "too much data received");
}
