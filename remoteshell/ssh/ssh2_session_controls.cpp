// What the user does to a running SSH-2 session besides typing: a new terminal size, EOF, a
// break and signals, all on the session channel. Controls asked for before the session runs
// wait for it (size and EOF) or are dropped (break and signals, which have no process yet).
#include "remoteshell/core/backend.h"
#include "remoteshell/ssh/ssh_session.h"

namespace {

// Index: special code minus kSpecialSignalAbrt.
const char* const kSignalNames[] = {"ABRT", "ALRM", "FPE",  "HUP",  "ILL",  "INT", "KILL",
                                    "PIPE", "QUIT", "SEGV", "TERM", "USR1", "USR2"};
static_assert(std::size(kSignalNames) == kSpecialSignalUsr2 - kSpecialSignalAbrt + 1);

bool session_running(const SshSession* ssh) {
  return ssh->state == kSshSession && ssh->channel.step == kChannelOpen && !ssh->channel.close_sent;
}

void send_window_change(SshSession* ssh) {
  WireBuffer request;
  ssh2_put_channel_request(request, ssh->channel, "window-change", false);
  request.put_uint32(static_cast<uint32_t>(ssh->width));
  request.put_uint32(static_cast<uint32_t>(ssh->height));
  request.put_uint32(0);
  request.put_uint32(0);
  ssh2_send(ssh, request);
}

}  // namespace

void ssh2_resize(SshSession* ssh) {
  if (ssh->config.no_pty) return;
  if (session_running(ssh)) return send_window_change(ssh);
  // Before the pty request the request itself carries the size.
  SshChannelStep step = ssh->channel.step;
  if (step >= kChannelPty && step < kChannelOpen) ssh->size_needed = true;
}

void ssh2_send_eof(SshSession* ssh) {
  ssh->eof_needed = true;
  ssh2_channel_flush(ssh);
  ssh2_send_pending_eof(ssh);
}

void ssh2_send_pending_eof(SshSession* ssh) {
  if (!ssh->eof_needed || ssh->eof_sent || !session_running(ssh) || !ssh->channel.outgoing.empty()) return;
  WireBuffer eof;
  eof.put_byte(kMsgChannelEof);
  eof.put_uint32(ssh->channel.remote_id);
  ssh2_send(ssh, eof);
  ssh->eof_sent = true;
  ssh_event(ssh, "Sent EOF message");
}

void ssh2_session_started(SshSession* ssh) {
  if (ssh->size_needed && !ssh->config.no_pty) send_window_change(ssh);
  ssh->size_needed = false;
  ssh2_channel_flush(ssh);
  ssh2_send_pending_eof(ssh);
}

void ssh2_send_session_control(SshSession* ssh, int code) {
  if (!session_running(ssh)) return;
  WireBuffer request;
  if (code == kSpecialBreak) {
    ssh2_put_channel_request(request, ssh->channel, "break", false);
    request.put_uint32(0);  // the server's default break length
    ssh2_send(ssh, request);
    return;
  }
  if (code < kSpecialSignalAbrt || code > kSpecialSignalUsr2) return;
  const char* name = kSignalNames[code - kSpecialSignalAbrt];
  ssh2_put_channel_request(request, ssh->channel, "signal", false);
  request.put_string(name);
  ssh2_send(ssh, request);
  ssh_event(ssh, "Sent signal SIG%s", name);
}
