#pragma once
// Internals shared by the BigNum source files: allocation and word access.

#include "crypto/bignum.h"

namespace bignum_detail {

// A zeroed value with capacity `words`.
BigNum allocate(int words);

inline int capacity(ConstBigNum a) { return static_cast<int>(a[0]); }

// Number of value words without leading zero words.
inline int used_words(ConstBigNum a) {
  int n = capacity(a);
  while (n > 0 && a[n] == 0) --n;
  return n;
}

inline BigNumWord word_at(ConstBigNum a, int i) { return i < capacity(a) ? a[i + 1] : 0; }

}  // namespace bignum_detail
