#include "service/actions/wildcard_match.h"

#include <cstddef>

namespace mirvale {

namespace {

char FoldCase(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameCharacter(char a, char b) { return FoldCase(a) == FoldCase(b); }

}  // namespace

bool WildcardMatch(std::string_view text, std::string_view pattern) {
  size_t t = 0;
  size_t p = 0;
  size_t resume = std::string_view::npos;  // position after the last "*" passed
  for (;;) {
    if (t == text.size()) {
      while (p < pattern.size() && pattern[p] == '*') ++p;
      return p == pattern.size();
    }
    if (p < pattern.size() && SameCharacter(text[t], pattern[p])) {
      ++t;
      ++p;
    } else if (p < pattern.size() && pattern[p] == '*') {
      ++p;
      resume = p;
    } else if (resume == std::string_view::npos) {
      return false;
    } else {
      p = resume;
      if (p == pattern.size()) return true;
      if (SameCharacter(pattern[p], text[t])) ++p;
      ++t;
    }
  }
}

}  // namespace mirvale
