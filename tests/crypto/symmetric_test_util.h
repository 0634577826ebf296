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

}  // namespace symmetric_test
