#pragma once
// Loads and stores of fixed-width integers in a stated byte order, independent of the host.

#include <cstdint>

inline std::uint32_t load_be32(const unsigned char* p) {
  return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | p[3];
}

inline std::uint32_t load_le32(const unsigned char* p) {
  return std::uint32_t(p[3]) << 24 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[1]) << 8 | p[0];
}

inline std::uint64_t load_be64(const unsigned char* p) { return std::uint64_t(load_be32(p)) << 32 | load_be32(p + 4); }

inline void store_be32(unsigned char* p, std::uint32_t v) {
  p[0] = static_cast<unsigned char>(v >> 24);
  p[1] = static_cast<unsigned char>(v >> 16);
  p[2] = static_cast<unsigned char>(v >> 8);
  p[3] = static_cast<unsigned char>(v);
}

inline void store_le32(unsigned char* p, std::uint32_t v) {
  p[0] = static_cast<unsigned char>(v);
  p[1] = static_cast<unsigned char>(v >> 8);
  p[2] = static_cast<unsigned char>(v >> 16);
  p[3] = static_cast<unsigned char>(v >> 24);
}

inline void store_be64(unsigned char* p, std::uint64_t v) {
  store_be32(p, static_cast<std::uint32_t>(v >> 32));
  store_be32(p + 4, static_cast<std::uint32_t>(v));
}

inline std::uint32_t rotl32(std::uint32_t v, int n) { return (v << n) | (v >> ((32 - n) & 31)); }

inline std::uint32_t rotr32(std::uint32_t v, int n) { return (v >> n) | (v << ((32 - n) & 31)); }

inline std::uint64_t rotr64(std::uint64_t v, int n) { return (v >> n) | (v << ((64 - n) & 63)); }
