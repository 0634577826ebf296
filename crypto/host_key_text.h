#pragma once
// Texts shared by the public-key algorithms.

#include <initializer_list>
#include <string>
#include <vector>

#include "crypto/bignum.h"

// "<name> <bits> " and the MD5 of the public blob as lower-case hex pairs joined by ":"
// (checked_free).
char* host_key_fingerprint(const char* name, int bits, const std::vector<unsigned char>& public_blob);

// A value in lower-case hexadecimal without leading zeros ("0" for zero).
std::string bn_hex_text(ConstBigNum value);

// The values as "0x" hexadecimal numbers separated by ",0x" (checked_free).
char* host_key_values_text(std::initializer_list<ConstBigNum> values);
