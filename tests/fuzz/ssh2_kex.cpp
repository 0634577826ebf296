// The SSH-2 key exchange through the real receive path: the server's version line (the first
// byte picks one, and with it the server's known defects), then its messages as unencrypted
// packets: KEXINIT, the groups and replies of both exchanges, NEWKEYS, and anything else.
#include "tests/fuzz/ssh_harness.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
  if (size < 1) return 0;
  static const char* const kVersions[] = {"SSH-2.0-OpenSSH_7.4\r\n", "SSH-1.99-OpenSSH_2.5.2\r\n",
                                          "SSH-2.0-2.1.0 SSH Secure Shell\r\n", "SSH-2.0-OpenSSH_2.3.0\r\n"};
  SessionConfig config = fuzz_support::SshConfig();
  if (data[0] & 4) config.bug_dh_gex2 = 1;
  fuzz_support::SshPeer server(config);
  server.Identify(kVersions[data[0] & 3]);
  server.ReceivePayloads(data + 1, size - 1);
  return 0;
}
