#include "tests/remoteshell/config_dump.h"

#include <sstream>

namespace {

class Dump {
 public:
  Dump& operator()(const char* key, int value) { return line(key, std::to_string(value)); }
  Dump& operator()(const char* key, const char* value) { return line(key, value); }
  Dump& operator()(const char* key, const Filename& value) { return line(key, value.path); }
  Dump& operator()(const char* key, const FontSpec& font) {
    return line(key, std::string(font.name) + "," + std::to_string(font.is_bold) + "," + std::to_string(font.charset) +
                         "," + std::to_string(font.height));
  }
  Dump& list(const char* key, const char* entries) {
    std::string text;
    for (const char* p = entries; *p != '\0'; p += std::string(p).size() + 1) {
      std::string entry(p);
      for (char& c : entry)
        if (c == '\t') c = '=';
      text += (text.empty() ? "" : ",") + entry;
    }
    return line(key, text);
  }
  Dump& numbers(const char* key, const int* values, int count) {
    std::string text;
    for (int i = 0; i < count; ++i) text += (i ? "," : "") + std::to_string(values[i]);
    return line(key, text);
  }
  std::string text() const { return out_.str(); }

 private:
  Dump& line(const char* key, const std::string& value) {
    out_ << key << "=" << value << "\n";
    return *this;
  }
  std::ostringstream out_;
};

}  // namespace

std::string dump_session_config(const SessionConfig& c) {
  Dump d;
  d("HostName", c.host)("LogFileName", c.log_file_name)("LogType", c.log_type)("LogFileClash", c.log_file_clash);
  d("LogFlush", c.log_flush)("SSHLogOmitPasswords", c.log_omit_passwords)("SSHLogOmitData", c.log_omit_data);
  d("Protocol", c.protocol)("PortNumber", c.port);
  d("AddressFamily", c.address_family)("CloseOnExit", c.close_on_exit)("WarnOnClose", c.warn_on_close);
  d("PingInterval", c.ping_interval)("TCPNoDelay", c.tcp_no_delay)("TCPKeepalives", c.tcp_keepalives);
  d("TerminalType", c.terminal_type)("TerminalSpeed", c.terminal_speed).list("TerminalModes", c.terminal_modes);
  d("ProxyExcludeList", c.proxy_exclude_list)("ProxyDNS", c.proxy_dns)("ProxyLocalhost", c.proxy_localhost);
  d("ProxyMethod", c.proxy_method)("ProxyHost", c.proxy_host)("ProxyPort", c.proxy_port);
  d("ProxyUsername", c.proxy_username)("ProxyPassword", c.proxy_password)("ProxyTelnetCommand", c.proxy_telnet_command);
  d.list("Environment", c.environment)("UserName", c.user_name)("LocalUserName", c.local_user_name);
  d("NoPTY", c.no_pty)("Compression", c.compression)("TryAgent", c.try_agent)("AgentFwd", c.agent_forwarding);
  d("ChangeUsername", c.change_username).numbers("Cipher", c.cipher_list, kCipherCount);
  d("BugDHGEx2", c.bug_dh_gex2).numbers("KEX", c.kex_list, kKexCount);
  d("RekeyTime", c.rekey_time)("RekeyBytes", c.rekey_data)("SshProt", c.ssh_protocol)("SSH2DES", c.ssh2_des_cbc);
  d("SshNoAuth", c.ssh_no_auth)("AuthTIS", c.auth_tis)("AuthKI", c.auth_ki)("SshNoShell", c.ssh_no_shell);
  d("PublicKeyFile", c.public_key_file)("RemoteCommand", c.remote_command);
  d("RFCEnviron", c.rfc_environ)("PassiveTelnet", c.passive_telnet)("BackspaceIsDelete", c.backspace_is_delete);
  d("RXVTHomeEnd", c.rxvt_homeend)("LinuxFunctionKeys", c.function_keys)("NoApplicationKeys", c.no_application_keys);
  d("NoApplicationCursors", c.no_application_cursors)("NoMouseReporting", c.no_mouse_reporting);
  d("NoRemoteResize", c.no_remote_resize)("NoAltScreen", c.no_alt_screen)("NoRemoteWinTitle", c.no_remote_wintitle);
  d("NoRemoteQTitle", c.no_remote_qtitle)("NoDBackspace", c.no_dbackspace)("NoRemoteCharset", c.no_remote_charset);
  d("ApplicationCursorKeys", c.application_cursor_keys)("ApplicationKeypad", c.application_keypad);
  d("NetHackKeypad", c.nethack_keypad)("AltF4", c.alt_f4)("AltSpace", c.alt_space)("AltOnly", c.alt_only);
  d("ComposeKey", c.compose_key)("CtrlAltKeys", c.ctrl_alt_keys)("TelnetKey", c.telnet_keyboard);
  d("TelnetRet", c.telnet_newline)("LocalEcho", c.local_echo)("LocalEdit", c.local_edit)("Answerback", c.answerback);
  d("AlwaysOnTop", c.always_on_top)("FullScreenOnAltEnter", c.full_screen_on_alt_enter);
  d("HideMousePtr", c.hide_mouse_pointer)("SunkenEdge", c.sunken_edge)("WindowBorder", c.window_border);
  d("CurType", c.cursor_type)("BlinkCur", c.blink_cursor)("Beep", c.beep)("BeepInd", c.beep_indicator);
  d("BellWaveFile", c.bell_wave_file)("BellOverload", c.bell_overload)("BellOverloadN", c.bell_overload_n);
  d("BellOverloadT", c.bell_overload_t)("BellOverloadS", c.bell_overload_s)("ScrollbackLines", c.scrollback_lines);
  d("DECOriginMode", c.dec_origin_mode)("AutoWrapMode", c.auto_wrap_mode)("LFImpliesCR", c.lf_implies_cr);
  d("DisableArabicShaping", c.disable_arabic_shaping)("DisableBidi", c.disable_bidi);
  d("WinNameAlways", c.window_name_always)("WinTitle", c.window_title)("TermWidth", c.terminal_width);
  d("TermHeight", c.terminal_height)("Font", c.font)("FontQuality", c.font_quality)("FontVTMode", c.font_vt_mode);
  d("UseSystemColours", c.use_system_colours)("TryPalette", c.try_palette)("ANSIColour", c.ansi_colour);
  d("Xterm256Colour", c.xterm_256_colour)("BoldAsColour", c.bold_as_colour);
  for (int i = 0; i < kColourCount; ++i) {
    std::string key = "Colour" + std::to_string(i);
    std::string value = std::to_string(c.colours[i][0]) + "," + std::to_string(c.colours[i][1]) + "," +
                        std::to_string(c.colours[i][2]);
    d(key.c_str(), value.c_str());
  }
  d("RawCNP", c.raw_cnp)("PasteRTF", c.paste_rtf)("MouseIsXterm", c.mouse_is_xterm)("RectSelect", c.rect_select);
  d("MouseOverride", c.mouse_override);
  for (int row = 0; row < 8; ++row) {
    int classes[32];
    for (int i = 0; i < 32; ++i) classes[i] = c.wordness[row * 32 + i];
    std::string key = "Wordness" + std::to_string(row * 32);
    d.numbers(key.c_str(), classes, 32);
  }
  d("LineCodePage", c.line_code_page)("CJKAmbigWide", c.cjk_ambig_wide)("UTF8Override", c.utf8_override);
  d("Printer", c.printer)("CapsLockCyr", c.caps_lock_cyr)("ScrollBar", c.scroll_bar);
  d("ScrollBarFullScreen", c.scroll_bar_in_full_screen)("ScrollOnKey", c.scroll_on_key);
  d("ScrollOnDisp", c.scroll_on_display)("EraseToScrollback", c.erase_to_scrollback)("LockSize", c.lock_size);
  d("BCE", c.bce)("BlinkText", c.blink_text);
  d("X11Forward", c.x11_forward)("X11Display", c.x11_display)("X11AuthType", c.x11_auth);
  d("LocalPortAcceptAll", c.local_ports_accept_all)("RemotePortAcceptAll", c.remote_ports_accept_all);
  d.list("PortForwardings", c.port_forwardings);
  d("BugIgnore1", c.bug_ignore1)("BugPlainPW1", c.bug_plain_password1)("BugRSA1", c.bug_rsa1);
  d("BugHMAC2", c.bug_hmac2)("BugDeriveKey2", c.bug_derive_key2)("BugRSAPad2", c.bug_rsa_pad2);
  d("BugPKSessID2", c.bug_pk_session_id2)("BugRekey2", c.bug_rekey2);
  d("StampUtmp", c.stamp_utmp)("LoginShell", c.login_shell)("ScrollbarOnLeft", c.scrollbar_on_left);
  d("ShadowBold", c.shadow_bold)("BoldFont", c.bold_font)("WideFont", c.wide_font)("WideBoldFont", c.wide_bold_font);
  d("ShadowBoldOffset", c.shadow_bold_offset);
  return d.text();
}
