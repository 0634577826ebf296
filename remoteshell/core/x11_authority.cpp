// Reads the X authority file: records of family, address, display number, name and data, each
// a 16-bit big-endian length and bytes (the family is a bare 16-bit number).
#include "remoteshell/core/x11_authority.h"

#include <cstdlib>
#include <fstream>
#include <optional>

#include <arpa/inet.h>
#include <unistd.h>

namespace {

constexpr int kFamilyInternet = 0;
constexpr int kFamilyLocal = 256;
constexpr int kFamilyWild = 65535;

std::optional<int> read_u16(std::istream& in) {
  unsigned char b[2];
  if (!in.read(reinterpret_cast<char*>(b), 2)) return std::nullopt;
  return (b[0] << 8) | b[1];
}

std::optional<std::string> read_field(std::istream& in) {
  auto length = read_u16(in);
  if (!length) return std::nullopt;
  std::string text(static_cast<size_t>(*length), '\0');
  if (!in.read(text.data(), *length)) return std::nullopt;
  return text;
}

bool is_this_machine(const std::string& host) {
  return host.empty() || host == "localhost" || host == "unix" || host.compare(0, 4, "127.") == 0 || host == "::1";
}

std::string authority_file() {
  if (const char* file = std::getenv("XAUTHORITY"); file != nullptr && *file != '\0') return file;
  const char* home = std::getenv("HOME");
  return std::string(home != nullptr ? home : "") + "/.Xauthority";
}

bool address_matches(int family, const std::string& address, const std::string& host) {
  if (family == kFamilyWild) return true;
  if (family == kFamilyLocal) {
    char name[256] = {};
    gethostname(name, sizeof name - 1);
    return is_this_machine(host) && address == name;
  }
  if (family == kFamilyInternet && address.size() == 4) {
    in_addr wanted{};
    if (inet_pton(AF_INET, is_this_machine(host) ? "127.0.0.1" : host.c_str(), &wanted) != 1) return false;
    return address == std::string(reinterpret_cast<const char*>(&wanted), 4);
  }
  return false;
}

}  // namespace

X11Authority platform_x11_authority(const std::string& host, int display) {
  std::ifstream in(authority_file(), std::ios::binary);
  const std::string number = std::to_string(display);
  while (in) {
    auto family = read_u16(in);
    auto address = read_field(in);
    auto display_number = read_field(in);
    auto name = read_field(in);
    auto data = read_field(in);
    if (!family || !address || !display_number || !name || !data) break;
    if (*display_number == number && address_matches(*family, *address, host)) return {*name, *data};
  }
  return {};
}
