#pragma once
// Helpers for the public-key tests: hexadecimal conversion of BigNum values, ownership of
// keys and blobs, running a command, files, and the values OpenSSL and ssh-keygen print.
#include <array>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "crypto/bignum.h"
#include "base/memory.h"

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

// A blob the key code allocated, released with it.
struct OwnedBlob {
  unsigned char *bytes = nullptr;
  int length = 0;
  OwnedBlob() = default;
  OwnedBlob(const OwnedBlob &) = delete;
  OwnedBlob &operator=(const OwnedBlob &) = delete;
  ~OwnedBlob() { checked_free(bytes); }
  std::vector<unsigned char> vector() const { return std::vector<unsigned char>(bytes, bytes + length); }
};

// Deleter for std::unique_ptr that releases through the key code's own free function.
template <auto Free>
struct FreedBy {
  template <typename T>
  void operator()(T *object) const
  {
    Free(object);
  }
};

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


// The named values of `openssl pkey -text -noout` as lower-case hex without leading zeros.
inline std::map<std::string, std::string> parse_openssl_text(const std::string &text)
{
  std::map<std::string, std::string> values;
  std::istringstream lines(text);
  std::string line, current;
  while (std::getline(lines, line)) {
    if (line.empty())
      continue;
    if (line[0] != ' ') {
      current.clear();
      auto colon = line.find(':');
      if (colon == std::string::npos)
        continue;
      std::string name = line.substr(0, colon);
      auto open = line.find("(0x");
      if (open != std::string::npos)
        values[name] = line.substr(open + 3, line.find(')', open) - open - 3);
      else
        current = name;
      continue;
    }
    if (current.empty())
      continue;
    for (char c : line)
      if (std::isxdigit(static_cast<unsigned char>(c)))
        values[current] += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  for (auto &[name, hex] : values) {
    std::size_t first = hex.find_first_not_of('0');
    hex = first == std::string::npos ? "0" : hex.substr(first);
  }
  return values;
}

inline void write_file(const std::string &path, const void *data, std::size_t length)
{
  std::ofstream out(path, std::ios::binary);
  out.write(static_cast<const char *>(data), static_cast<std::streamsize>(length));
}

inline std::vector<unsigned char> read_file(const std::string &path)
{
  std::ifstream in(path, std::ios::binary);
  return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), {});
}

// The MD5 fingerprint hex pairs ssh-keygen prints for an SSH-2 public blob, and its bit count.
inline std::string ssh_keygen_fingerprint(const std::string &folder, const std::string &name,
                                          const unsigned char *blob, int length)
{
  write_file(folder + "/blob.bin", blob, static_cast<std::size_t>(length));
  std::string command = "printf '%s %s test\\n' " + name + " \"$(openssl base64 -A -in " + folder +
                        "/blob.bin)\" > " + folder + "/key.pub && ssh-keygen -l -E md5 -f " + folder + "/key.pub";
  return run_command(command);
}

}  // namespace bignum_testing
