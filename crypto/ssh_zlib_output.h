#pragma once
// Hands a finished packet to the caller as a new block from checked_alloc.
#include <cstring>

#include "base/memory.h"

inline unsigned char* ssh_zlib_new_block(const unsigned char* data, int length) {
  unsigned char* block = checked_new_array<unsigned char>(length > 0 ? length : 0);
  if (length > 0) std::memcpy(block, data, length);
  return block;
}
