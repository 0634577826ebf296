#pragma once
// The SSH host-key cache in "Software\Hollerin\Mirsh\SshHostKeys": one text value per host key,
// named "<key type>@<port>:<escaped host>".
//
// The cache vouches for a key only when it is read whole: one that the store refuses or cannot
// read (another account's, a link, over the store's 16 MiB bound) vouches for nothing. It keeps
// at most kMaxCachedHosts hosts: at 545 bytes for a 2048-bit RSA key that is about 5.5 MB, and
// about 10.6 MB with 4096-bit keys, both well under the store's bound. As a server may offer a
// key of up to 16384 bits (about 4 KB), the cache also keeps at most kMaxCachedBytes. A new host
// that would take the cache past either bound takes the place of the hosts that rank lowest by
// their use (see host_key_use.h), so the cache never fills for good; a changed key is never
// replaced unasked.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

inline constexpr size_t kMaxCachedHosts = 10000;
inline constexpr uint64_t kMaxCachedBytes = uint64_t{12} << 20;

inline constexpr int kHostKeySame = 0;
inline constexpr int kHostKeyNotCached = 1;
inline constexpr int kHostKeyChanged = 2;
inline constexpr int kHostKeyCacheUnusable = 3;

// kHostKeySame, kHostKeyNotCached, kHostKeyChanged (a different or unreadable key is cached) or
// kHostKeyCacheUnusable (the cache could not be read; reason tells why).
int host_key_cache_lookup(const char* host, int port, const char* key_type, const char* key_text,
                          std::string* reason = nullptr);
// False, with the reason, when the cache could not be read or written, or it is full and its
// hosts' use cannot be read; the cache is then left as it is. evicted gets the hosts that gave
// way, each as "<host> port <port> (last used <date>)", for the log.
bool host_key_cache_store(const char* host, int port, const char* key_type, const char* key_text,
                          std::string* reason = nullptr, std::vector<std::string>* evicted = nullptr);
