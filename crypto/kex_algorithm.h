#pragma once
// The record of one SSH-2 Diffie-Hellman key exchange. Fixed groups carry their prime and
// generator as big-endian bytes; group exchange takes both from the server and has none.

#include "crypto/algorithm_types.h"

struct KexAlgorithm {
  const char* name;
  const char* group_name;  // null for group exchange
  const unsigned char* prime;
  const unsigned char* generator;
  int prime_length;
  int generator_length;
  const HashAlgorithm* hash;
};

// Key exchanges of one kind, in order of preference.
struct KexGroup {
  int count;
  const KexAlgorithm* const* list;
};
