// Answers to the terminal-type (RFC 1091), terminal-speed (RFC 1079) and environment (RFC 1408,
// RFC 1572) requests. Reply data double every IAC byte, so settings texts cannot end the
// subnegotiation early or inject commands.
#include <cctype>
#include <cstring>

#include "remoteshell/terminal/telnet_session.h"

namespace {

constexpr unsigned char kIs = 0;
constexpr unsigned char kSend = 1;

void append_escaped(std::string& reply, const char* text) {
  for (; *text != '\0'; ++text) {
    reply += *text;
    if (static_cast<unsigned char>(*text) == kTelnetIac) reply += *text;
  }
}

std::string reply_start(unsigned char option) {
  return std::string{static_cast<char>(kTelnetIac), static_cast<char>(kTelnetSb), static_cast<char>(option),
                     static_cast<char>(kIs)};
}

void reply_end(std::string& reply) {
  reply += static_cast<char>(kTelnetIac);
  reply += static_cast<char>(kTelnetSe);
}

bool is_send_request(const std::string& buffer) {
  return buffer.size() == 1 && static_cast<unsigned char>(buffer[0]) == kSend;
}

void answer_terminal_type(TelnetSession* telnet) {
  if (!is_send_request(telnet->subnegotiation)) {
    backend_event_line(telnet->frontend, "server:\tSB TTYPE <something weird>\r\n");
    return;
  }
  backend_event_line(telnet->frontend, "server:\tSB TTYPE SEND");
  std::string type = telnet->config.terminal_type;
  for (char& c : type)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  std::string reply = reply_start(kOptionTtype);
  append_escaped(reply, type.c_str());
  reply_end(reply);
  telnet_write(telnet, reply);
  backend_event_printf(telnet->frontend, "client:\tSB TTYPE IS %s", type.c_str());
}

void answer_terminal_speed(TelnetSession* telnet) {
  if (!is_send_request(telnet->subnegotiation)) {
    backend_event_line(telnet->frontend, "server:\tSB TSPEED <something weird>");
    return;
  }
  backend_event_line(telnet->frontend, "server:\tSB TSPEED SEND");
  std::string reply = reply_start(kOptionTspeed);
  append_escaped(reply, telnet->config.terminal_speed);
  reply_end(reply);
  telnet_write(telnet, reply);
  backend_event_printf(telnet->frontend, "client:\tSB TSPEED IS %s", telnet->config.terminal_speed);
}

void answer_environment(TelnetSession* telnet) {
  const std::string& request = telnet->subnegotiation;
  if (request.empty() || static_cast<unsigned char>(request[0]) != kSend) return;
  unsigned char option = telnet->subnegotiation_option;
  backend_event_printf(telnet->frontend, "server:\tSB %s SEND", telnet_option_name(option));

  char var = 0;
  char value = 1;
  if (option == kOptionOldEnviron) {
    var = telnet->config.rfc_environ ? 0 : 1;
    value = telnet->config.rfc_environ ? 1 : 0;
    // The server's own codes show which convention it follows; its last one counts.
    for (size_t i = 1; i < request.size(); ++i) {
      if (request[i] == 0)
        var = 0, value = 1;
      else if (request[i] == 1)
        var = 1, value = 0;
    }
  }

  std::string reply = reply_start(option);
  bool any = false;
  const char* entry = telnet->config.environment;
  const char* end = entry + sizeof telnet->config.environment;
  while (entry < end && *entry != '\0') {
    size_t length = strnlen(entry, static_cast<size_t>(end - entry));
    std::string pair(entry, length);
    size_t tab = pair.find('\t');
    std::string name = pair.substr(0, tab);
    std::string text = tab == std::string::npos ? std::string() : pair.substr(tab + 1);
    reply += var;
    append_escaped(reply, name.c_str());
    reply += value;
    append_escaped(reply, text.c_str());
    any = true;
    entry += length + 1;
  }
  const char* user = telnet->config.user_name;
  bool has_user = user[0] != '\0';
  if (has_user) {
    reply += var;
    reply += "USER";
    reply += value;
    append_escaped(reply, user);
    any = true;
  }
  reply_end(reply);
  telnet_write(telnet, reply);
  bool has_environment = telnet->config.environment[0] != '\0';
  backend_event_printf(telnet->frontend, "client:\tSB %s IS %s%s%s%s", telnet_option_name(option),
                       has_user ? "USER=" : "", has_user ? user : "", has_user ? " " : "",
                       !any              ? "<nothing>"
                       : has_environment ? "<stuff>"
                                         : "");
}

}  // namespace

void telnet_process_subnegotiation(TelnetSession* telnet) {
  switch (telnet->subnegotiation_option) {
    case kOptionTtype: answer_terminal_type(telnet); break;
    case kOptionTspeed: answer_terminal_speed(telnet); break;
    case kOptionOldEnviron:
    case kOptionNewEnviron: answer_environment(telnet); break;
    default: break;
  }
}
