#pragma once
// The single-byte code page that stored texts use (Windows-1252): converts a UTF-16 code unit
// of a wide text to its byte, '?' when the page has no such character.
#include <cstdint>

namespace mirvale {

char WideToAnsi(uint16_t unit);

}  // namespace mirvale
