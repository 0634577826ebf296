#include "remoteshell/core/settings_text.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>

void base64_encode_group(const unsigned char* bytes, int count, char* out) {
  static const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  uint32_t word = 0;
  for (int i = 0; i < 3; ++i) word = (word << 8) | (i < count ? bytes[i] : 0u);
  for (int i = 0; i < 4; ++i) out[i] = i <= count ? alphabet[(word >> (18 - 6 * i)) & 63] : '=';
}

uint64_t parse_block_size(const char* text) {
  uint64_t size = 0;
  while (std::isdigit(static_cast<unsigned char>(*text))) {
    uint64_t digit = static_cast<uint64_t>(*text++ - '0');
    if (size > (UINT64_MAX - digit) / 10) return UINT64_MAX;
    size = size * 10 + digit;
  }
  while (*text == ' ' || *text == '\t') ++text;
  unsigned shift = 0;
  switch (*text) {
    case 'k':
    case 'K': shift = 10; break;
    case 'm':
    case 'M': shift = 20; break;
    case 'g':
    case 'G': shift = 30; break;
    default: break;
  }
  if (shift != 0 && size > (UINT64_MAX >> shift)) return UINT64_MAX;
  return size << shift;
}

unsigned parse_control_char(const char* text, const char** next) {
  if (text[0] != '^' || text[1] == '\0') {
    *next = nullptr;
    return 0;
  }
  auto c = static_cast<unsigned char>(text[1]);
  if (c == '<') {
    // Decimal, hexadecimal after "0x" or octal after a leading zero, as strtoul's base 0.
    if (!std::isdigit(static_cast<unsigned char>(text[2]))) {
      *next = nullptr;
      return 0;
    }
    char* end = nullptr;
    errno = 0;
    unsigned long value = std::strtoul(text + 2, &end, 0);
    if (*end != '>' || errno != 0 || value > 255) {
      *next = nullptr;
      return 0;
    }
    *next = end + 1;
    return static_cast<unsigned>(value);
  }
  if (c >= 'a' && c <= 'z') {
    *next = text + 2;
    return c - 'a' + 1u;
  }
  if ((c >= '@' && c <= '_') || c == '?' || c >= 0x80) {
    *next = text + 2;
    return c ^ 0x40u;
  }
  if (c == '~') {
    *next = text + 2;
    return '^';
  }
  return 0;
}
