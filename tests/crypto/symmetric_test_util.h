#pragma once
// Helpers for the symmetric-crypto tests: hex conversion, seeded random bytes, and running a
// reference tool (Python, OpenSSL) once over a whole batch of cases.

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "tests/support/scoped_env.h"

namespace symmetric_test {

using Bytes = std::vector<unsigned char>;

inline Bytes from_hex(std::string_view hex)
{
  Bytes out;
  auto nibble = [](char c) { return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10; };
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
    if (hex[i] == ' ') {
      --i;
      continue;
    }
    out.push_back(static_cast<unsigned char>(nibble(hex[i]) << 4 | nibble(hex[i + 1])));
  }
  return out;
}

inline std::string to_hex(const unsigned char *data, std::size_t length)
{
  static const char digits[] = "0123456789abcdef";
  std::string out;
  for (std::size_t i = 0; i < length; ++i) {
    out += digits[data[i] >> 4];
    out += digits[data[i] & 15];
  }
  return out;
}

inline std::string to_hex(const Bytes &data) { return to_hex(data.data(), data.size()); }

inline Bytes text_bytes(std::string_view text) { return Bytes(text.begin(), text.end()); }

inline Bytes random_bytes(std::mt19937 &rng, std::size_t length)
{
  Bytes out(length);
  for (auto &b : out)
    b = static_cast<unsigned char>(rng());
  return out;
}

inline std::string read_file(const std::string &path)
{
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

inline void write_file(const std::string &path, const std::string &text)
{
  std::ofstream(path, std::ios::binary) << text;
}

// Runs a shell command with the given standard input; returns its standard output. A failing
// command fails the current test and returns an empty text.
inline std::string run_tool(const std::string &command, const std::string &input = "")
{
  testing_support::TempFolder folder;
  write_file(folder / "in", input);
  const std::string line = command + " < '" + (folder / "in") + "' > '" + (folder / "out") + "'";
  const int status = std::system(line.c_str());
  EXPECT_EQ(status, 0) << line;
  return status == 0 ? read_file(folder / "out") : std::string();
}

// Runs a Python program (given as text) under /usr/bin/python3 with the given standard input.
inline std::string run_python(const std::string &program, const std::string &input)
{
  testing_support::TempFolder folder;
  write_file(folder / "program.py", program);
  return run_tool("/usr/bin/python3 '" + (folder / "program.py") + "'", input);
}

inline std::vector<std::string> split_lines(const std::string &text)
{
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);)
    lines.push_back(line);
  return lines;
}

// Random cut points 0 <= a <= b <= length, for feeding data in three pieces.
inline std::pair<std::size_t, std::size_t> random_cuts(std::mt19937 &rng, std::size_t length)
{
  std::size_t a = rng() % (length + 1), b = rng() % (length + 1);
  return a <= b ? std::make_pair(a, b) : std::make_pair(b, a);
}

// One `openssl enc` run without padding: cipher name as openssl knows it (e.g. "aes-128-cbc"),
// hex key and IV (IV empty for stream ciphers).
struct OpensslCase {
  std::string cipher;
  std::string key_hex;
  std::string iv_hex;
  Bytes data;
  bool decrypt = false;
};

// Runs each shell command (reading standard input, writing standard output) on its input,
// all in one shell, so a whole batch costs a single subprocess call here.
inline std::vector<Bytes> shell_batch(const std::vector<std::pair<std::string, Bytes>> &commands)
{
  testing_support::TempFolder folder;
  std::string script = "set -e\n";
  for (std::size_t i = 0; i < commands.size(); ++i) {
    const std::string in = folder / ("in" + std::to_string(i)), out = folder / ("out" + std::to_string(i));
    write_file(in, std::string(commands[i].second.begin(), commands[i].second.end()));
    script += "( " + commands[i].first + " ) < '" + in + "' > '" + out + "'\n";
  }
  write_file(folder / "run.sh", script);
  run_tool("sh '" + (folder / "run.sh") + "'");
  std::vector<Bytes> outputs;
  for (std::size_t i = 0; i < commands.size(); ++i) {
    const std::string text = read_file(folder / ("out" + std::to_string(i)));
    outputs.emplace_back(text.begin(), text.end());
  }
  return outputs;
}

inline std::string openssl_command(const std::string &cipher, const std::string &key_hex, const std::string &iv_hex,
                                   bool decrypt)
{
  return "openssl enc -" + cipher + " -provider legacy -provider default -nopad -K " + key_hex +
         (iv_hex.empty() ? "" : " -iv " + iv_hex) + (decrypt ? " -d" : "");
}

inline std::vector<Bytes> openssl_batch(const std::vector<OpensslCase> &cases)
{
  std::vector<std::pair<std::string, Bytes>> commands;
  for (const auto &c : cases)
    commands.emplace_back(openssl_command(c.cipher, c.key_hex, c.iv_hex, c.decrypt), c.data);
  return shell_batch(commands);
}

// Python driving OpenSSL's library through ctypes, for what `openssl enc` cannot do: keys of a
// length other than the cipher's default (32-byte Blowfish and RC4 keys). One line per case:
// "NAME,key hex,IV hex (may be empty),data hex"; prints the encrypted data in hex.
inline const char *const evp_program = R"(import ctypes, sys
lib = ctypes.CDLL('libcrypto.so.3')
vp = ctypes.c_void_p
lib.OSSL_PROVIDER_load.restype = vp
lib.OSSL_PROVIDER_load.argtypes = [vp, ctypes.c_char_p]
lib.EVP_CIPHER_fetch.restype = vp
lib.EVP_CIPHER_fetch.argtypes = [vp, ctypes.c_char_p, ctypes.c_char_p]
lib.EVP_CIPHER_CTX_new.restype = vp
lib.EVP_CIPHER_CTX_free.argtypes = [vp]
lib.EVP_CipherInit_ex.argtypes = [vp, vp, vp, ctypes.c_char_p, ctypes.c_char_p, ctypes.c_int]
lib.EVP_CIPHER_CTX_set_key_length.argtypes = [vp, ctypes.c_int]
lib.EVP_CIPHER_CTX_set_padding.argtypes = [vp, ctypes.c_int]
lib.EVP_CipherUpdate.argtypes = [vp, ctypes.c_char_p, ctypes.POINTER(ctypes.c_int), ctypes.c_char_p, ctypes.c_int]
lib.OSSL_PROVIDER_load(None, b'legacy')
lib.OSSL_PROVIDER_load(None, b'default')
for line in sys.stdin:
    name, key, iv, data = line.strip().split(',')
    key, iv, data = bytes.fromhex(key), bytes.fromhex(iv), bytes.fromhex(data)
    ctx = lib.EVP_CIPHER_CTX_new()
    assert lib.EVP_CipherInit_ex(ctx, lib.EVP_CIPHER_fetch(None, name.encode(), None), None, None, None, 1) == 1
    assert lib.EVP_CIPHER_CTX_set_key_length(ctx, len(key)) == 1
    assert lib.EVP_CipherInit_ex(ctx, None, None, key, iv or None, 1) == 1
    lib.EVP_CIPHER_CTX_set_padding(ctx, 0)
    out = ctypes.create_string_buffer(len(data) + 16)
    n = ctypes.c_int(0)
    assert lib.EVP_CipherUpdate(ctx, out, ctypes.byref(n), data, len(data)) == 1
    lib.EVP_CIPHER_CTX_free(ctx)
    print(out.raw[:n.value].hex())
)";

struct EvpCase {
  std::string cipher;  // OpenSSL's name, e.g. "BF-CBC", "RC4"
  Bytes key, iv, data;
};

inline std::vector<Bytes> evp_batch(const std::vector<EvpCase> &cases)
{
  std::string input;
  for (const auto &c : cases)
    input += c.cipher + "," + to_hex(c.key) + "," + to_hex(c.iv) + "," + to_hex(c.data) + "\n";
  std::vector<Bytes> outputs;
  for (const auto &line : split_lines(run_python(evp_program, input)))
    outputs.push_back(from_hex(line));
  return outputs;
}

// Random cut points on a block grid, for processing a buffer in three calls.
inline std::pair<std::size_t, std::size_t> random_block_cuts(std::mt19937 &rng, std::size_t length,
                                                              std::size_t block)
{
  const auto [a, b] = random_cuts(rng, length / block);
  return {a * block, b * block};
}

// Applies a chained in-place operation to a copy of the data in three calls.
template <typename Operation>
Bytes in_three_calls(Operation operation, Bytes data, std::pair<std::size_t, std::size_t> cuts)
{
  operation(data.data(), cuts.first);
  operation(data.data() + cuts.first, cuts.second - cuts.first);
  operation(data.data() + cuts.second, data.size() - cuts.second);
  return data;
}

}  // namespace symmetric_test
