// The receive state machine (RFC 854): text, commands, option verbs and subnegotiations.
#include "remoteshell/net/backend_connect.h"
#include "remoteshell/terminal/telnet_session.h"

namespace {

void deliver(TelnetSession* telnet, char byte) {
  if (!telnet->in_synch) telnet->pending_output += byte;
}

void text_byte(TelnetSession* telnet, unsigned char byte) {
  if (byte == kTelnetIac) {
    telnet->state = kTelnetSeenIac;
    return;
  }
  if (telnet->state == kTelnetSeenCr && byte == 0) {
    telnet->state = kTelnetTop;
    return;
  }
  deliver(telnet, static_cast<char>(byte));
  telnet->state = byte == '\r' && telnet->states[kRowServerSendsBinary] != kOptionActive ? kTelnetSeenCr : kTelnetTop;
}

void command_byte(TelnetSession* telnet, unsigned char byte) {
  telnet->state = kTelnetTop;
  switch (byte) {
    case kTelnetDm: telnet->in_synch = 0; break;
    case kTelnetSb: telnet->state = kTelnetSeenSb; break;
    case kTelnetWill: telnet->state = kTelnetSeenWill; break;
    case kTelnetWont: telnet->state = kTelnetSeenWont; break;
    case kTelnetDo: telnet->state = kTelnetSeenDo; break;
    case kTelnetDont: telnet->state = kTelnetSeenDont; break;
    case kTelnetIac: deliver(telnet, static_cast<char>(kTelnetIac)); break;
    default: break;
  }
}

void append_subnegotiation(TelnetSession* telnet, unsigned char byte) {
  if (telnet->subnegotiation.size() < kTelnetSubnegotiationLimit) telnet->subnegotiation += static_cast<char>(byte);
}

void flush_output(TelnetSession* telnet) {
  if (telnet->pending_output.empty()) return;
  std::string text;
  text.swap(telnet->pending_output);
  int held = backend_output(telnet->frontend, 0, text.data(), static_cast<int>(text.size()));
  backend_apply_freeze_rule(telnet->socket, held);
}

}  // namespace

void telnet_receive_bytes(TelnetSession* telnet, int urgent, const char* data, int length) {
  if (urgent == 1) telnet->in_synch = 1;
  for (int i = 0; i < length; ++i) {
    auto byte = static_cast<unsigned char>(data[i]);
    switch (telnet->state) {
      case kTelnetTop:
      case kTelnetSeenCr: text_byte(telnet, byte); break;
      case kTelnetSeenIac: command_byte(telnet, byte); break;
      case kTelnetSeenWill:
      case kTelnetSeenWont:
      case kTelnetSeenDo:
      case kTelnetSeenDont: {
        static constexpr unsigned char kVerbs[] = {kTelnetWill, kTelnetWont, kTelnetDo, kTelnetDont};
        unsigned char verb = kVerbs[telnet->state - kTelnetSeenWill];
        telnet->state = kTelnetTop;
        // Replies may change the echo state; text before them goes out first.
        flush_output(telnet);
        telnet_handle_verb(telnet, verb, byte);
        break;
      }
      case kTelnetSeenSb:
        telnet->subnegotiation_option = byte;
        telnet->subnegotiation.clear();
        telnet->state = kTelnetInSubnegotiation;
        break;
      case kTelnetInSubnegotiation:
        if (byte == kTelnetIac)
          telnet->state = kTelnetSubnegotiationIac;
        else
          append_subnegotiation(telnet, byte);
        break;
      case kTelnetSubnegotiationIac:
        if (byte == kTelnetSe) {
          telnet->state = kTelnetTop;
          telnet_process_subnegotiation(telnet);
        } else {
          append_subnegotiation(telnet, byte);
          telnet->state = kTelnetInSubnegotiation;
        }
        break;
    }
  }
  flush_output(telnet);
}
