#pragma once
// Comparison whose running time does not depend on where the inputs differ, so that a MAC
// check leaks nothing about how much of a forged value was right.

#include <cstddef>

inline bool constant_time_equal(const unsigned char* a, const unsigned char* b, std::size_t length) {
  unsigned char difference = 0;
  for (std::size_t i = 0; i < length; ++i) difference |= static_cast<unsigned char>(a[i] ^ b[i]);
  // Through a volatile so the compiler cannot turn the loop into an early-exit compare.
  volatile unsigned char result = difference;
  return result == 0;
}
