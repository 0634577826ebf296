#include <cstdio>
#include <cstring>
#include <string>

#include "base/client_registry_paths.h"
#include "remoteshell/core/frontend.h"
#include "remoteshell/core/settings.h"

namespace {

void copy_cut(const char* text, char* out, int capacity) {
  if (capacity <= 0) return;
  size_t length = std::min(std::strlen(text), static_cast<size_t>(capacity - 1));
  std::memcpy(out, text, length);
  out[length] = '\0';
}

// A string value that fits the capacity with its terminator.
std::optional<std::string> read_string(const SettingsKey& key, const char* name, int capacity) {
  if (!key) return std::nullopt;
  auto value = key->GetString(name);
  if (!value || value->size() + 1 > static_cast<size_t>(capacity)) return std::nullopt;
  return value;
}

}  // namespace

void registry_name_escape(const char* text, char* buffer, int size) {
  static const char hex[] = "0123456789ABCDEF";
  int used = 0;
  auto put = [&](char c) {
    if (used < size - 1) buffer[used++] = c;
  };
  for (const char* p = text; *p != '\0'; ++p) {
    auto c = static_cast<unsigned char>(*p);
    bool escape = (p == text && c == '.') || c <= 32 || c == '%' || c == '*' || c == '?' || c == '\\' || c >= 127;
    if (escape && used + 3 > size - 1) break;
    if (escape) {
      put('%');
      put(hex[c >> 4]);
      put(hex[c & 15]);
    } else {
      put(static_cast<char>(c));
    }
  }
  if (size > 0) buffer[used] = '\0';
}

SettingsKey settings_open_section(const char* name) {
  char escaped[1024];
  registry_name_escape(name, escaped, sizeof escaped);
  return platform::RegistryKey::Open(std::string(kSessionsRegistryPath) + "\\" + escaped);
}

void settings_read_text(const SettingsKey& key, const char* name, const char* fallback, char* out, int capacity) {
  auto value = read_string(key, name, capacity);
  copy_cut(value ? value->c_str() : fallback, out, capacity);
}

int settings_read_int(const SettingsKey& key, const char* name, int fallback) {
  if (!key) return fallback;
  auto value = key->GetDword(name);
  return value ? static_cast<int>(*value) : fallback;
}

Filename settings_read_file(const SettingsKey& key, const char* name) {
  auto value = read_string(key, name, sizeof(Filename::path) + 1);
  return value ? filename_from_text(value->c_str()) : platform_default_file(name);
}

FontSpec settings_read_font(const SettingsKey& key, const char* name) {
  auto font_name = read_string(key, name, sizeof(FontSpec::name));
  std::string base(name);
  auto bold = key ? key->GetDword(base + "IsBold") : std::nullopt;
  auto charset = key ? key->GetDword(base + "CharSet") : std::nullopt;
  auto height = key ? key->GetDword(base + "Height") : std::nullopt;
  if (!font_name || !bold || !charset || !height) return platform_default_font(name);
  FontSpec font{};
  copy_cut(font_name->c_str(), font.name, sizeof font.name);
  font.is_bold = static_cast<int>(*bold);
  font.charset = static_cast<int>(*charset);
  font.height = static_cast<int>(*height);
  return font;
}

void settings_read_list(const SettingsKey& key, const char* name, const char* fallback, char* out, int capacity) {
  // Written within capacity: room is kept for the entry's and the list's terminators.
  auto value = read_string(key, name, 2 * capacity);
  std::string text = value ? *value : fallback;
  int used = 0;
  bool entry_open = false;
  for (size_t i = 0; i < text.size() && used + 2 < capacity; ++i) {
    char c = text[i];
    if (c == ',') {
      if (entry_open) out[used++] = '\0';
      entry_open = false;
      continue;
    }
    if (c == '=')
      c = '\t';
    else if (c == '\\' && i + 1 < text.size())
      c = text[++i];
    out[used++] = c;
    entry_open = true;
  }
  if (entry_open) out[used++] = '\0';
  out[used] = '\0';
}

void settings_read_preferences(const SettingsKey& key, const char* name, const char* fallback,
                               const PreferenceName* table, int table_size, int* out) {
  auto value = read_string(key, name, 1024);
  std::string text = value ? *value : fallback;
  bool named[16] = {};
  int count = 0;
  size_t start = 0;
  while (start <= text.size() && count < table_size) {
    size_t end = text.find(',', start);
    if (end == std::string::npos) end = text.size();
    std::string piece = text.substr(start, end - start);
    for (int i = 0; i < table_size; ++i) {
      if (!named[i] && piece == table[i].name) {
        named[i] = true;
        out[count++] = table[i].number;
        break;
      }
    }
    start = end + 1;
  }
  for (int i = 0; i < table_size && count < table_size; ++i)
    if (!named[i]) out[count++] = table[i].number;
}

std::tm local_time_now() {
  std::time_t now = std::time(nullptr);
  std::tm fields{};
  localtime_r(&now, &fields);
  if (fields.tm_year < 0) fields.tm_year = 0;
  fields.tm_yday = -1;
  fields.tm_isdst = 0;
  return fields;
}
