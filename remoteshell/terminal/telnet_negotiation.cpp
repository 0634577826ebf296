// Option negotiation (RFC 855): what the client offers, and how it answers the server's verbs.
#include "remoteshell/terminal/telnet_session.h"

namespace {

void side_effect(TelnetSession* telnet, int row, bool enabled) {
  if (row == kRowEcho) telnet->echoing = !enabled;
  if (row == kRowServerSuppressesGa) telnet->editing = !enabled;
  if (row == kRowEcho || row == kRowServerSuppressesGa) backend_line_discipline_refresh(telnet->line_discipline);
  // A passive session offers its echo and go-ahead options after the server's first word.
  if (!telnet->activated) {
    for (int r : {kRowEcho, kRowWeSuppressGa, kRowServerSuppressesGa}) {
      if (telnet->states[r] != kOptionInactive) continue;
      telnet->states[r] = kOptionRequested;
      telnet_send_verb(telnet, telnet_options[r].offer, telnet_options[r].number);
    }
    telnet->activated = 1;
  }
}

void deactivate(TelnetSession* telnet, int row) {
  if (telnet->states[row] == kOptionRequested || telnet->states[row] == kOptionActive)
    telnet_send_verb(telnet, telnet_options[row].negative, telnet_options[row].number);
  telnet->states[row] = kOptionRefused;
}

void activated(TelnetSession* telnet, int row) {
  if (row == kRowNaws) telnet_send_window_size(telnet);
  if (row == kRowOldEnviron) deactivate(telnet, kRowNewEnviron);
  if (row == kRowNewEnviron) deactivate(telnet, kRowOldEnviron);
  side_effect(telnet, row, true);
}

void refused(TelnetSession* telnet, int row) {
  if (row == kRowNewEnviron && telnet->states[kRowOldEnviron] == kOptionInactive) {
    telnet->states[kRowOldEnviron] = kOptionRequested;
    telnet_send_verb(telnet, kTelnetWill, kOptionOldEnviron);
  }
  side_effect(telnet, row, false);
}

int find_row(unsigned char option, unsigned char verb, bool accepting) {
  for (int row = 0; row < kTelnetOptionCount; ++row) {
    const TelnetOption& o = telnet_options[row];
    if (o.number == option && (accepting ? o.accept : o.refuse) == verb) return row;
  }
  return -1;
}

}  // namespace

void telnet_send_verb(TelnetSession* telnet, unsigned char verb, unsigned char option) {
  telnet_write(telnet, std::string{static_cast<char>(kTelnetIac), static_cast<char>(verb), static_cast<char>(option)});
  backend_event_printf(telnet->frontend, "%s:\t%s %s", "client", telnet_verb_name(verb), telnet_option_name(option));
}

void telnet_offer_requested(TelnetSession* telnet) {
  for (int row = 0; row < kTelnetOptionCount; ++row)
    if (telnet->states[row] == kOptionRequested)
      telnet_send_verb(telnet, telnet_options[row].offer, telnet_options[row].number);
  telnet->activated = 1;
}

void telnet_handle_verb(TelnetSession* telnet, unsigned char verb, unsigned char option) {
  backend_event_printf(telnet->frontend, "%s:\t%s %s", "server", telnet_verb_name(verb), telnet_option_name(option));
  if (int row = find_row(option, verb, true); row >= 0) {
    switch (telnet->states[row]) {
      case kOptionRequested:
        telnet->states[row] = kOptionActive;
        activated(telnet, row);
        break;
      case kOptionInactive:
        telnet->states[row] = kOptionActive;
        telnet_send_verb(telnet, telnet_options[row].offer, option);
        activated(telnet, row);
        break;
      case kOptionRefused: telnet_send_verb(telnet, telnet_options[row].negative, option); break;
      case kOptionActive: break;
    }
    return;
  }
  if (int row = find_row(option, verb, false); row >= 0) {
    switch (telnet->states[row]) {
      case kOptionRequested:
        telnet->states[row] = kOptionInactive;
        refused(telnet, row);
        break;
      case kOptionActive:
        telnet->states[row] = kOptionInactive;
        telnet_send_verb(telnet, telnet_options[row].negative, option);
        side_effect(telnet, row, false);
        break;
      default: break;
    }
    return;
  }
  if (verb == kTelnetWill)
    telnet_send_verb(telnet, kTelnetDont, option);
  else if (verb == kTelnetDo)
    telnet_send_verb(telnet, kTelnetWont, option);
}

void telnet_send_window_size(TelnetSession* telnet) {
  if (telnet->socket == nullptr || telnet->states[kRowNaws] != kOptionActive) return;
  std::string message{static_cast<char>(kTelnetIac), static_cast<char>(kTelnetSb), static_cast<char>(kOptionNaws)};
  for (int value : {telnet->width >> 8, telnet->width, telnet->height >> 8, telnet->height}) {
    auto byte = static_cast<char>(value & 0xFF);
    message += byte;
    if (static_cast<unsigned char>(byte) == kTelnetIac) message += byte;
  }
  message += static_cast<char>(kTelnetIac);
  message += static_cast<char>(kTelnetSe);
  telnet_write(telnet, message);
  backend_event_printf(telnet->frontend, "client:\tSB NAWS %d,%d", telnet->width, telnet->height);
}
