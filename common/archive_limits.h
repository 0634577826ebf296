#pragma once
// Tag values and limits of object references in the archive format.
#include <cstdint>

namespace mirvale {

inline constexpr uint16_t kNullTag = 0x0000;
inline constexpr uint16_t kNewClassTag = 0xFFFF;
inline constexpr uint16_t kLongTag = 0x7FFF;
inline constexpr uint16_t kClassTagBit = 0x8000;
inline constexpr uint32_t kLongClassTagBit = 0x80000000;
// Indexes from this one on are written in the long form.
inline constexpr uint32_t kLongTagThreshold = 0x7FFF;
// Neither side hands out an index once the counter reaches this value.
inline constexpr uint32_t kMaxArchiveIndex = 0x3FFFFFFE;
// Stored class names are shorter than this.
inline constexpr uint16_t kMaxClassNameLength = 64;

}  // namespace mirvale
