#pragma once
// A settings file whose restore map holds many empty requests, written byte by byte: the
// smallest records a file can hold (15 bytes each), so the most records a file of a given size
// can ask a reader to build. The test never builds them itself.
#include <cstdint>
#include <string>

#include "common/settings_file.h"

namespace archive_test {

inline std::string SettingsWithEmptyRestoreRequests(uint32_t count) {
  mirvale::CMirvaleDoc defaults;
  mirvale::ApplyServiceDefaults(defaults);
  std::string bytes = mirvale::EncodeSettings(defaults);
  // The file ends with the counts of its four maps, each 0: pools stay, the other three follow.
  bytes.resize(bytes.size() - 6);
  auto word = [&](uint32_t value) {
    bytes += static_cast<char>(value & 0xFF);
    bytes += static_cast<char>((value >> 8) & 0xFF);
  };
  word(0xFFFF);
  word(count & 0xFFFF);
  word(count >> 16);
  bytes.reserve(bytes.size() + uint64_t{count} * 15 + 4);
  for (uint32_t i = 0; i < count; ++i) {
    bytes += '\x04';  // a four-byte key, distinct for each request
    bytes.append(reinterpret_cast<const char*>(&i), 4);
    if (i == 0) {
      word(0xFFFF);  // the class, named once
      word(1);
      word(12);
      bytes += "CRestoreItem";
    } else {
      word(0x8001);  // the class named first
    }
    bytes.append(8, '\0');  // eight empty texts
  }
  word(0);
  word(0);
  return bytes;
}

}  // namespace archive_test
