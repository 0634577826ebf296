#include "base/seed_file.h"

#include <algorithm>
#include <string_view>

#include "base/client_notices.h"
#include "base/client_registry_paths.h"
#include "platform/atomic_file.h"
#include "platform/event_log.h"
#include "platform/folders.h"
#include "platform/registry.h"
#include "platform/trusted_path.h"

namespace {

constexpr size_t kSeedPathCapacity = 530;
constexpr size_t kSeedChunk = 1024;
constexpr const char* kSeedFileName = "MIRSH.RND";
// The client writes a few hundred bytes; anything much larger is not its file.
constexpr uint64_t kMaxSeedBytes = 65536;

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
  // Without a home folder the file lies in the data folder, which operators may write: only a
  // file of root's (or of this account) seeds the pool.
  const std::string path = seed_file_path();
  std::string refusal;
  auto content = platform::ReadTrustedFile(path, kMaxSeedBytes, refusal);
  if (!refusal.empty())
    platform::ReportEvent(kRemoteShellEventSource, platform::EventType::Warning,
                          "The random seed file " + path + " is not used: " + refusal);
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
