#include "remoteshell/core/host_key_cache.h"

#include <cctype>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>

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

using CachedKeys = std::map<std::string, std::string, std::less<>>;

std::optional<CachedKeys> read_cache(std::string* reason) {
  std::string refusal;
  auto keys = platform::ReadRegistryStrings(kHostKeysRegistryPath, refusal);
  if (!keys && reason) *reason = refusal;
  return keys;
}

// "<port>:<escaped host>" of a value's name; an older value is named by the host alone.
std::string_view host_of(std::string_view name) {
  size_t at = name.find('@');
  return at == std::string_view::npos ? name : name.substr(at + 1);
}

// A value's line in the store's file: type mark, space, name, tab, text, newline.
uint64_t entry_bytes(std::string_view name, std::string_view text) { return name.size() + text.size() + 4; }

// Why the key may not be stored under the name, none when it may.
std::optional<std::string> over_bound(const CachedKeys& keys, const std::string& name, const std::string& key_text) {
  std::set<std::string_view> hosts;
  uint64_t bytes = entry_bytes(name, key_text);
  for (const auto& [cached, text] : keys) {
    hosts.insert(host_of(cached));
    if (cached != name) bytes += entry_bytes(cached, text);
  }
  if (hosts.count(host_of(name)) == 0 && hosts.size() >= kMaxCachedHosts)
    return "the host-key cache is full: it holds the keys of " + std::to_string(hosts.size()) +
           " hosts, the most it keeps";
  if (bytes > kMaxCachedBytes)
    return "the host-key cache is full: with this key it would hold more than " + std::to_string(kMaxCachedBytes) +
           " bytes";
  return std::nullopt;
}

}  // namespace

// Shared by every conversation; a lookup may rewrite an older entry, so both take the lock.
static std::mutex& cache_lock() {
  static std::mutex lock;
  return lock;
}

int host_key_cache_lookup(const char* host, int port, const char* key_type, const char* key_text, std::string* reason) {
  std::lock_guard guard(cache_lock());
  auto keys = read_cache(reason);
  if (!keys) return kHostKeyCacheUnusable;
  std::string offered(key_text);
  std::string name = value_name(host, port, key_type);
  std::optional<std::string> value;
  if (auto found = keys->find(name); found != keys->end()) value = found->second;
  if (!value && std::string(key_type) == "rsa") {
    if (auto old = keys->find(escaped_host(host)); old != keys->end()) {
      auto converted = convert_old_rsa_value(old->second);
      if (!converted) return kHostKeyChanged;
      if (*converted == offered)
        if (auto cache = platform::RegistryKey::Open(kHostKeysRegistryPath)) cache->SetString(name, *converted);
      value = converted;
    }
  }
  if (!value) return kHostKeyNotCached;
  // The value is read into a buffer one byte longer than the offered key.
  if (value->size() > offered.size()) return kHostKeyChanged;
  return *value == offered ? kHostKeySame : kHostKeyChanged;
}

bool host_key_cache_store(const char* host, int port, const char* key_type, const char* key_text, std::string* reason) {
  std::lock_guard guard(cache_lock());
  auto keys = read_cache(reason);
  if (!keys) return false;
  std::string name = value_name(host, port, key_type);
  if (auto refusal = over_bound(*keys, name, key_text)) {
    if (reason) *reason = *refusal;
    return false;
  }
  auto cache = platform::RegistryKey::Open(kHostKeysRegistryPath, true);
  if (cache && cache->SetString(name, key_text)) return true;
  if (reason) *reason = "the host-key cache could not be written";
  return false;
}
