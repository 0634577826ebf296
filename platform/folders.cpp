#include "platform/folders.h"

#include <charconv>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

std::optional<std::string> GetEnv(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr || *value == '\0') return std::nullopt;
  return std::string(value);
}

std::chrono::seconds ShortenedSeconds(const char* name, std::chrono::seconds longest) {
  auto text = GetEnv(name);
  long seconds = 0;
  if (!text) return longest;
  auto [end, error] = std::from_chars(text->data(), text->data() + text->size(), seconds);
  bool whole = error == std::errc() && end == text->data() + text->size();
  return whole && seconds > 0 && seconds < longest.count() ? std::chrono::seconds(seconds) : longest;
}

static std::string WithoutTrailingSlash(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

std::string ProgramFolder() {
  if (auto folder = GetEnv("MIRVALE_PROGRAM_FOLDER")) return WithoutTrailingSlash(*folder);
  char buffer[PATH_MAX];
  ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (length <= 0) return ".";
  std::string exe(buffer, static_cast<size_t>(length));
  auto slash = exe.rfind('/');
  return slash == 0 ? "/" : exe.substr(0, slash);
}

std::string CommonAppDataFolder() {
  return WithoutTrailingSlash(GetEnv("MIRVALE_COMMON_APPDATA").value_or("/var/lib"));
}

std::string DataFolder(bool create) {
  std::string folder = JoinPath(JoinPath(CommonAppDataFolder(), "Oskavel"), "Mirvale");
  if (create) CreateFolderLevels(folder);
  return folder;
}

std::string RunFolder() {
  return WithoutTrailingSlash(GetEnv("MIRVALE_RUN_DIR").value_or("/run/mirvale"));
}

bool CreateFolderLevels(const std::string& path, unsigned mode) {
  if (path.empty()) return false;
  for (size_t pos = 1; pos <= path.size(); ++pos) {
    if (pos != path.size() && path[pos] != '/') continue;
    std::string level = path.substr(0, pos);
    // Missing parents stay reachable: only the folder itself gets the narrower mode.
    if (mkdir(level.c_str(), pos == path.size() ? mode : 0755) != 0 && errno != EEXIST) return false;
  }
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::string JoinPath(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  if (folder.back() == '/') return folder + name;
  return folder + "/" + name;
}

}  // namespace platform
