// Proxy answers: the first byte picks the method (SOCKS 4, SOCKS 5, HTTP CONNECT, telnet
// command), whether credentials are set, and the size of the pieces the answer arrives in. A
// negotiation must end, fail or wait for more; it never spins on bytes it cannot take.
#include <cstring>

#include "tests/remoteshell/proxy_link.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
  if (size < 1) return 0;
  const int method = 1 + (data[0] & 3);
  const bool credentials = (data[0] & 4) != 0;
  const size_t piece = 1 + ((data[0] >> 3) & 7);
  SessionConfig config{};
  if (credentials) {
    std::strcpy(config.proxy_username, "alice");
    std::strcpy(config.proxy_password, "s3cret");
  }
  std::strcpy(config.proxy_telnet_command, "connect %host %port\\n");
  proxy_testing::Negotiation negotiation(method, config, "far.example");
  const std::string answer(reinterpret_cast<const char*>(data + 1), size - 1);
  for (size_t at = 0; at < answer.size(); at += piece)
    if (!negotiation.Receive(answer.substr(at, piece))) break;
  return 0;
}
