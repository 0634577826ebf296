#include "crypto/public_key_limits.h"

#include <bit>
#include <string_view>

#include "crypto/wire_buffer.h"

namespace {

// The bits of an SSH-2 mpint's body, read from its bytes alone.
int mpint_bits(std::string_view body) {
  size_t first = body.find_first_not_of('\0');
  if (first == std::string_view::npos) return 0;
  auto top = static_cast<unsigned char>(body[first]);
  return static_cast<int>((body.size() - first - 1) * 8) + std::bit_width(static_cast<unsigned>(top));
}

std::string too_large(const char* what, int bits, int limit) {
  return what + std::string(" of ") + std::to_string(bits) + " bits is larger than the " + std::to_string(limit) +
         " bits accepted";
}

std::string rsa_refusal(int modulus_bits, int exponent_bits) {
  if (modulus_bits > kMaxRsaModulusBits) return too_large("RSA modulus", modulus_bits, kMaxRsaModulusBits);
  if (exponent_bits > kMaxRsaExponentBits) return too_large("RSA exponent", exponent_bits, kMaxRsaExponentBits);
  return {};
}

}  // namespace

std::string public_key_size_refusal(const unsigned char* blob, int length) {
  WireBuffer reader(blob, length);
  std::string_view name = reader.get_string();
  if (name == "ssh-rsa") {
    int exponent_bits = mpint_bits(reader.get_string());
    int modulus_bits = mpint_bits(reader.get_string());
    return rsa_refusal(modulus_bits, exponent_bits);
  }
  if (name == "ssh-dss") {
    int prime_bits = mpint_bits(reader.get_string());
    if (prime_bits > kMaxDsaPrimeBits) return too_large("DSA prime p", prime_bits, kMaxDsaPrimeBits);
  }
  return {};
}

std::string rsa_key_size_refusal(ConstBigNum modulus, ConstBigNum exponent) {
  return rsa_refusal(modulus ? bn_bit_count(modulus) : 0, exponent ? bn_bit_count(exponent) : 0);
}
