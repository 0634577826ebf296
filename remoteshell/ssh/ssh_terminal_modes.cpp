// "TerminalModes" encoded for the pty request (RFC 4254 section 8), shared by both protocol
// versions, and the reader of the settings lists.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <strings.h>

#include "remoteshell/core/settings_text.h"
#include "remoteshell/ssh/ssh_session.h"

namespace {

enum ModeKind { kCharacter, kBoolean };

struct TerminalMode {
  const char* name;
  uint8_t opcode;
  ModeKind kind;
};

constexpr TerminalMode kModes[] = {
    {"INTR", 1, kCharacter},    {"QUIT", 2, kCharacter},     {"ERASE", 3, kCharacter},  {"KILL", 4, kCharacter},
    {"EOF", 5, kCharacter},     {"EOL", 6, kCharacter},      {"EOL2", 7, kCharacter},   {"START", 8, kCharacter},
    {"STOP", 9, kCharacter},    {"SUSP", 10, kCharacter},    {"DSUSP", 11, kCharacter}, {"REPRINT", 12, kCharacter},
    {"WERASE", 13, kCharacter}, {"LNEXT", 14, kCharacter},   {"FLUSH", 15, kCharacter}, {"SWTCH", 16, kCharacter},
    {"STATUS", 17, kCharacter}, {"DISCARD", 18, kCharacter}, {"IGNPAR", 30, kBoolean},  {"PARMRK", 31, kBoolean},
    {"INPCK", 32, kBoolean},    {"ISTRIP", 33, kBoolean},    {"INLCR", 34, kBoolean},   {"IGNCR", 35, kBoolean},
    {"ICRNL", 36, kBoolean},    {"IUCLC", 37, kBoolean},     {"IXON", 38, kBoolean},    {"IXANY", 39, kBoolean},
    {"IXOFF", 40, kBoolean},    {"IMAXBEL", 41, kBoolean},   {"ISIG", 50, kBoolean},    {"ICANON", 51, kBoolean},
    {"XCASE", 52, kBoolean},    {"ECHO", 53, kBoolean},      {"ECHOE", 54, kBoolean},   {"ECHOK", 55, kBoolean},
    {"ECHONL", 56, kBoolean},   {"NOFLSH", 57, kBoolean},    {"TOSTOP", 58, kBoolean},  {"IEXTEN", 59, kBoolean},
    {"ECHOCTL", 60, kBoolean},  {"ECHOKE", 61, kBoolean},    {"PENDIN", 62, kBoolean},  {"OPOST", 70, kBoolean},
    {"OLCUC", 71, kBoolean},    {"ONLCR", 72, kBoolean},     {"OCRNL", 73, kBoolean},   {"ONOCR", 74, kBoolean},
    {"ONLRET", 75, kBoolean},   {"CS7", 90, kBoolean},       {"CS8", 91, kBoolean},     {"PARENB", 92, kBoolean},
    {"PARODD", 93, kBoolean},
};

uint32_t character_value(const std::string& text) {
  if (text.empty()) return 255;
  if (text[0] == '^') {
    const char* next = nullptr;
    unsigned value = parse_control_char(text.c_str(), &next);
    return next != nullptr ? value : static_cast<unsigned char>(text[0]);
  }
  return static_cast<unsigned char>(text[0]);
}

uint32_t boolean_value(const std::string& text) {
  for (const char* yes : {"yes", "on", "true", "+"})
    if (strcasecmp(text.c_str(), yes) == 0) return 1;
  for (const char* no : {"no", "off", "false", "-"})
    if (strcasecmp(text.c_str(), no) == 0) return 0;
  return std::atoi(text.c_str()) != 0 ? 1 : 0;
}

}  // namespace

std::vector<std::pair<std::string, std::string>> ssh_list_entries(const char* list, size_t capacity) {
  std::vector<std::pair<std::string, std::string>> entries;
  size_t at = 0;
  while (at < capacity && list[at] != '\0') {
    size_t length = strnlen(list + at, capacity - at);
    std::string entry(list + at, length);
    size_t tab = entry.find('\t');
    if (tab == std::string::npos)
      entries.emplace_back(entry, "");
    else
      entries.emplace_back(entry.substr(0, tab), entry.substr(tab + 1));
    at += length + 1;
  }
  return entries;
}

void ssh_encode_terminal_modes(const SessionConfig& config, bool ssh2, WireBuffer& out) {
  for (const auto& [name, setting] : ssh_list_entries(config.terminal_modes, sizeof config.terminal_modes)) {
    // The kind comes first: 'A' (automatic) asks the front end, which has no terminal to ask.
    if (setting.empty() || setting[0] == 'A') continue;
    std::string value = setting.substr(1);
    for (const TerminalMode& mode : kModes) {
      if (name != mode.name) continue;
      uint32_t number = mode.kind == kCharacter ? character_value(value) : boolean_value(value);
      out.put_byte(mode.opcode);
      if (ssh2)
        out.put_uint32(number);
      else
        out.put_byte(static_cast<uint8_t>(number));
      break;
    }
  }
}

void ssh_terminal_speeds(const SessionConfig& config, int* ospeed, int* ispeed) {
  *ospeed = *ispeed = 38400;
  int o = 0, i = 0;
  if (std::sscanf(config.terminal_speed, "%d,%d", &o, &i) == 2) *ospeed = o, *ispeed = i;
}
