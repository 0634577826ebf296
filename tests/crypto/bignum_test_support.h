#pragma once
// Helpers for the public-key tests: hexadecimal conversion of BigNum values, running a
// command and reading its output.
#include <array>
#include <cstdio>
#include <string>
#include <vector>

#include "crypto/bignum.h"

namespace bignum_testing {

inline std::string to_hex(ConstBigNum a)
{
  static const char digits[] = "0123456789abcdef";
  std::string out;
  int bits = bn_bit_count(a);
  for (int nibble = (bits + 3) / 4 - 1; nibble >= 0; --nibble)
    out += digits[(bn_byte_at(a, nibble / 2) >> (4 * (nibble % 2))) & 0xF];
  return out.empty() ? "0" : out;
}

inline BigNumPtr from_hex(const std::string &hex)
{
  std::string even = hex.size() % 2 ? "0" + hex : hex;
  std::vector<unsigned char> bytes(even.size() / 2);
  for (std::size_t i = 0; i < bytes.size(); ++i)
    bytes[i] = static_cast<unsigned char>(std::stoi(even.substr(2 * i, 2), nullptr, 16));
  return BigNumPtr(bn_from_bytes_be(bytes.data(), static_cast<int>(bytes.size())));
}

inline std::vector<unsigned char> to_bytes(ConstBigNum a)
{
  std::vector<unsigned char> out((bn_bit_count(a) + 7) / 8);
  for (std::size_t i = 0; i < out.size(); ++i)
    out[i] = static_cast<unsigned char>(bn_byte_at(a, static_cast<int>(out.size() - 1 - i)));
  return out;
}

// Runs a shell command; returns its standard output and sets status to its exit status.
inline std::string run_command(const std::string &command, int *status = nullptr)
{
  std::string output;
  FILE *pipe = popen(command.c_str(), "r");
  if (!pipe)
    return output;
  std::array<char, 4096> buffer;
  std::size_t got;
  while ((got = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
    output.append(buffer.data(), got);
  int rc = pclose(pipe);
  if (status)
    *status = rc;
  return output;
}

}  // namespace bignum_testing
