#pragma once
// Blanks (space, tab, line ends, vertical tab, form feed) cut from the ends of a text.
#include <string>
#include <string_view>

namespace mirvale {

bool IsBlank(char c);
std::string TrimLeft(std::string_view text);
std::string TrimRight(std::string_view text);
std::string Trim(std::string_view text);

}  // namespace mirvale
