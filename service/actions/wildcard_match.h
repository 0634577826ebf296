#pragma once
// The action rules' pattern test: "*" matches any run of characters (also none), letters
// compare regardless of case, nothing else is special. The matcher resumes only at the last
// "*" it passed and moves the text on one character at a time, so a few texts a backtracking
// matcher would accept are rejected ("aaab" does not match "*aab"); stored actions were written
// against this behaviour, so it is kept.
#include <string_view>

namespace mirvale {

bool WildcardMatch(std::string_view text, std::string_view pattern);

}  // namespace mirvale
