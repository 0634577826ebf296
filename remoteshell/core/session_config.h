#pragma once
// The one settings record of the remote-shell client: every setting of a session, loaded from
// the registry store's defaults; the service writes host, user, protocol and port over it.

struct FontSpec {
  char name[64];
  int is_bold;
  int charset;
  int height;
};

// A file name of up to 259 characters and its terminator.
struct Filename {
  char path[260];
};

inline constexpr int kCipherCount = 6;  // aes 3, blowfish 2, 3des 1, WARN 0, arcfour 5, des 4
inline constexpr int kKexCount = 4;     // dh-gex-sha1 3, dh-group14-sha1 2, dh-group1-sha1 1, WARN 0
inline constexpr int kColourCount = 22;

// Lists (terminal modes, environment, port forwardings) hold zero-terminated "name<TAB>value"
// entries ended by an empty entry. Server quirk switches: 0 forced on, 1 forced off, 2 auto.
struct SessionConfig {
  char host[512];
  Filename log_file_name;
  int log_type;
  int log_file_clash;
  int log_flush;
  int log_omit_passwords;
  int log_omit_data;
  int protocol;
  int port;
  int address_family;
  int close_on_exit;
  int warn_on_close;
  int ping_interval;  // seconds
  int tcp_no_delay;
  int tcp_keepalives;
  char terminal_type[32];
  char terminal_speed[32];
  char terminal_modes[768];
  char proxy_exclude_list[512];
  int proxy_dns;
  int proxy_localhost;
  int proxy_method;
  char proxy_host[512];
  int proxy_port;
  char proxy_username[128];
  char proxy_password[128];
  char proxy_telnet_command[512];
  char environment[1024];
  char user_name[100];
  char local_user_name[100];
  int no_pty;
  int compression;
  int try_agent;
  int agent_forwarding;
  int change_username;
  int cipher_list[kCipherCount];
  int bug_dh_gex2;
  int kex_list[kKexCount];
  int rekey_time;
  char rekey_data[16];
  int ssh_protocol;
  int ssh2_des_cbc;
  int ssh_no_auth;
  int auth_tis;
  int auth_ki;
  int ssh_no_shell;
  Filename public_key_file;
  char remote_command[512];
  int rfc_environ;
  int passive_telnet;
  int backspace_is_delete;
  int rxvt_homeend;
  int function_keys;
  int no_application_keys;
  int no_application_cursors;
  int no_mouse_reporting;
  int no_remote_resize;
  int no_alt_screen;
  int no_remote_wintitle;
  int no_remote_qtitle;
  int no_dbackspace;
  int no_remote_charset;
  int application_cursor_keys;
  int application_keypad;
  int nethack_keypad;
  int alt_f4;
  int alt_space;
  int alt_only;
  int compose_key;
  int ctrl_alt_keys;
  int telnet_keyboard;
  int telnet_newline;
  int local_echo;
  int local_edit;
  char answerback[256];
  int always_on_top;
  int full_screen_on_alt_enter;
  int hide_mouse_pointer;
  int sunken_edge;
  int window_border;
  int cursor_type;
  int blink_cursor;
  int beep;
  int beep_indicator;
  Filename bell_wave_file;
  int bell_overload;
  int bell_overload_n;
  int bell_overload_t;
  int bell_overload_s;
  int scrollback_lines;
  int dec_origin_mode;
  int auto_wrap_mode;
  int lf_implies_cr;
  int disable_arabic_shaping;
  int disable_bidi;
  int window_name_always;
  char window_title[256];
  int terminal_width;
  int terminal_height;
  FontSpec font;
  int font_quality;
  int font_vt_mode;
  int use_system_colours;
  int try_palette;
  int ansi_colour;
  int xterm_256_colour;
  int bold_as_colour;
  unsigned char colours[kColourCount][3];
  int raw_cnp;
  int paste_rtf;
  int mouse_is_xterm;
  int rect_select;
  int mouse_override;
  short wordness[256];
  char line_code_page[128];
  int cjk_ambig_wide;
  int utf8_override;
  char printer[128];
  int caps_lock_cyr;
  int scroll_bar;
  int scroll_bar_in_full_screen;
  int scroll_on_key;
  int scroll_on_display;
  int erase_to_scrollback;
  int lock_size;
  int bce;
  int blink_text;
  int x11_forward;
  char x11_display[128];
  int x11_auth;
  int local_ports_accept_all;
  int remote_ports_accept_all;
  char port_forwardings[1024];
  int bug_ignore1;
  int bug_plain_password1;
  int bug_rsa1;
  int bug_hmac2;
  int bug_derive_key2;
  int bug_rsa_pad2;
  int bug_pk_session_id2;
  int bug_rekey2;
  int stamp_utmp;
  int login_shell;
  int scrollbar_on_left;
  int shadow_bold;
  FontSpec bold_font;
  FontSpec wide_font;
  FontSpec wide_bold_font;
  int shadow_bold_offset;
};

// Protocol numbers by name: 3 "ssh", 1 "telnet", 2 "rlogin", 0 "raw"; -1 for anything else.
int protocol_number_by_name(const char* name);
