#pragma once
// Key-file fixtures: keys made by ssh-keygen, rewritten in our formats by keyfile_fixtures.py
// into one temporary folder per test program, with a manifest of the key numbers.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "crypto/bignum.h"
#include "base/memory.h"
#include "tests/support/scoped_env.h"

namespace keyfile_test {

using Bytes = std::vector<unsigned char>;

inline Bytes from_hex(const std::string& hex) {
  std::string even = hex.size() % 2 ? "0" + hex : hex;
  Bytes out;
  for (size_t i = 0; i < even.size(); i += 2) out.push_back(static_cast<unsigned char>(std::stoi(even.substr(i, 2), nullptr, 16)));
  return out;
}

inline std::string read_file(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}

inline void write_file(const std::string& path, const std::string& data) {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f.write(data.data(), static_cast<std::streamsize>(data.size()));
}

// The fixtures are made once per build folder and version of the script, and shared by the
// test processes: the first to finish moves its folder into place, the others use it.
inline std::string fixture_folder() {
  const std::string script = MIRVALE_SOURCE_DIR "/tests/crypto/keyfile_fixtures.py";
  const std::string ready =
      MIRVALE_BINARY_DIR "/keyfile-fixtures-" + std::to_string(std::hash<std::string>{}(read_file(script)));
  if (std::ifstream(ready + "/manifest.txt")) return ready;
  std::string pattern = MIRVALE_BINARY_DIR "/keyfile-fixtures-new-XXXXXX";
  if (!mkdtemp(pattern.data())) return "";
  std::string command = "/usr/bin/python3 " + script + " '" + pattern + "'";
  bool made = std::system(command.c_str()) == 0;
  if (!made || std::rename(pattern.c_str(), ready.c_str()) != 0) {
    std::error_code ignored;
    std::filesystem::remove_all(pattern, ignored);
  }
  return made ? ready : "";
}

class KeyFiles : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    folder_ = fixture_folder();
    ASSERT_FALSE(folder_.empty());
    std::ifstream manifest(folder_ + "/manifest.txt");
    std::string name, value;
    while (manifest >> name >> value) manifest_[name] = value;
    ASSERT_FALSE(manifest_.empty());
  }

  static std::string path(const std::string& name) { return folder_ + "/" + name; }
  static std::string passphrase() {
    Bytes b = from_hex(manifest_["passphrase"]);
    return std::string(b.begin(), b.end());
  }
  static Bytes expected(const std::string& name) { return from_hex(manifest_.at(name)); }
  static bool same_number(ConstBigNum value, const std::string& name) {
    Bytes b = expected(name);
    BigNumPtr want(bn_from_bytes_be(b.data(), static_cast<int>(b.size())));
    return value && bn_compare(value, want.get()) == 0;
  }
  // A scratch file of this test's own.
  std::string scratch(const std::string& data) {
    std::string p = scratch_ / "scratch.key";
    write_file(p, data);
    return p;
  }

  static std::string folder_;
  static std::map<std::string, std::string> manifest_;
  testing_support::TempFolder scratch_;
};

inline std::string KeyFiles::folder_;
inline std::map<std::string, std::string> KeyFiles::manifest_;

// Takes a checked_alloc block.
inline Bytes take_blob(unsigned char* blob, int length) {
  Bytes b(blob, blob + (blob ? length : 0));
  checked_free(blob);
  return b;
}
inline std::string take_text(char* text) {
  std::string s = text ? text : "(null)";
  checked_free(text);
  return s;
}

}  // namespace keyfile_test
