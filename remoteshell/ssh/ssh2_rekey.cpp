// Repeated key exchange: by data volume ("RekeyBytes"), at the user's request, or when the
// server starts one (handled with the exchange itself).
#include "remoteshell/ssh/ssh_session.h"

void ssh2_rekey(SshSession* ssh, const char* reason) {
  if (ssh->state == kSshClosed || ssh->kex.in_progress || !ssh->kex.first_done) return;
  if ((ssh->quirks & kQuirkRekey2) != 0) {
    ssh_event(ssh, "Server bug prevents key re-exchange (%s)", reason);
    ssh->bytes_sent = ssh->bytes_received = 0;
    return;
  }
  ssh_event(ssh, "Initiating key re-exchange (%s)", reason);
  ssh2_kex_start(ssh);
}

void ssh2_check_data_limit(SshSession* ssh, bool sent) {
  if (ssh->kex.in_progress || ssh->data_limit == 0) return;
  if (sent && ssh->bytes_sent > ssh->data_limit) ssh2_rekey(ssh, "too much data sent");
  if (!sent && ssh->bytes_received > ssh->data_limit) ssh2_rekey(ssh, "too much data received");
}
