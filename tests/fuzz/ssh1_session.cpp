// SSH-1 login and session messages through the real receive path: the server's public keys,
// the answers to our user name and each login method (password, TIS, CryptoCard), then the
// session's data, exit status and forwarded opens, as unencrypted packets. The first byte
// switches on forwardings (bit 0; remote port, X11, agent; destinations on loopback) and the
// challenge methods (bit 1).
#include "tests/fuzz/ssh_harness.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
  if (size < 1) return 0;
  SessionConfig config = fuzz_support::SshConfig();
  config.ssh_protocol = 0;
  if (data[0] & 1) fuzz_support::EnableForwardings(config);
  if (data[0] & 2) config.auth_tis = 1;
  fuzz_support::SshPeer server(config);
  server.Identify("SSH-1.5-OpenSSH_3.1p1\n");
  server.ReceivePayloads(data + 1, size - 1, true);
  return 0;
}
