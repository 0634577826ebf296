#pragma once
// The largest public keys taken from outside. Beyond them one modular power costs seconds to
// minutes, so a server or a file offering such a key could hold a conversation far beyond its
// time-outs: these keys are refused before any arithmetic is done on them.
#include <string>

#include "crypto/bignum.h"

inline constexpr int kMaxRsaModulusBits = 16384;
inline constexpr int kMaxRsaExponentBits = 64;
inline constexpr int kMaxDsaPrimeBits = 8192;

// Why an "ssh-rsa" or "ssh-dss" public blob is refused for its size; empty when its numbers are
// within the limits, and for any other or malformed blob (parsing refuses those).
std::string public_key_size_refusal(const unsigned char* blob, int length);

// The same rule for an RSA key read from SSH-1 data.
std::string rsa_key_size_refusal(ConstBigNum modulus, ConstBigNum exponent);
