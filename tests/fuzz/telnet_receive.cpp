// What a telnet server sends: text, commands, option verbs and subnegotiations, in pieces of
// a size the first byte picks. Our answers go to a recorder; the output to the owner's sink.
#include "remoteshell/core/frontend.h"
#include "remoteshell/terminal/telnet_session.h"
#include "tests/remoteshell/recording_socket.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
  if (size < 1) return 0;
  static const bool ready = [] {
    backend_set_output_sink([](void*, int, const char*, int) { return 0; });
    return true;
  }();
  (void)ready;
  socket_testing::Link link{{&socket_testing::kLinkOps}, {}};
  TelnetSession telnet;
  telnet.socket = &link;
  const size_t piece = 1 + data[0];
  for (size_t at = 1; at < size; at += piece) {
    const size_t length = std::min(piece, size - at);
    telnet_receive_bytes(&telnet, 0, reinterpret_cast<const char*>(data + at), static_cast<int>(length));
  }
  if (telnet.subnegotiation.size() > kTelnetSubnegotiationLimit) __builtin_trap();
  return 0;
}
