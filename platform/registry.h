#pragma once
// A small file-backed stand-in for the registry: a tree of keys, each holding named string and
// 32-bit number values. Key paths use backslashes ("Software\Hollerin\Mirsh\Sessions").
// Each key is a folder under the root (MIRVALE_REGISTRY_ROOT, else "Oskavel/registry" in the
// common application-data folder, beside the data folder and not in it); its values live in one
// file, rewritten atomically with mode 0600, so several threads and processes may share the
// store. A value of the wrong type reads as missing.
// The service takes its own configuration from the store, so only root may change it: a root,
// key folder or file that another account owns or may write, or a link, is refused (logged, and
// read as missing). A store that an earlier version left in the data folder is moved once to
// the root when it is root's through and through.
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// A key's values file larger than this is refused. Far more than any key holds (the host-key
// cache is the largest).
inline constexpr uint64_t kRegistryMaxValuesBytes = uint64_t{16} << 20;

// The store's root folder (see above).
std::string RegistryRoot();

class RegistryKey {
 public:
  // Opens a key; with create, missing keys on the path are made. nullopt when absent or invalid.
  static std::optional<RegistryKey> Open(std::string_view path, bool create = false);

  std::optional<std::string> GetString(std::string_view name) const;
  std::optional<uint32_t> GetDword(std::string_view name) const;
  bool SetString(std::string_view name, std::string_view value);
  bool SetDword(std::string_view name, uint32_t value);
  bool DeleteValue(std::string_view name);
  // Deletes the named values and sets the strings, in one rewrite of the key's file.
  bool Change(const std::vector<std::string>& deleted, const std::map<std::string, std::string, std::less<>>& strings);

  std::vector<std::string> SubKeyNames() const;  // sorted
  std::vector<std::string> ValueNames() const;   // sorted

  const std::string& Path() const { return path_; }

 private:
  explicit RegistryKey(std::string path, std::string folder)
      : path_(std::move(path)), folder_(std::move(folder)) {}
  std::string path_;
  std::string folder_;
};

// A key's string values read whole, for a reader that must tell a key without values (an empty
// map, as for a missing key or store) from one that was refused or could not be read (nullopt,
// refusal says why; it is logged as well).
std::optional<std::map<std::string, std::string, std::less<>>> ReadRegistryStrings(std::string_view path,
                                                                                   std::string& refusal);

// Removes a key with all its subkeys and values; true when it no longer exists.
bool DeleteRegistryKey(std::string_view path);

// Escapes a key or file name so it is one safe path component (used for key names and for
// names that become file names elsewhere).
std::string EscapeNameComponent(std::string_view name);
std::string UnescapeNameComponent(std::string_view name);

}  // namespace platform
