#pragma once
// Base64 (standard alphabet, "=" padding) for the AUTH LOGIN exchange.
#include <string>
#include <string_view>

namespace mirvale {

std::string Base64Encode(std::string_view text);

}  // namespace mirvale
