#pragma once
// How the action rules read their prefix length.
#include <string_view>

namespace mirvale {

// The prefix length of a decimal text as the action rules read it ("" and junk give 0).
long ParsePrefixLength(std::string_view text);

}  // namespace mirvale
