#pragma once
// Session settings from the registry store ("Software\Hollerin\Mirsh\Sessions\<name>"), each
// key falling back to its default.
#include <ctime>
#include <optional>

#include "platform/registry.h"
#include "remoteshell/core/session_config.h"

using SettingsKey = std::optional<platform::RegistryKey>;

// What "Protocol" and "PortNumber" fall back to: the caller's choice for its conversation.
struct ProtocolDefaults {
  int protocol = 3;
  int port = 22;
};

// The named session, or "Default Settings" for an empty name; the host only for a named one.
void settings_load_defaults(const char* name, SessionConfig* config, ProtocolDefaults defaults = {});
void settings_load(const char* name, int read_host, SessionConfig* config, ProtocolDefaults defaults = {});
void settings_read_all(const SettingsKey& key, int read_host, SessionConfig* config, ProtocolDefaults defaults = {});
// Numbers stored out of their range (a negative port, width or interval) become their default.
void settings_normalise(SessionConfig* config, ProtocolDefaults defaults);

// Escapes a session name or host for a registry name: a leading ".", bytes up to 32, "%", "*",
// "?", "\", 127 and bytes from 128 become "%XX".
void registry_name_escape(const char* text, char* buffer, int size);
SettingsKey settings_open_section(const char* name);

// Typed readers: the key may be absent; values of the wrong type count as missing.
void settings_read_text(const SettingsKey& key, const char* name, const char* fallback, char* out, int capacity);
int settings_read_int(const SettingsKey& key, const char* name, int fallback);
Filename settings_read_file(const SettingsKey& key, const char* name);
FontSpec settings_read_font(const SettingsKey& key, const char* name);
// "a=b,c=d" with "\" quoting into "a<TAB>b" entries, within capacity bytes.
void settings_read_list(const SettingsKey& key, const char* name, const char* fallback, char* out, int capacity);
struct PreferenceName {
  const char* name;
  int number;
};
void settings_read_preferences(const SettingsKey& key, const char* name, const char* fallback,
                               const PreferenceName* table, int table_size, int* out);

// The local time as calendar fields (day of year -1, daylight flag 0).
std::tm local_time_now();
