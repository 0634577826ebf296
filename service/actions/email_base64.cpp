#include "service/actions/email_base64.h"

namespace mirvale {

std::string Base64Encode(std::string_view text) {
  static constexpr char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((text.size() + 2) / 3 * 4);
  size_t i = 0;
  for (; i + 3 <= text.size(); i += 3) {
    unsigned group = static_cast<unsigned char>(text[i]) << 16 |
                     static_cast<unsigned char>(text[i + 1]) << 8 | static_cast<unsigned char>(text[i + 2]);
    out += kAlphabet[group >> 18 & 63];
    out += kAlphabet[group >> 12 & 63];
    out += kAlphabet[group >> 6 & 63];
    out += kAlphabet[group & 63];
  }
  size_t left = text.size() - i;
  if (left > 0) {
    unsigned group = static_cast<unsigned char>(text[i]) << 16;
    if (left == 2) group |= static_cast<unsigned char>(text[i + 1]) << 8;
    out += kAlphabet[group >> 18 & 63];
    out += kAlphabet[group >> 12 & 63];
    out += left == 2 ? kAlphabet[group >> 6 & 63] : '=';
    out += '=';
  }
  return out;
}

}  // namespace mirvale
