#include "remoteshell/terminal/telnet_backend.h"

#include "remoteshell/core/frontend.h"
#include "remoteshell/net/backend_connect.h"
#include "remoteshell/terminal/session_sink.h"
#include "remoteshell/terminal/telnet_session.h"

namespace {

constexpr int kTelnetPort = 23;

TelnetSession* of(void* handle) { return static_cast<TelnetSession*>(handle); }

std::string bytes(std::initializer_list<unsigned char> list) {
  std::string text;
  for (unsigned char c : list) text += static_cast<char>(c);
  return text;
}

int sink_receive(void* context, int urgent, const char* data, int length) {
  telnet_receive_bytes(of(context), urgent, data, length);
  return 1;
}

constexpr SocketEventSink kTelnetSink = SessionSink<TelnetSession>::With(sink_receive);

const char* telnet_open(void* frontend, void** handle, SessionConfig* config, const char* host, int port,
                        char** canonical_host, int no_delay, int keep_alive) {
  auto* telnet = new TelnetSession();
  telnet->frontend = frontend;
  telnet->config = *config;
  telnet->width = config->terminal_width;
  telnet->height = config->terminal_height;
  *handle = telnet;

  BackendConnectRequest request{frontend, config,   host,       port < 0 ? kTelnetPort : port,    0,
                                1,        no_delay, keep_alive, SocketOwner{&kTelnetSink, telnet}};
  if (const char* error = backend_connect(request, &telnet->socket, canonical_host)) return error;
  telnet->pinger = keepalive_new(&telnet->config, &telnet_backend, telnet);

  for (int row = 0; row < kTelnetOptionCount; ++row)
    telnet->states[row] = config->passive_telnet ? kOptionInactive : telnet_options[row].initial;
  if (!config->passive_telnet) telnet_offer_requested(telnet);
  telnet->in_synch = 0;
  return nullptr;
}

void telnet_free(void* handle) {
  TelnetSession* telnet = of(handle);
  if (telnet->socket != nullptr) socket_close(telnet->socket);
  keepalive_free(telnet->pinger);
  delete telnet;
}

void telnet_reconfigure(void* handle, SessionConfig* config) {
  TelnetSession* telnet = of(handle);
  if (telnet->pinger != nullptr) keepalive_reconfigure(telnet->pinger, &telnet->config, config);
  telnet->config = *config;
}

int telnet_send(void* handle, const char* data, int length) {
  TelnetSession* telnet = of(handle);
  if (telnet->socket == nullptr) return 0;
  bool binary = telnet->states[kRowWeSendBinary] == kOptionActive;
  std::string out;
  out.reserve(static_cast<size_t>(length) + 16);
  for (int i = 0; i < length; ++i) {
    auto c = static_cast<unsigned char>(data[i]);
    out += static_cast<char>(c);
    if (c == kTelnetIac)
      out += static_cast<char>(kTelnetIac);
    else if (c == '\r' && !binary)
      out += '\0';
  }
  telnet_write(telnet, out);
  return telnet->backlog;
}

int telnet_buffered_size(void* handle) { return of(handle)->backlog; }

void telnet_resize(void* handle, int width, int height) {
  TelnetSession* telnet = of(handle);
  telnet->width = width;
  telnet->height = height;
  telnet_send_window_size(telnet);
}

void telnet_send_special(void* handle, int code) {
  TelnetSession* telnet = of(handle);
  if (telnet->socket == nullptr) return;
  static constexpr unsigned char kPlain[] = {kTelnetAyt, kTelnetBrk,   0,         kTelnetEc, kTelnetEl,   kTelnetGa,
                                             kTelnetNop, kTelnetAbort, kTelnetAo, kTelnetIp, kTelnetSusp, kTelnetEor,
                                             kTelnetEof};
  if (code >= 0 && code <= kSpecialEndOfFile && code != kSpecialSynch) {
    telnet_write(telnet, bytes({kTelnetIac, kPlain[code]}));
    return;
  }
  switch (code) {
    case kSpecialSynch: {
      // IAC and the data mark go out together: the network layer's urgent write replaces what
      // is queued, so an IAC written before it could be dropped and leave the mark bare.
      std::string synch = bytes({kTelnetIac, kTelnetDm});
      telnet->backlog = socket_write_urgent(telnet->socket, synch.data(), 2);
      break;
    }
    case kSpecialLocalEcho:
      if (telnet->states[kRowEcho] == kOptionActive) {
        telnet->states[kRowEcho] = kOptionRequested;
        telnet_send_verb(telnet, kTelnetDont, kOptionEcho);
      }
      break;
    case kSpecialRemoteEcho:
      if (telnet->states[kRowEcho] == kOptionInactive || telnet->states[kRowEcho] == kOptionRefused) {
        telnet->states[kRowEcho] = kOptionRequested;
        telnet_send_verb(telnet, kTelnetDo, kOptionEcho);
      }
      break;
    case kSpecialKeepAlive:
      if (telnet->states[kRowServerSuppressesGa] == kOptionActive)
        telnet_write(telnet, bytes({kTelnetIac, kTelnetNop}));
      break;
    case kSpecialNewLine:
      telnet_write(telnet, telnet->states[kRowWeSendBinary] == kOptionActive ? std::string("\r") : std::string("\r\n"));
      break;
    default: break;
  }
}

const SpecialEntry kSpecials[] = {
    {"Are You There", kSpecialAreYouThere},
    {"Break", kSpecialBreak},
    {"Synch", kSpecialSynch},
    {"Erase Character", kSpecialEraseCharacter},
    {"Erase Line", kSpecialEraseLine},
    {"Go Ahead", kSpecialGoAhead},
    {"No Operation", kSpecialNoOperation},
    {nullptr, kSpecialSeparator},
    {"Abort Process", kSpecialAbortProcess},
    {"Abort Output", kSpecialAbortOutput},
    {"Interrupt Process", kSpecialInterruptProcess},
    {"Suspend Process", kSpecialSuspendProcess},
    {nullptr, kSpecialSeparator},
    {"End Of Record", kSpecialEndOfRecord},
    {"End Of File", kSpecialEndOfFile},
    {nullptr, kSpecialEndOfMenu},
};

const SpecialEntry* telnet_special_list(void*) { return kSpecials; }
int telnet_is_connected(void* handle) { return of(handle)->socket != nullptr; }
int telnet_exit_code(void* handle) { return of(handle)->socket != nullptr ? -1 : 0; }
int telnet_can_send(void*) { return 1; }

int telnet_line_option(void* handle, int option) {
  if (option == 1) return of(handle)->echoing;
  if (option == 0) return of(handle)->editing;
  return 0;
}

void telnet_attach_line_discipline(void* handle, void* line_discipline) {
  of(handle)->line_discipline = line_discipline;
}
void telnet_attach_log(void*, SessionLog*) {}
void telnet_unthrottle(void* handle, int backlog) { backend_apply_freeze_rule(of(handle)->socket, backlog); }
int telnet_config_info(void*) { return 0; }

}  // namespace

void telnet_write(TelnetSession* telnet, const std::string& data) {
  if (telnet->socket == nullptr || data.empty()) return;
  telnet->backlog = socket_write(telnet->socket, data.data(), static_cast<int>(data.size()));
}

const SessionBackend telnet_backend = {
    .open = telnet_open,
    .free = telnet_free,
    .reconfigure = telnet_reconfigure,
    .send = telnet_send,
    .buffered_size = telnet_buffered_size,
    .resize = telnet_resize,
    .send_special = telnet_send_special,
    .special_list = telnet_special_list,
    .is_connected = telnet_is_connected,
    .exit_code = telnet_exit_code,
    .can_send = telnet_can_send,
    .line_option = telnet_line_option,
    .attach_line_discipline = telnet_attach_line_discipline,
    .attach_log = telnet_attach_log,
    .unthrottle = telnet_unthrottle,
    .config_info = telnet_config_info,
    .default_port = 23,
};
