#include "remoteshell/core/version_pattern.h"

#include <cstring>
#include <utility>

namespace {

// Reads one class character (with "\" quoting) at pattern; 0 when the class is unclosed.
int class_character(const char*& pattern, unsigned char* out) {
  if (*pattern == '\\') ++pattern;
  if (*pattern == '\0') return -2;
  *out = static_cast<unsigned char>(*pattern++);
  return 1;
}

int match_class(const char*& pattern, unsigned char c) {
  bool invert = false;
  if (*pattern == '^') {
    invert = true;
    ++pattern;
  }
  bool matched = false;
  while (*pattern != ']') {
    if (*pattern == '\0') return -2;
    unsigned char lower = 0;
    if (int status = class_character(pattern, &lower); status < 0) return status;
    unsigned char upper = lower;
    if (*pattern == '-') {
      ++pattern;
      if (*pattern == ']') return -3;
      if (int status = class_character(pattern, &upper); status < 0) return status;
    }
    if (lower > upper) std::swap(lower, upper);
    if (c >= lower && c <= upper) matched = true;
  }
  ++pattern;
  return matched != invert ? 1 : 0;
}

// Matches the pattern up to the next "*" or its end at the start of text, advancing both.
int match_fragment(const char*& pattern, const char*& text) {
  while (*pattern != '\0' && *pattern != '*') {
    if (*text == '\0') return 0;
    auto c = static_cast<unsigned char>(*text);
    if (*pattern == '\\') {
      if (pattern[1] == '\0') return -1;
      if (static_cast<unsigned char>(pattern[1]) != c) return 0;
      pattern += 2;
    } else if (*pattern == '?') {
      ++pattern;
    } else if (*pattern == '[') {
      ++pattern;
      int status = match_class(pattern, c);
      if (status <= 0) return status;
    } else {
      if (static_cast<unsigned char>(*pattern) != c) return 0;
      ++pattern;
    }
    ++text;
  }
  return 1;
}

}  // namespace

int version_pattern_match(const char* pattern, const char* text) {
  if (*pattern != '*') {
    int status = match_fragment(pattern, text);
    if (status <= 0) return status;
  }
  const char* text_end = text + std::strlen(text);
  while (*pattern == '*') {
    while (*pattern == '*') ++pattern;
    if (*pattern == '\0') return 1;
    bool found = false;
    for (; *text != '\0'; ++text) {
      const char* after_pattern = pattern;
      const char* after_text = text;
      int status = match_fragment(after_pattern, after_text);
      if (status < 0) return status;
      if (status == 0) continue;
      if (*after_pattern == '\0' && *after_text != '\0') {
        // The last fragment must end with the text: try it once where it would.
        const char* tail = text_end - (after_text - text);
        after_pattern = pattern;
        return match_fragment(after_pattern, tail);
      }
      pattern = after_pattern;
      text = after_text;
      found = true;
      break;
    }
    if (!found) return 0;
  }
  return *pattern == '\0' && *text == '\0' ? 1 : 0;
}
