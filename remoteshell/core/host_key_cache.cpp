#include "remoteshell/core/host_key_cache.h"

#include <cctype>
#include <mutex>
#include <string>

#include "base/client_registry_paths.h"
#include "platform/registry.h"
#include "remoteshell/core/settings.h"

namespace {

std::string escaped_host(const char* host) {
  std::string buffer(3 * std::string(host).size() + 1, '\0');
  registry_name_escape(host, buffer.data(), static_cast<int>(buffer.size()));
  return buffer.c_str();
}

std::string value_name(const char* host, int port, const char* key_type) {
  return std::string(key_type) + "@" + std::to_string(port) + ":" + escaped_host(host);
}

// One number of the older form: 16-bit words as four hexadecimal digits each, least
// significant word first. False when the text is not made of whole words of hex digits.
bool convert_old_number(const std::string& words, std::string* out) {
  if (words.empty() || words.size() % 4 != 0) return false;
  for (char c : words)
    if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
  std::string digits;
  for (size_t word = words.size(); word >= 4; word -= 4) digits += words.substr(word - 4, 4);
  size_t first = digits.find_first_not_of('0');
  *out = "0x" + (first == std::string::npos ? std::string("0") : digits.substr(first));
  return true;
}

// "exponent/modulus" in the older form to "0x<exponent>,0x<modulus>"; a malformed value
// converts to nothing, so it can never match.
std::optional<std::string> convert_old_rsa_value(const std::string& old) {
  size_t slash = old.find('/');
  if (slash == std::string::npos || old.find('/', slash + 1) != std::string::npos) return std::nullopt;
  std::string exponent;
  std::string modulus;
  if (!convert_old_number(old.substr(0, slash), &exponent) || !convert_old_number(old.substr(slash + 1), &modulus))
    return std::nullopt;
  return exponent + "," + modulus;
}

}  // namespace

// Shared by every conversation; a lookup may rewrite an older entry, so both take the lock.
static std::mutex& cache_lock() {
  static std::mutex lock;
  return lock;
}

int host_key_cache_lookup(const char* host, int port, const char* key_type, const char* key_text) {
  std::lock_guard guard(cache_lock());
  auto cache = platform::RegistryKey::Open(kHostKeysRegistryPath);
  if (!cache) return 1;
  std::string offered(key_text);
  std::string name = value_name(host, port, key_type);
  auto value = cache->GetString(name);
  if (!value && std::string(key_type) == "rsa") {
    if (auto old = cache->GetString(escaped_host(host))) {
      auto converted = convert_old_rsa_value(*old);
      if (!converted) return 2;
      if (*converted == offered) cache->SetString(name, *converted);
      value = converted;
    }
  }
  if (!value) return 1;
  // The value is read into a buffer one byte longer than the offered key.
  if (value->size() > offered.size()) return 2;
  return *value == offered ? 0 : 2;
}

void host_key_cache_store(const char* host, int port, const char* key_type, const char* key_text) {
  std::lock_guard guard(cache_lock());
  if (auto cache = platform::RegistryKey::Open(kHostKeysRegistryPath, true))
    cache->SetString(value_name(host, port, key_type), key_text);
}
