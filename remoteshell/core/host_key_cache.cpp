#include "remoteshell/core/host_key_cache.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/client_registry_paths.h"
#include "platform/registry.h"
#include "remoteshell/core/host_key_use.h"
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

std::optional<CachedKeys> read_strings(const char* path, std::string* reason) {
  std::string refusal;
  auto strings = platform::ReadRegistryStrings(path, refusal);
  if (!strings && reason) *reason = refusal;
  return strings;
}

std::optional<CachedKeys> read_cache(std::string* reason) { return read_strings(kHostKeysRegistryPath, reason); }

// "<port>:<escaped host>" of a value's name; an older value is named by the host alone.
std::string_view host_of(std::string_view name) {
  size_t at = name.find('@');
  return at == std::string_view::npos ? name : name.substr(at + 1);
}

// A value's line in the store's file: type mark, space, name, tab, text, newline.
uint64_t entry_bytes(std::string_view name, std::string_view text) { return name.size() + text.size() + 4; }

std::optional<HostKeyUse> use_of(const CachedKeys& uses, std::string_view host) {
  auto found = uses.find(host);
  return found == uses.end() ? std::nullopt : parse_host_key_use(found->second);
}

// "<host> port <port> (last used <date>)" of a cached host, for the log.
std::string described_host(std::string_view host, const std::optional<HostKeyUse>& use) {
  size_t colon = host.find(':');
  std::string text = colon == std::string_view::npos
                         ? platform::UnescapeNameComponent(host)
                         : platform::UnescapeNameComponent(host.substr(colon + 1)) + " port " +
                               std::string(host.substr(0, colon));
  return text + " (" + host_key_use_text(use) + ")";
}

// Notes that the host's key matched today; at most one write a host a day.
void note_use(std::string_view host) {
  auto uses = read_strings(kHostKeyUseRegistryPath, nullptr);
  if (!uses) return;
  const uint32_t today = host_key_use_today();
  // An older host without a record was stored before today: its use now proves it.
  HostKeyUse use = use_of(*uses, host).value_or(HostKeyUse{0, 0});
  if (use.used >= today) return;
  use.used = today;
  if (auto key = platform::RegistryKey::Open(kHostKeyUseRegistryPath, true))
    key->SetString(host, format_host_key_use(use));
}

// The cache's hosts with the bytes of their values in the store's file, the one being stored
// (name) counted with its new value.
struct CacheSize {
  std::map<std::string, uint64_t, std::less<>> hosts;
  uint64_t bytes = 0;
  bool over() const { return hosts.size() > kMaxCachedHosts || bytes > kMaxCachedBytes; }
};

CacheSize size_with(const CachedKeys& keys, const std::string& name, const std::string& key_text) {
  CacheSize size;
  size.hosts[std::string(host_of(name))] = entry_bytes(name, key_text);
  size.bytes = entry_bytes(name, key_text);
  for (const auto& [cached, text] : keys) {
    if (cached == name) continue;
    size.hosts[std::string(host_of(cached))] += entry_bytes(cached, text);
    size.bytes += entry_bytes(cached, text);
  }
  return size;
}

// The hosts to drop, lowest rank first (by name among equals), until the cache is within its
// bounds; never the host being stored.
std::vector<std::string> hosts_giving_way(CacheSize size, std::string_view keep, const CachedKeys& uses) {
  std::vector<std::pair<uint64_t, std::string>> ranked;
  for (const auto& [host, bytes] : size.hosts)
    if (host != keep) ranked.emplace_back(host_key_keep_rank(use_of(uses, host)), host);
  std::sort(ranked.begin(), ranked.end());
  std::vector<std::string> dropped;
  for (auto& [rank, host] : ranked) {
    if (!size.over()) break;
    auto found = size.hosts.find(host);
    size.bytes -= found->second;
    size.hosts.erase(found);
    dropped.push_back(std::move(host));
  }
  return dropped;
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
  if (value->size() > offered.size() || *value != offered) return kHostKeyChanged;
  note_use(host_of(name));
  return kHostKeySame;
}

bool host_key_cache_store(const char* host, int port, const char* key_type, const char* key_text, std::string* reason,
                          std::vector<std::string>* evicted) {
  std::lock_guard guard(cache_lock());
  auto keys = read_cache(reason);
  if (!keys) return false;
  const std::string name = value_name(host, port, key_type);
  const std::string stored_host(host_of(name));
  CacheSize size = size_with(*keys, name, key_text);
  if (entry_bytes(name, key_text) > kMaxCachedBytes) {
    if (reason) *reason = "the key is larger than the host-key cache's " + std::to_string(kMaxCachedBytes) + " bytes";
    return false;
  }
  // Records of hosts no longer cached are dropped with every store, so they stay as few as the hosts.
  std::string refusal;
  auto uses = read_strings(kHostKeyUseRegistryPath, &refusal);
  std::vector<std::string> dropped;
  if (size.over()) {
    // Without the hosts' use the cache cannot tell which may give way; none is dropped blindly.
    if (!uses) {
      if (reason) *reason = "the host-key cache is full and its hosts' use cannot be read (" + refusal + ")";
      return false;
    }
    dropped = hosts_giving_way(size, stored_host, *uses);
  }
  const std::set<std::string, std::less<>> gone(dropped.begin(), dropped.end());
  std::vector<std::string> deleted;
  for (const auto& [cached, text] : *keys)
    if (gone.count(host_of(cached)) != 0) deleted.push_back(cached);
  auto cache = platform::RegistryKey::Open(kHostKeysRegistryPath, true);
  if (!cache || !cache->Change(deleted, {{name, key_text}})) {
    if (reason) *reason = "the host-key cache could not be written";
    return false;
  }
  if (!uses) return true;
  if (evicted)
    for (const std::string& gave_way : dropped) evicted->push_back(described_host(gave_way, use_of(*uses, gave_way)));
  std::vector<std::string> stale;
  for (const auto& [record, text] : *uses)
    if (gone.count(record) != 0 || size.hosts.count(record) == 0) stale.push_back(record);
  const uint32_t today = host_key_use_today();
  HostKeyUse use = use_of(*uses, stored_host).value_or(HostKeyUse{today, today});
  use.used = today;
  if (auto records = platform::RegistryKey::Open(kHostKeyUseRegistryPath, true))
    records->Change(stale, {{stored_host, format_host_key_use(use)}});
  return true;
}
