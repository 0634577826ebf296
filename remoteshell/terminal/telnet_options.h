#pragma once
// The telnet command bytes, the option table the client negotiates and the names of options in
// event lines.

enum TelnetCommand : unsigned char {
  kTelnetIac = 255,
  kTelnetDont = 254,
  kTelnetDo = 253,
  kTelnetWont = 252,
  kTelnetWill = 251,
  kTelnetSb = 250,
  kTelnetGa = 249,
  kTelnetEl = 248,
  kTelnetEc = 247,
  kTelnetAyt = 246,
  kTelnetAo = 245,
  kTelnetIp = 244,
  kTelnetBrk = 243,
  kTelnetDm = 242,
  kTelnetNop = 241,
  kTelnetSe = 240,
  kTelnetEor = 239,
  kTelnetAbort = 238,
  kTelnetSusp = 237,
  kTelnetEof = 236,
};

enum TelnetOptionNumber : unsigned char {
  kOptionBinary = 0,
  kOptionEcho = 1,
  kOptionSga = 3,
  kOptionTtype = 24,
  kOptionNaws = 31,
  kOptionTspeed = 32,
  kOptionOldEnviron = 36,
  kOptionNewEnviron = 39,
};

enum TelnetOptionState { kOptionRequested, kOptionActive, kOptionInactive, kOptionRefused };

struct TelnetOption {
  const char* label;
  unsigned char offer;
  unsigned char negative;
  unsigned char accept;
  unsigned char refuse;
  unsigned char number;
  TelnetOptionState initial;
};

// Rows of the option table, in its order.
enum TelnetOptionRow {
  kRowNaws,
  kRowTspeed,
  kRowTtype,
  kRowOldEnviron,
  kRowNewEnviron,
  kRowEcho,
  kRowWeSuppressGa,
  kRowServerSuppressesGa,
  kRowWeSendBinary,
  kRowServerSendsBinary,
  kTelnetOptionCount,
};

extern const TelnetOption telnet_options[kTelnetOptionCount];

const char* telnet_option_name(int number);
// "WILL", "WONT", "DO", "DONT", else the unknown-verb mark.
const char* telnet_verb_name(int verb);
