// Invented X11 authorisation and its check (MIT-MAGIC-COOKIE-1 and XDM-AUTHORIZATION-1), and
// the display-name rules.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/memory.h"
#include "crypto/des.h"
#include "crypto/random_pool.h"
#include "remoteshell/core/counted_tree.h"
#include "remoteshell/core/frontend.h"
#include "remoteshell/core/x11_authority.h"
#include "remoteshell/net/x11_forward.h"

namespace {

constexpr long kXdmClockSkew = 1200;

const char* auth_name(int type) {
  return type == kX11AuthMitCookie ? "MIT-MAGIC-COOKIE-1" : type == kX11AuthXdm ? "XDM-AUTHORIZATION-1" : "";
}

struct ReplayEntry {
  uint32_t time;
  unsigned char address[6];
};

int compare_replay(void* a, void* b) {
  auto* x = static_cast<ReplayEntry*>(a);
  auto* y = static_cast<ReplayEntry*>(b);
  if (x->time != y->time) return x->time < y->time ? -1 : 1;
  return std::memcmp(x->address, y->address, sizeof x->address);
}

uint32_t get32(const unsigned char* p) {
  return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

const char* verify_xdm(uint32_t peer_address, int peer_port, X11Auth* auth, const unsigned char* data, int length,
                       std::time_t now) {
  if (length != 24) return "XDM-AUTHORIZATION-1 data was wrong length";
  if (peer_port == -1) return "cannot do XDM-AUTHORIZATION-1 without remote address data";
  unsigned char plain[24];
  std::memcpy(plain, data, sizeof plain);
  des_decrypt_xdm_auth(auth->fake_data + 9, plain, sizeof plain);
  bool ok = std::memcmp(plain, auth->fake_data, 8) == 0 && get32(plain + 8) == peer_address &&
            ((plain[12] << 8) | plain[13]) == peer_port;
  for (int i = 18; i < 24; ++i) ok &= plain[i] == 0;
  if (!ok) return "XDM-AUTHORIZATION-1 data failed check";
  uint32_t stamp = get32(plain + 14);
  long skew = static_cast<long>(now) - static_cast<long>(stamp);
  if (skew > kXdmClockSkew || skew < -kXdmClockSkew) return "XDM-AUTHORIZATION-1 time stamp was too far out";
  auto* entry = new ReplayEntry{stamp, {}};
  std::memcpy(entry->address, plain + 8, 6);
  if (tree_add(auth->replay_list, entry) != entry) {
    delete entry;
    return "XDM-AUTHORIZATION-1 data replayed";
  }
  while (auto* oldest = static_cast<ReplayEntry*>(tree_index(auth->replay_list, 0))) {
    if (static_cast<long>(stamp) - static_cast<long>(oldest->time) <= kXdmClockSkew) break;
    delete static_cast<ReplayEntry*>(tree_delete_at(auth->replay_list, 0));
  }
  return nullptr;
}

}  // namespace

X11Auth* x11_invent_auth(char* name, int name_size, char* hex, int hex_size, int type) {
  auto* auth = new X11Auth{};
  auth->fake_type = type == kX11AuthXdm ? kX11AuthXdm : kX11AuthMitCookie;
  auth->fake_length = 16;
  for (unsigned char& byte : auth->fake_data) byte = random_next_byte();
  if (auth->fake_type == kX11AuthXdm) {
    auth->fake_data[8] = 0;
    auth->replay_list = tree_new(compare_replay);
  }
  std::snprintf(name, static_cast<size_t>(name_size), "%s", auth_name(auth->fake_type));
  std::string digits;
  for (unsigned char byte : auth->fake_data) {
    char two[3];
    std::snprintf(two, sizeof two, "%02x", byte);
    digits += two;
  }
  std::snprintf(hex, static_cast<size_t>(hex_size), "%s", digits.c_str());
  return auth;
}

void x11_auth_free(X11Auth* auth) {
  if (auth == nullptr) return;
  if (auth->replay_list != nullptr) {
    while (void* entry = tree_delete_at(auth->replay_list, 0)) delete static_cast<ReplayEntry*>(entry);
    tree_free(auth->replay_list);
  }
  explicit_bzero(auth, sizeof *auth);
  delete auth;
}

void x11_auth_prepare(X11Auth* auth, const char* display) {
  auth->real_type = kX11AuthNone;
  auth->real_length = 0;
  std::string host;
  int number = 0;
  if (!x11_parse_display(x11_display_name(display), &host, &number)) return;
  X11Authority real = platform_x11_authority(host, number);
  if (real.name == "MIT-MAGIC-COOKIE-1" && real.data.size() <= sizeof auth->real_data) {
    auth->real_type = kX11AuthMitCookie;
    auth->real_length = static_cast<int>(real.data.size());
    std::memcpy(auth->real_data, real.data.data(), real.data.size());
  }
}

std::string x11_display_name(const char* display) {
  std::string name;
  if (display != nullptr && *display != '\0') {
    name = display;
  } else if (char* from_platform = platform_x_display()) {
    name = from_platform;
    checked_free(from_platform);
  }
  if (name.empty()) name = ":0";
  if (name[0] == ':') name = "localhost" + name;
  return name;
}

int x11_screen_number(const char* display) {
  // After the last ":", so dots in the host name (or an IPv6 address) are never read as the
  // screen separator.
  const char* colon = std::strrchr(display, ':');
  if (colon == nullptr) return 0;
  const char* dot = std::strchr(colon, '.');
  return dot != nullptr ? std::atoi(dot + 1) : 0;
}

bool x11_parse_display(const std::string& display, std::string* host, int* number) {
  size_t colon = display.rfind(':');
  if (colon == std::string::npos) return false;
  *host = display.substr(0, std::min<size_t>(colon, 127));
  const char* digits = display.c_str() + colon + 1;
  if (*digits < '0' || *digits > '9') return false;
  char* end = nullptr;
  long value = std::strtol(digits, &end, 10);
  if (value > 65535 - 6000) return false;
  *number = static_cast<int>(value);
  return true;
}

const char* x11_verify(uint32_t peer_address, int peer_port, X11Auth* auth, const std::string& name,
                       const unsigned char* data, int length, std::time_t now) {
  if (name != auth_name(auth->fake_type)) return "wrong authentication protocol attempted";
  if (auth->fake_type == kX11AuthMitCookie) {
    if (length != auth->fake_length) return "MIT-MAGIC-COOKIE-1 data was wrong length";
    if (std::memcmp(data, auth->fake_data, 16) != 0) return "MIT-MAGIC-COOKIE-1 data did not match";
    return nullptr;
  }
  return verify_xdm(peer_address, peer_port, auth, data, length, now);
}
