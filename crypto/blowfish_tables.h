#pragma once
// Blowfish's initial P-array and S-boxes: the hexadecimal digits of pi.

#include <cstdint>

namespace blowfish_detail {

extern const std::uint32_t initial_p[18];
extern const std::uint32_t initial_s[4][256];

}  // namespace blowfish_detail
