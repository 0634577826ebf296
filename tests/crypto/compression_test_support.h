#pragma once
// Helpers for the compression tests: one-call wrappers that own the output blocks, sample
// data, the stream file shared with the Python oracle, and a reader of fixed-Huffman symbols.
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "crypto/ssh_zlib.h"
#include "base/memory.h"

namespace compression_test {

using Bytes = std::vector<unsigned char>;

inline Bytes take_block(unsigned char* block, int length) {
  Bytes bytes(block, block + length);
  checked_free(block);
  return bytes;
}

inline Bytes compress(ZlibCompressor* z, const Bytes& data) {
  unsigned char* block = nullptr;
  int length = -1;
  zlib_compress(z, data.data(), static_cast<int>(data.size()), &block, &length);
  return take_block(block, length);
}

inline std::optional<Bytes> decompress(ZlibDecompressor* z, const unsigned char* data, size_t size) {
  unsigned char* block = nullptr;
  int length = -1;
  if (!zlib_decompress(z, data, static_cast<int>(size), &block, &length)) return std::nullopt;
  return take_block(block, length);
}

inline std::optional<Bytes> decompress(ZlibDecompressor* z, const Bytes& data) {
  return decompress(z, data.data(), data.size());
}

struct CompressorPtr {
  ZlibCompressor* z = zlib_compress_new();
  ~CompressorPtr() { zlib_compress_free(z); }
};
struct DecompressorPtr {
  ZlibDecompressor* z = zlib_decompress_new();
  ~DecompressorPtr() { zlib_decompress_free(z); }
};

// Configuration-like text: many repeats at many distances.
inline Bytes sample_text(size_t size, unsigned seed) {
  static const char* words[] = {"interface ", "GigabitEthernet0/", "ip address 10.1.", "shutdown\r\n",
                                "description uplink ", "!\r\n", "hostname core", " 255.255.255.0\r\n"};
  std::mt19937 rng(seed);
  Bytes out;
  while (out.size() < size) {
    std::string w = words[rng() % 8] + std::to_string(rng() % 40);
    out.insert(out.end(), w.begin(), w.end());
  }
  out.resize(size);
  return out;
}

inline Bytes sample_noise(size_t size, unsigned seed) {
  std::mt19937 rng(seed);
  Bytes out(size);
  for (auto& b : out) b = static_cast<unsigned char>(rng());
  return out;
}

// Splits data into packets of the given sizes, repeated cyclically.
inline std::vector<Bytes> cut(const Bytes& data, const std::vector<size_t>& sizes) {
  std::vector<Bytes> packets;
  size_t pos = 0;
  for (size_t i = 0; pos < data.size(); ++i) {
    size_t n = std::min(sizes[i % sizes.size()], data.size() - pos);
    packets.emplace_back(data.begin() + pos, data.begin() + pos + n);
    pos += n;
  }
  return packets;
}

struct Packet {
  Bytes plain;
  Bytes packed;
};
using Stream = std::vector<Packet>;

inline void write_u32(std::ofstream& f, uint32_t v) {
  unsigned char b[4] = {static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8),
                        static_cast<unsigned char>(v >> 16), static_cast<unsigned char>(v >> 24)};
  f.write(reinterpret_cast<const char*>(b), 4);
}

inline void write_streams(const std::string& path, const std::vector<Stream>& streams) {
  std::ofstream f(path, std::ios::binary);
  write_u32(f, static_cast<uint32_t>(streams.size()));
  for (const Stream& s : streams) {
    write_u32(f, static_cast<uint32_t>(s.size()));
    for (const Packet& p : s) {
      write_u32(f, static_cast<uint32_t>(p.plain.size()));
      f.write(reinterpret_cast<const char*>(p.plain.data()), p.plain.size());
      write_u32(f, static_cast<uint32_t>(p.packed.size()));
      f.write(reinterpret_cast<const char*>(p.packed.data()), p.packed.size());
    }
  }
}

inline std::vector<Stream> read_streams(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  Bytes all((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  size_t pos = 0;
  auto u32 = [&] {
    uint32_t v = all[pos] | all[pos + 1] << 8 | all[pos + 2] << 16 | static_cast<uint32_t>(all[pos + 3]) << 24;
    pos += 4;
    return v;
  };
  auto chunk = [&] {
    uint32_t n = u32();
    Bytes b(all.begin() + pos, all.begin() + pos + n);
    pos += n;
    return b;
  };
  std::vector<Stream> streams(u32());
  for (Stream& s : streams) {
    s.resize(u32());
    for (Packet& p : s) {
      p.plain = chunk();
      p.packed = chunk();
    }
  }
  return streams;
}

// Runs the Python oracle; returns its standard output.
inline std::string run_oracle(const std::string& mode, const std::string& path) {
  std::string command = "/usr/bin/python3 " MIRVALE_SOURCE_DIR "/tests/crypto/compression_oracle.py " + mode +
                        " '" + path + "' 2>&1";
  std::string output;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[512];
    while (size_t n = fread(buffer, 1, sizeof buffer, pipe)) output.append(buffer, n);
    pclose(pipe);
  }
  return output;
}

// One decoded item of a fixed-Huffman stream, for checking what the encoder chose.
struct Token {
  enum Kind { literal, match, end_of_block, block_header } kind;
  int value;     // literal byte, match length, or block type
  int distance;  // matches only
  bool operator==(const Token&) const = default;
};

// Reads the tokens of a stream made only of fixed-Huffman and stored blocks, after the 2-byte
// header, up to the last whole token.
inline std::vector<Token> fixed_tokens(const Bytes& stream) {
  static const int length_base[] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                    31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
  static const int distance_base[] = {1,   2,   3,   4,   5,   7,    9,    13,   17,   25,
                                      33,  49,  65,  97,  129, 193,  257,  385,  513,  769,
                                      1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
  struct OutOfBits {};
  size_t bit = 16;
  const size_t total = stream.size() * 8;
  auto next_bit = [&] {
    if (bit >= total) throw OutOfBits{};
    int b = (stream[bit / 8] >> (bit % 8)) & 1;
    ++bit;
    return b;
  };
  auto get = [&](int n) {  // a value, least significant bit first
    int v = 0;
    for (int i = 0; i < n; ++i) v |= next_bit() << i;
    return v;
  };
  auto code = [&](int n, int v) {  // Huffman code bits, most significant first
    for (int i = 0; i < n; ++i) v = (v << 1) | next_bit();
    return v;
  };
  std::vector<Token> tokens;
  bool in_block = false;
  try {
    for (;;) {
      std::vector<Token> item;
      if (!in_block) {
        get(1);
        int type = get(2);
        item.push_back({Token::block_header, type, 0});
        if (type == 0) {
          bit = (bit + 7) / 8 * 8;
          int len = get(16);
          get(16);
          for (int i = 0; i < len; ++i) item.push_back({Token::literal, get(8), 0});
        } else {
          in_block = true;
        }
      } else {
        int c = code(7, 0), symbol;
        if (c <= 0x17) {
          symbol = 256 + c;
        } else {
          c = code(1, c);
          if (c >= 0x30 && c <= 0xBF) symbol = c - 0x30;
          else if (c >= 0xC0 && c <= 0xC7) symbol = 280 + c - 0xC0;
          else symbol = 144 + code(1, c) - 0x190;
        }
        if (symbol < 256) {
          item.push_back({Token::literal, symbol, 0});
        } else if (symbol == 256) {
          item.push_back({Token::end_of_block, 0, 0});
          in_block = false;
        } else {
          int li = symbol - 257;
          int extra = li < 8 || li == 28 ? 0 : (li - 4) / 4;
          int length = length_base[li] + get(extra);
          int ds = code(5, 0);
          int dextra = ds < 4 ? 0 : ds / 2 - 1;
          item.push_back({Token::match, length, distance_base[ds] + get(dextra)});
        }
      }
      tokens.insert(tokens.end(), item.begin(), item.end());
    }
  } catch (OutOfBits&) {
  }
  return tokens;
}

}  // namespace compression_test
