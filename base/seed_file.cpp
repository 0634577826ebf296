#include "base/seed_file.h"

#include <algorithm>
#include <string_view>

#include "base/client_registry_paths.h"
#include "platform/atomic_file.h"
#include "platform/folders.h"
#include "platform/registry.h"

namespace {

constexpr size_t kSeedPathCapacity = 530;
constexpr size_t kSeedChunk = 1024;
constexpr const char* kSeedFileName = "MIRSH.RND";

}  // namespace

std::string seed_file_path() {
  if (auto key = platform::RegistryKey::Open(kMirshRegistryPath)) {
    if (auto path = key->GetString("RandSeedFile"); path && !path->empty())
      return path->substr(0, kSeedPathCapacity - 1);
  }
  std::string folder = platform::GetEnv("HOME").value_or(platform::DataFolder());
  return platform::JoinPath(folder, kSeedFileName);
}

void random_seed_file_read(SeedChunkCallback callback) {
  auto content = platform::ReadWholeFile(seed_file_path());
  if (!content) return;
  std::string_view rest(*content);
  while (!rest.empty()) {
    size_t length = std::min(rest.size(), kSeedChunk);
    callback(rest.data(), static_cast<int>(length));
    rest.remove_prefix(length);
  }
}

void random_seed_file_write(const void* data, int length) {
  if (length < 0) return;
  platform::WriteFileAtomically(seed_file_path(),
                                std::string_view(static_cast<const char*>(data), static_cast<size_t>(length)), 0600);
}
