#include "service/actions/prefix_length.h"

namespace mirvale {

long ParsePrefixLength(std::string_view text) {
  // Leading blanks and a sign are accepted, and reading stops at the first non-digit.
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  long value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    if (value < 1000) value = value * 10 + (text[i] - '0');
  }
  return negative ? -value : value;
}

}  // namespace mirvale
