#include "remoteshell/terminal/telnet_options.h"

const TelnetOption telnet_options[kTelnetOptionCount] = {
    {"NAWS", kTelnetWill, kTelnetWont, kTelnetDo, kTelnetDont, kOptionNaws, kOptionRequested},
    {"TSPEED", kTelnetWill, kTelnetWont, kTelnetDo, kTelnetDont, kOptionTspeed, kOptionRequested},
    {"TTYPE", kTelnetWill, kTelnetWont, kTelnetDo, kTelnetDont, kOptionTtype, kOptionRequested},
    {"OLD-ENVIRON", kTelnetWill, kTelnetWont, kTelnetDo, kTelnetDont, kOptionOldEnviron, kOptionInactive},
    {"NEW-ENVIRON", kTelnetWill, kTelnetWont, kTelnetDo, kTelnetDont, kOptionNewEnviron, kOptionRequested},
    {"ECHO", kTelnetDo, kTelnetDont, kTelnetWill, kTelnetWont, kOptionEcho, kOptionRequested},
    {"SGA (we suppress)", kTelnetWill, kTelnetWont, kTelnetDo, kTelnetDont, kOptionSga, kOptionRequested},
    {"SGA (server suppresses)", kTelnetDo, kTelnetDont, kTelnetWill, kTelnetWont, kOptionSga, kOptionRequested},
    {"BINARY (we send)", kTelnetWill, kTelnetWont, kTelnetDo, kTelnetDont, kOptionBinary, kOptionInactive},
    {"BINARY (server sends)", kTelnetDo, kTelnetDont, kTelnetWill, kTelnetWont, kOptionBinary, kOptionInactive},
};

namespace {

const char* const kLowNames[] = {
    "BINARY",
    "ECHO",
    "RCP",
    "SGA",
    "NAMS",
    "STATUS",
    "TM",
    "RCTE",
    "NAOL",
    "NAOP",
    "NAOCRD",
    "NAOHTS",
    "NAOHTD",
    "NAOFFD",
    "NAOVTS",
    "NAOVTD",
    "NAOLFD",
    "XASCII",
    "LOGOUT",
    "BM",
    "DET",
    "SUPDUP",
    "SUPDUPOUTPUT",
    "SNDLOC",
    "TTYPE",
    "EOR",
    "TUID",
    "OUTMRK",
    "TTYLOC",
    nullptr,
    "X3PAD",
    "NAWS",
    "TSPEED",
    "LFLOW",
    "LINEMODE",
    "XDISPLOC",
    "OLD_ENVIRON",
    "AUTHENTICATION",
    "ENCRYPT",
    "NEW_ENVIRON",
    "TN3270E",
    "XAUTH",
    "CHARSET",
    "RSP",
    "COM_PORT_OPTION",
    "SLE",
    "STARTTLS",
    "KERMIT",
    "SEND_URL",
    "FORWARD_X",
};

}  // namespace

const char* telnet_option_name(int number) {
  constexpr int kLowCount = static_cast<int>(sizeof kLowNames / sizeof kLowNames[0]);
  if (number >= 0 && number < kLowCount && kLowNames[number] != nullptr) return kLowNames[number];
  switch (number) {
    case 138: return "PRAGMA_LOGON";
    case 139: return "SSPI_LOGON";
    case 140: return "PRAGMA_HEARTBEAT";
    case 255: return "EXOPL";
    default: return "<unknown>";
  }
}

const char* telnet_verb_name(int verb) {
  switch (verb) {
    case kTelnetWill: return "WILL";
    case kTelnetWont: return "WONT";
    case kTelnetDo: return "DO";
    case kTelnetDont: return "DONT";
    default:
      return "<?"
             "?>";
  }
}
