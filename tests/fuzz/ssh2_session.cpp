// SSH-2 user authentication and the connection protocol after the first key exchange: the
// server's answers to our service request, login methods (keyboard-interactive, password and
// its change), then channel opens, data, requests and closes, as unencrypted packets. The
// first byte's low bit switches on forwardings (remote port, X11, agent; destinations on
// loopback).
#include "tests/fuzz/ssh_harness.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
  if (size < 1) return 0;
  SessionConfig config = fuzz_support::SshConfig();
  if (data[0] & 1) fuzz_support::EnableForwardings(config);
  fuzz_support::SshPeer server(config);
  server.AfterFirstKeyExchange();
  server.ReceivePayloads(data + 1, size - 1);
  return 0;
}
