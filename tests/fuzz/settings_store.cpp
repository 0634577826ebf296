// Session settings, the host-key cache and its hosts' use as the store's value files hold them,
// which a user may edit: the same bytes stand for the default session, the cache and the use.
// Loading must give a session within its bounds, a lookup any answer, and a cache that could not
// be read takes no key, whatever the file says. The store is a folder of this process, removed at its end.
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include <unistd.h>

#include "base/client_registry_paths.h"
#include "platform/registry.h"
#include "remoteshell/core/host_key_cache.h"
#include "remoteshell/core/settings.h"

namespace {

namespace fs = std::filesystem;

// The value files of the three keys, made once.
std::vector<fs::path> ValueFiles() {
  static const std::vector<fs::path> files = [] {
    static const fs::path root = fs::temp_directory_path() / ("mirvale-fuzz-store-" + std::to_string(getpid()));
    fs::create_directories(root);
    setenv("MIRVALE_REGISTRY_ROOT", root.c_str(), 1);
    std::atexit([] {
      std::error_code ignored;
      fs::remove_all(root, ignored);
    });
    for (const std::string& path :
         {std::string(kSessionsRegistryPath) + "\\Default%20Settings", std::string(kHostKeysRegistryPath),
          std::string(kHostKeyUseRegistryPath)})
      platform::RegistryKey::Open(path, true)->SetString("made", "1");
    std::vector<fs::path> found;
    for (const auto& entry : fs::recursive_directory_iterator(root))
      if (entry.path().filename() == ".values") found.push_back(entry.path());
    if (found.size() != 3) __builtin_trap();
    return found;
  }();
  return files;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
  for (const fs::path& file : ValueFiles())
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  SessionConfig config{};
  settings_load_defaults("", &config);
  if (config.port < 1 || config.port > 65535 || config.terminal_width < 1) __builtin_trap();
  host_key_cache_lookup("device.example", 22, "rsa2", "0x23,0xc0ffee");
  host_key_cache_lookup("device.example", 22, "rsa", "0x23,0xc0ffee");
  // A cache that vouches for nothing takes nothing; a key it took, it vouches for.
  bool usable = host_key_cache_lookup("device.example", 22, "dss", "0x5,0x7,0x3,0x9") != kHostKeyCacheUnusable;
  bool stored = host_key_cache_store("device.example", 22, "ssh-ed25519", "0x1a2b");
  if (stored && !usable) __builtin_trap();
  if (stored && host_key_cache_lookup("device.example", 22, "ssh-ed25519", "0x1a2b") != kHostKeySame) __builtin_trap();
  return 0;
}
