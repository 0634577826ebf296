#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "remoteshell/core/frontend.h"
#include "remoteshell/core/settings.h"

namespace {

constexpr PreferenceName kCipherNames[kCipherCount] = {{"aes", 3},  {"blowfish", 2}, {"3des", 1},
                                                       {"WARN", 0}, {"arcfour", 5},  {"des", 4}};
constexpr PreferenceName kKexNames[kKexCount] = {
    {"dh-gex-sha1", 3}, {"dh-group14-sha1", 2}, {"dh-group1-sha1", 1}, {"WARN", 0}};

constexpr const char* kTerminalModeNames[] = {
    "INTR",    "QUIT",   "ERASE", "KILL",   "EOF",    "EOL",    "EOL2",    "START",   "STOP",   "SUSP",   "DSUSP",
    "REPRINT", "WERASE", "LNEXT", "FLUSH",  "SWTCH",  "STATUS", "DISCARD", "IGNPAR",  "PARMRK", "INPCK",  "ISTRIP",
    "INLCR",   "IGNCR",  "ICRNL", "IUCLC",  "IXON",   "IXANY",  "IXOFF",   "IMAXBEL", "ISIG",   "ICANON", "XCASE",
    "ECHO",    "ECHOE",  "ECHOK", "ECHONL", "NOFLSH", "TOSTOP", "IEXTEN",  "ECHOCTL", "ECHOKE", "PENDIN", "OPOST",
    "OLCUC",   "ONLCR",  "OCRNL", "ONOCR",  "ONLRET", "CS7",    "CS8",     "PARENB",  "PARODD"};

constexpr unsigned char kDefaultColours[kColourCount][3] = {
    {187, 187, 187}, {255, 255, 255}, {0, 0, 0},       {85, 85, 85},   {0, 0, 0},     {0, 255, 0},
    {0, 0, 0},       {85, 85, 85},    {187, 0, 0},     {255, 85, 85},  {0, 187, 0},   {85, 255, 85},
    {187, 187, 0},   {255, 255, 85},  {0, 0, 187},     {85, 85, 255},  {187, 0, 187}, {255, 85, 255},
    {0, 187, 187},   {85, 255, 255},  {187, 187, 187}, {255, 255, 255}};

std::string default_terminal_modes() {
  std::string text;
  for (const char* mode : kTerminalModeNames) text += std::string(mode) + "=A,";
  return text;
}

std::string class_list(const short* classes) {
  std::string text;
  for (int i = 0; i < 32; ++i) text += (i ? "," : "") + std::to_string(classes[i]);
  return text;
}

// One row of 32 character classes from "n,n,...,n"; entries missing at the end read as 0.
void parse_class_row(const char* text, short* classes) {
  const char* p = text;
  for (int i = 0; i < 32; ++i) {
    classes[i] = static_cast<short>(std::atoi(p));
    while (*p != '\0' && *p != ',') ++p;
    if (*p == ',') ++p;
  }
}

void default_wordness(short* wordness) {
  static const char* const kRows[8] = {"0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0",
                                       "0,1,2,1,1,1,1,1,1,1,1,1,1,2,2,2,2,2,2,2,2,2,2,2,2,2,1,1,1,1,1,1",
                                       "1,2,2,2,2,2,2,2,2,2,2,2,2,2,2,2,2,2,2,2,2,2,2,2,2,2,2,1,1,1,1,2",
                                       "1,2,2,2,2,2,2,2,2,2,2,2,2,2,2,2,2,2,2,2,2,2,2,2,2,2,2,1,1,1,1,1",
                                       "1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1",
                                       "1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1",
                                       "2,2,2,2,2,2,2,2,2,2,2,2,2,2,2,2,2,2,2,2,2,2,2,1,2,2,2,2,2,2,2,2",
                                       "2,2,2,2,2,2,2,2,2,2,2,2,2,2,2,2,2,2,2,2,2,2,2,1,2,2,2,2,2,2,2,2"};
  for (int row = 0; row < 8; ++row) parse_class_row(kRows[row], wordness + row * 32);
}

int read_int(const SettingsKey& key, const char* name, int fallback) { return settings_read_int(key, name, fallback); }

// "(value + 1) mod 3" switches.
int read_shifted(const SettingsKey& key, const char* name, int fallback) {
  return (read_int(key, name, fallback) + 1) % 3;
}

int read_quirk(const SettingsKey& key, const char* name) { return 2 - read_int(key, name, 0); }

void read_colours(const SettingsKey& key, SessionConfig* config) {
  for (int i = 0; i < kColourCount; ++i) {
    char name[16];
    char fallback[32];
    char text[30];
    std::snprintf(name, sizeof name, "Colour%d", i);
    std::snprintf(fallback, sizeof fallback, "%d,%d,%d", kDefaultColours[i][0], kDefaultColours[i][1],
                  kDefaultColours[i][2]);
    settings_read_text(key, name, fallback, text, sizeof text);
    int red = 0, green = 0, blue = 0;
    if (std::sscanf(text, "%d,%d,%d", &red, &green, &blue) == 3) {
      config->colours[i][0] = static_cast<unsigned char>(red);
      config->colours[i][1] = static_cast<unsigned char>(green);
      config->colours[i][2] = static_cast<unsigned char>(blue);
    } else {
      std::memcpy(config->colours[i], kDefaultColours[i], 3);
    }
  }
}

void read_wordness(const SettingsKey& key, SessionConfig* config) {
  short defaults[256];
  default_wordness(defaults);
  for (int row = 0; row < 8; ++row) {
    char name[16];
    char text[256];
    std::snprintf(name, sizeof name, "Wordness%d", row * 32);
    std::string fallback = class_list(defaults + row * 32);
    settings_read_text(key, name, fallback.c_str(), text, sizeof text);
    parse_class_row(text, config->wordness + row * 32);
  }
}

void read_proxy(const SettingsKey& key, SessionConfig* config) {
  settings_read_text(key, "ProxyExcludeList", "", config->proxy_exclude_list, sizeof config->proxy_exclude_list);
  config->proxy_dns = read_shifted(key, "ProxyDNS", 1);
  config->proxy_localhost = read_int(key, "ProxyLocalhost", 0);
  config->proxy_method = read_int(key, "ProxyMethod", -1);
  if (config->proxy_method == -1) {
    switch (read_int(key, "ProxyType", 0)) {
      case 0: config->proxy_method = 0; break;
      case 1: config->proxy_method = 3; break;
      case 3: config->proxy_method = 4; break;
      case 4: config->proxy_method = 5; break;
      default: config->proxy_method = read_int(key, "ProxySOCKSVersion", 5) == 5 ? 2 : 1; break;
    }
  }
  settings_read_text(key, "ProxyHost", "proxy", config->proxy_host, sizeof config->proxy_host);
  config->proxy_port = read_int(key, "ProxyPort", 80);
  settings_read_text(key, "ProxyUsername", "", config->proxy_username, sizeof config->proxy_username);
  settings_read_text(key, "ProxyPassword", "", config->proxy_password, sizeof config->proxy_password);
  settings_read_text(key, "ProxyTelnetCommand", "connect %host %port\\n", config->proxy_telnet_command,
                     sizeof config->proxy_telnet_command);
}

void read_ssh(const SettingsKey& key, SessionConfig* config) {
  config->no_pty = read_int(key, "NoPTY", 0);
  config->compression = read_int(key, "Compression", 0);
  config->try_agent = read_int(key, "TryAgent", 1);
  config->agent_forwarding = read_int(key, "AgentFwd", 0);
  config->change_username = read_int(key, "ChangeUsername", 0);
  settings_read_preferences(key, "Cipher", "", kCipherNames, kCipherCount, config->cipher_list);
  int dh_gex_bug = read_int(key, "BugDHGEx2", 0);
  config->bug_dh_gex2 = 2 - dh_gex_bug;
  const char* kex_default = dh_gex_bug == 2 ? "dh-group14-sha1,dh-group1-sha1,WARN,dh-gex-sha1"
                                            : "dh-gex-sha1,dh-group14-sha1,dh-group1-sha1,WARN";
  settings_read_preferences(key, "KEX", kex_default, kKexNames, kKexCount, config->kex_list);
  config->rekey_time = read_int(key, "RekeyTime", 60);
  settings_read_text(key, "RekeyBytes", "1G", config->rekey_data, sizeof config->rekey_data);
  config->ssh_protocol = read_int(key, "SshProt", 2);
  config->ssh2_des_cbc = read_int(key, "SSH2DES", 0);
  config->ssh_no_auth = read_int(key, "SshNoAuth", 0);
  config->auth_tis = read_int(key, "AuthTIS", 0);
  config->auth_ki = read_int(key, "AuthKI", 1);
  config->ssh_no_shell = read_int(key, "SshNoShell", 0);
  config->public_key_file = settings_read_file(key, "PublicKeyFile");
  settings_read_text(key, "RemoteCommand", "", config->remote_command, sizeof config->remote_command);
}

void read_keyboard(const SettingsKey& key, SessionConfig* c) {
  c->rfc_environ = read_int(key, "RFCEnviron", 0);
  c->passive_telnet = read_int(key, "PassiveTelnet", 0);
  c->backspace_is_delete = read_int(key, "BackspaceIsDelete", 1);
  c->rxvt_homeend = read_int(key, "RXVTHomeEnd", 0);
  c->function_keys = read_int(key, "LinuxFunctionKeys", 0);
  c->no_application_keys = read_int(key, "NoApplicationKeys", 0);
  c->no_application_cursors = read_int(key, "NoApplicationCursors", 0);
  c->no_mouse_reporting = read_int(key, "NoMouseReporting", 0);
  c->no_remote_resize = read_int(key, "NoRemoteResize", 0);
  c->no_alt_screen = read_int(key, "NoAltScreen", 0);
  c->no_remote_wintitle = read_int(key, "NoRemoteWinTitle", 0);
  c->no_remote_qtitle = read_int(key, "NoRemoteQTitle", 1);
  c->no_dbackspace = read_int(key, "NoDBackspace", 0);
  c->no_remote_charset = read_int(key, "NoRemoteCharset", 0);
  c->application_cursor_keys = read_int(key, "ApplicationCursorKeys", 0);
  c->application_keypad = read_int(key, "ApplicationKeypad", 0);
  c->nethack_keypad = read_int(key, "NetHackKeypad", 0);
  c->alt_f4 = read_int(key, "AltF4", 1);
  c->alt_space = read_int(key, "AltSpace", 0);
  c->alt_only = read_int(key, "AltOnly", 0);
  c->compose_key = read_int(key, "ComposeKey", 0);
  c->ctrl_alt_keys = read_int(key, "CtrlAltKeys", 1);
  c->telnet_keyboard = read_int(key, "TelnetKey", 0);
  c->telnet_newline = read_int(key, "TelnetRet", 1);
  c->local_echo = read_int(key, "LocalEcho", 2);
  c->local_edit = read_int(key, "LocalEdit", 2);
  settings_read_text(key, "Answerback", "Mirsh", c->answerback, sizeof c->answerback);
}

void read_window(const SettingsKey& key, SessionConfig* c) {
  c->always_on_top = read_int(key, "AlwaysOnTop", 0);
  c->full_screen_on_alt_enter = read_int(key, "FullScreenOnAltEnter", 0);
  c->hide_mouse_pointer = read_int(key, "HideMousePtr", 0);
  c->sunken_edge = read_int(key, "SunkenEdge", 0);
  c->window_border = read_int(key, "WindowBorder", 1);
  c->cursor_type = read_int(key, "CurType", 0);
  c->blink_cursor = read_int(key, "BlinkCur", 0);
  c->beep = read_int(key, "Beep", 1);
  c->beep_indicator = read_int(key, "BeepInd", 0);
  c->bell_wave_file = settings_read_file(key, "BellWaveFile");
  c->bell_overload = read_int(key, "BellOverload", 1);
  c->bell_overload_n = read_int(key, "BellOverloadN", 5);
  c->bell_overload_t = read_int(key, "BellOverloadT", 2000);
  c->bell_overload_s = read_int(key, "BellOverloadS", 5000);
  c->scrollback_lines = read_int(key, "ScrollbackLines", 200);
  c->dec_origin_mode = read_int(key, "DECOriginMode", 0);
  c->auto_wrap_mode = read_int(key, "AutoWrapMode", 1);
  c->lf_implies_cr = read_int(key, "LFImpliesCR", 0);
  c->disable_arabic_shaping = read_int(key, "DisableArabicShaping", 0);
  c->disable_bidi = read_int(key, "DisableBidi", 0);
  c->window_name_always = read_int(key, "WinNameAlways", 1);
  settings_read_text(key, "WinTitle", "", c->window_title, sizeof c->window_title);
  c->terminal_width = read_int(key, "TermWidth", 80);
  c->terminal_height = read_int(key, "TermHeight", 24);
  c->font = settings_read_font(key, "Font");
  c->font_quality = read_int(key, "FontQuality", 0);
  c->font_vt_mode = read_int(key, "FontVTMode", 4);
  c->use_system_colours = read_int(key, "UseSystemColours", 0);
  c->try_palette = read_int(key, "TryPalette", 0);
  c->ansi_colour = read_int(key, "ANSIColour", 1);
  c->xterm_256_colour = read_int(key, "Xterm256Colour", 1);
  c->bold_as_colour = read_int(key, "BoldAsColour", 1);
}

void read_terminal_rest(const SettingsKey& key, SessionConfig* c) {
  settings_read_text(key, "LineCodePage", "", c->line_code_page, sizeof c->line_code_page);
  c->cjk_ambig_wide = read_int(key, "CJKAmbigWide", 0);
  c->utf8_override = read_int(key, "UTF8Override", 1);
  settings_read_text(key, "Printer", "", c->printer, sizeof c->printer);
  c->caps_lock_cyr = read_int(key, "CapsLockCyr", 0);
  c->scroll_bar = read_int(key, "ScrollBar", 1);
  c->scroll_bar_in_full_screen = read_int(key, "ScrollBarFullScreen", 0);
  c->scroll_on_key = read_int(key, "ScrollOnKey", 0);
  c->scroll_on_display = read_int(key, "ScrollOnDisp", 1);
  c->erase_to_scrollback = read_int(key, "EraseToScrollback", 1);
  c->lock_size = read_int(key, "LockSize", 0);
  c->bce = read_int(key, "BCE", 1);
  c->blink_text = read_int(key, "BlinkText", 0);
}

void read_quirks(const SettingsKey& key, SessionConfig* c) {
  c->bug_ignore1 = read_quirk(key, "BugIgnore1");
  c->bug_plain_password1 = read_quirk(key, "BugPlainPW1");
  c->bug_rsa1 = read_quirk(key, "BugRSA1");
  c->bug_hmac2 = read_quirk(key, "BugHMAC2");
  if (c->bug_hmac2 == 2) {
    // The older switch: only its value 1 forces the quirk on; otherwise it stays automatic.
    if (read_int(key, "BuggyMAC", 0) == 1) c->bug_hmac2 = 0;
  }
  c->bug_derive_key2 = read_quirk(key, "BugDeriveKey2");
  c->bug_rsa_pad2 = read_quirk(key, "BugRSAPad2");
  c->bug_pk_session_id2 = read_quirk(key, "BugPKSessID2");
  c->bug_rekey2 = read_quirk(key, "BugRekey2");
}

}  // namespace

int protocol_number_by_name(const char* name) {
  static const PreferenceName kProtocols[] = {{"ssh", 3}, {"telnet", 1}, {"rlogin", 2}, {"raw", 0}};
  for (const auto& protocol : kProtocols)
    if (std::strcmp(protocol.name, name) == 0) return protocol.number;
  return -1;
}

void settings_read_all(const SettingsKey& key, int read_host, SessionConfig* c, ProtocolDefaults defaults) {
  if (read_host)
    settings_read_text(key, "HostName", "", c->host, sizeof c->host);
  else
    c->host[0] = '\0';
  c->log_file_name = settings_read_file(key, "LogFileName");
  c->log_type = read_int(key, "LogType", 0);
  c->log_file_clash = read_int(key, "LogFileClash", -1);
  c->log_flush = read_int(key, "LogFlush", 1);
  c->log_omit_passwords = read_int(key, "SSHLogOmitPasswords", 1);
  c->log_omit_data = read_int(key, "SSHLogOmitData", 0);

  char protocol[10];
  settings_read_text(key, "Protocol", "default", protocol, sizeof protocol);
  c->protocol = defaults.protocol;
  c->port = defaults.port;
  if (int number = protocol_number_by_name(protocol); number >= 0) {
    c->protocol = number;
    c->port = read_int(key, "PortNumber", defaults.port);
  }

  c->address_family = read_int(key, "AddressFamily", 0);
  c->close_on_exit = read_shifted(key, "CloseOnExit", 1);
  c->warn_on_close = read_int(key, "WarnOnClose", 1);
  c->ping_interval = read_int(key, "PingInterval", 0) * 60 + read_int(key, "PingIntervalSecs", 0);
  c->tcp_no_delay = read_int(key, "TCPNoDelay", 1);
  c->tcp_keepalives = read_int(key, "TCPKeepalives", 0);

  settings_read_text(key, "TerminalType", "xterm", c->terminal_type, sizeof c->terminal_type);
  settings_read_text(key, "TerminalSpeed", "38400,38400", c->terminal_speed, sizeof c->terminal_speed);
  settings_read_list(key, "TerminalModes", default_terminal_modes().c_str(), c->terminal_modes,
                     sizeof c->terminal_modes);

  read_proxy(key, c);
  settings_read_list(key, "Environment", "", c->environment, sizeof c->environment);
  settings_read_text(key, "UserName", "", c->user_name, sizeof c->user_name);
  settings_read_text(key, "LocalUserName", "", c->local_user_name, sizeof c->local_user_name);
  read_ssh(key, c);
  read_keyboard(key, c);
  read_window(key, c);
  read_colours(key, c);
  c->raw_cnp = read_int(key, "RawCNP", 0);
  c->paste_rtf = read_int(key, "PasteRTF", 0);
  c->mouse_is_xterm = read_int(key, "MouseIsXterm", 0);
  c->rect_select = read_int(key, "RectSelect", 0);
  c->mouse_override = read_int(key, "MouseOverride", 1);
  read_wordness(key, c);
  read_terminal_rest(key, c);

  c->x11_forward = read_int(key, "X11Forward", 0);
  settings_read_text(key, "X11Display", "", c->x11_display, sizeof c->x11_display);
  c->x11_auth = read_int(key, "X11AuthType", 1);
  c->local_ports_accept_all = read_int(key, "LocalPortAcceptAll", 0);
  c->remote_ports_accept_all = read_int(key, "RemotePortAcceptAll", 0);
  settings_read_list(key, "PortForwardings", "", c->port_forwardings, sizeof c->port_forwardings);

  read_quirks(key, c);
  c->stamp_utmp = read_int(key, "StampUtmp", 1);
  c->login_shell = read_int(key, "LoginShell", 1);
  c->scrollbar_on_left = read_int(key, "ScrollbarOnLeft", 0);
  c->shadow_bold = read_int(key, "ShadowBold", 0);
  c->bold_font = settings_read_font(key, "BoldFont");
  c->wide_font = settings_read_font(key, "WideFont");
  c->wide_bold_font = settings_read_font(key, "WideBoldFont");
  c->shadow_bold_offset = read_int(key, "ShadowBoldOffset", 1);
  settings_normalise(c, defaults);
}

void settings_normalise(SessionConfig* c, ProtocolDefaults defaults) {
  auto within = [](int& value, int low, int high, int fallback) {
    if (value < low || value > high) value = fallback;
  };
  within(c->port, 1, 65535, defaults.port);
  within(c->proxy_port, 0, 65535, 0);
  within(c->address_family, 0, 2, 0);
  within(c->log_type, 0, 3, 0);
  within(c->ping_interval, 0, 0x7fffffff, 0);
  within(c->scrollback_lines, 0, 0x7fffffff, 0);
  within(c->terminal_width, 1, 0x7fffffff, 80);
  within(c->terminal_height, 1, 0x7fffffff, 24);
}

void settings_load(const char* name, int read_host, SessionConfig* config, ProtocolDefaults defaults) {
  SettingsKey key = settings_open_section(name);
  settings_read_all(key, read_host, config, defaults);
}

void settings_load_defaults(const char* name, SessionConfig* config, ProtocolDefaults defaults) {
  bool named = name != nullptr && *name != '\0';
  settings_load(named ? name : "Default Settings", named, config, defaults);
}
