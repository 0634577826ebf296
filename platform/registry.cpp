#include "platform/registry.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <mutex>
#include <set>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/atomic_file.h"
#include "platform/event_log.h"
#include "platform/folders.h"
#include "platform/service_control_codes.h"
#include "platform/trusted_path.h"

namespace platform {

namespace {

constexpr const char* kValuesFile = ".values";

struct Value {
  char type;  // 'S' string, 'D' dword
  std::string text;
};
using ValueMap = std::map<std::string, Value, std::less<>>;

std::string EscapeField(std::string_view text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '\t': out += "\\t"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      default: out += c;
    }
  }
  return out;
}

std::string UnescapeField(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 == text.size()) {
      out += text[i];
      continue;
    }
    char next = text[++i];
    out += next == 't' ? '\t' : next == 'n' ? '\n' : next == 'r' ? '\r' : next;
  }
  return out;
}

ValueMap ParseValues(const std::string& content) {
  ValueMap values;
  size_t start = 0;
  while (start < content.size()) {
    size_t end = content.find('\n', start);
    if (end == std::string::npos) end = content.size();
    std::string_view line(content.data() + start, end - start);
    start = end + 1;
    if (line.size() < 3 || line[1] != ' ') continue;
    size_t tab = line.find('\t', 2);
    if (tab == std::string_view::npos) continue;
    values[UnescapeField(line.substr(2, tab - 2))] = Value{line[0], UnescapeField(line.substr(tab + 1))};
  }
  return values;
}

std::string FormatValues(const ValueMap& values) {
  std::string out;
  for (const auto& [name, value] : values)
    out += std::string(1, value.type) + ' ' + EscapeField(name) + '\t' + EscapeField(value.text) + '\n';
  return out;
}

// Serialises writers of one store across threads (in-process) and processes (flock).
class StoreLock {
 public:
  explicit StoreLock(const std::string& root) : guard_(Mutex()) {
    fd_ = open(JoinPath(root, ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY, 0600);
    if (fd_ >= 0) flock(fd_, LOCK_EX);
  }
  ~StoreLock() {
    if (fd_ >= 0) close(fd_);
  }
  StoreLock(const StoreLock&) = delete;
  StoreLock& operator=(const StoreLock&) = delete;

 private:
  static std::mutex& Mutex() {
    static std::mutex mutex;
    return mutex;
  }
  std::lock_guard<std::mutex> guard_;
  int fd_ = -1;
};

// Each refusal is logged once per process: the client reads its settings for every conversation.
// A reader that must tell a refused key from an empty one is handed the text as well.
void LogRefusal(const std::string& text, std::string* refusal = nullptr) {
  if (refusal) *refusal = text;
  static std::mutex mutex;
  static std::set<std::string> logged;
  std::lock_guard lock(mutex);
  if (logged.count(text) != 0 || logged.size() >= 256) return;
  logged.insert(text);
  ReportEvent(kMirvaleServiceName, EventType::Warning, text);
}

std::string DefaultRegistryRoot() { return JoinPath(JoinPath(CommonAppDataFolder(), "Oskavel"), "registry"); }

// Earlier versions kept the store in the data folder, which the operators' group may write.
std::string FormerRegistryRoot() { return JoinPath(DataFolder(), "registry"); }

// Moves a store left in the data folder to its own place once, so that no setting is lost; a
// store that an operator could have put there (not root's through and through) stays unread.
void MoveFormerStore() {
  if (GetEnv("MIRVALE_REGISTRY_ROOT") || geteuid() != 0) return;
  const std::string former = FormerRegistryRoot();
  const std::string root = DefaultRegistryRoot();
  struct stat info {};
  if (lstat(root.c_str(), &info) == 0 || lstat(former.c_str(), &info) != 0) return;
  if (auto reason = UntrustedTree(former)) {
    LogRefusal("The settings store " + former + " was not moved to " + root + ": " + *reason);
    return;
  }
  CreateFolderLevels(root.substr(0, root.rfind('/')), 0755);
  if (rename(former.c_str(), root.c_str()) != 0) {
    LogRefusal("The settings store " + former + " could not be moved to " + root + ": " + std::strerror(errno));
    return;
  }
  // Checked again where nobody else can touch it: it could have been swapped before the rename.
  if (auto reason = UntrustedTree(root)) {
    rename(root.c_str(), former.c_str());
    LogRefusal("The settings store " + former + " was not moved to " + root + ": " + *reason);
    return;
  }
  ReportEvent(kMirvaleServiceName, EventType::Information, "The settings store moved from " + former + " to " + root);
}

// The store's root when it exists (made when create is set) and only trusted accounts can change
// it and the folders leading to it.
std::optional<std::string> UsableRoot(bool create, std::string* refusal = nullptr) {
  static std::once_flag moved;
  std::call_once(moved, MoveFormerStore);
  std::string root = RegistryRoot();
  if (create) {
    CreateFolderLevels(root.substr(0, root.rfind('/')), 0755);
    mkdir(root.c_str(), 0700);
  }
  struct stat info {};
  if (lstat(root.c_str(), &info) != 0) return std::nullopt;
  if (auto reason = UntrustedPath(root)) {
    LogRefusal("The settings store " + root + " is not used: " + *reason, refusal);
    return std::nullopt;
  }
  return root;
}

// The escaped folder names of a key path's parts.
std::vector<std::string> KeyComponents(std::string_view path) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find('\\', start);
    if (end == std::string_view::npos) end = path.size();
    std::string_view part = path.substr(start, end - start);
    start = end + 1;
    if (!part.empty()) parts.push_back(EscapeNameComponent(part));
  }
  return parts;
}

// The key's folder under the root, each level a trusted folder of its own (never a link);
// missing levels are made when create is set.
std::optional<std::string> KeyFolder(const std::string& root, std::string_view path, bool create,
                                     std::string* refusal = nullptr) {
  std::string folder = root;
  for (const std::string& part : KeyComponents(path)) {
    folder = JoinPath(folder, part);
    if (create) mkdir(folder.c_str(), 0700);
    struct stat info {};
    if (lstat(folder.c_str(), &info) != 0) return std::nullopt;
    auto reason = S_ISDIR(info.st_mode) ? UntrustedEntry(info) : std::optional<std::string>("is not a folder");
    if (reason) {
      LogRefusal("The settings store key " + folder + " is not used: it " + *reason, refusal);
      return std::nullopt;
    }
  }
  return folder;
}

// nullopt when the file is there but refused; a missing file holds no values.
std::optional<ValueMap> LoadValues(const std::string& folder, std::string* refusal = nullptr) {
  const std::string path = JoinPath(folder, kValuesFile);
  std::string reason;
  auto content = ReadTrustedFile(path, kRegistryMaxValuesBytes, reason);
  if (!reason.empty()) {
    LogRefusal("The settings store file " + path + " is not used: " + reason, refusal);
    return std::nullopt;
  }
  return content ? ParseValues(*content) : ValueMap{};
}

std::vector<std::string> ListSubFolders(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code error;
  // Stepped with the error_code forms: a folder that turns unreadable midway ends the list.
  for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    std::error_code kind;
    if (it->symlink_status(kind).type() == std::filesystem::file_type::directory)
      names.push_back(UnescapeNameComponent(it->path().filename().string()));
  }
  std::sort(names.begin(), names.end());
  return names;
}

bool UpdateValues(std::string_view keyPath, const std::function<void(ValueMap&)>& change) {
  auto root = UsableRoot(true);
  if (!root) return false;
  StoreLock lock(*root);
  // The key may have been deleted since it was opened: it is made again, with the same checks.
  auto folder = KeyFolder(*root, keyPath, true);
  if (!folder) return false;
  // A refused file is left as it is: writing the one change would drop every other value in it.
  auto values = LoadValues(*folder);
  if (!values) return false;
  change(*values);
  return WriteFileAtomically(JoinPath(*folder, kValuesFile), FormatValues(*values), 0600);
}

}  // namespace

std::string RegistryRoot() {
  if (auto root = GetEnv("MIRVALE_REGISTRY_ROOT")) return *root;
  return DefaultRegistryRoot();
}

std::string EscapeNameComponent(std::string_view name) {
  static const char* hex = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : name) {
    bool plain = std::isalnum(c) || c == '-' || c == '_' || c == '.' || c == ' ' || c >= 0x80;
    if (plain && !(out.empty() && c == '.')) {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += hex[c >> 4];
      out += hex[c & 15];
    }
  }
  return out.empty() ? std::string("%") : out;
}

std::string UnescapeNameComponent(std::string_view name) {
  if (name == "%") return {};
  std::string out;
  for (size_t i = 0; i < name.size(); ++i) {
    if (name[i] == '%' && i + 2 < name.size() && std::isxdigit(static_cast<unsigned char>(name[i + 1])) &&
        std::isxdigit(static_cast<unsigned char>(name[i + 2]))) {
      out += static_cast<char>(std::stoi(std::string(name.substr(i + 1, 2)), nullptr, 16));
      i += 2;
    } else {
      out += name[i];
    }
  }
  return out;
}

std::optional<RegistryKey> RegistryKey::Open(std::string_view path, bool create) {
  auto root = UsableRoot(create);
  if (!root) return std::nullopt;
  std::optional<StoreLock> lock;
  if (create) lock.emplace(*root);
  auto folder = KeyFolder(*root, path, create);
  if (!folder) return std::nullopt;
  return RegistryKey(std::string(path), *folder);
}

std::optional<std::string> RegistryKey::GetString(std::string_view name) const {
  ValueMap values = LoadValues(folder_).value_or(ValueMap{});
  auto it = values.find(name);
  if (it == values.end() || it->second.type != 'S') return std::nullopt;
  return it->second.text;
}

std::optional<uint32_t> RegistryKey::GetDword(std::string_view name) const {
  ValueMap values = LoadValues(folder_).value_or(ValueMap{});
  auto it = values.find(name);
  if (it == values.end() || it->second.type != 'D') return std::nullopt;
  try {
    unsigned long long number = std::stoull(it->second.text);
    if (number > 0xFFFFFFFFull) return std::nullopt;
    return static_cast<uint32_t>(number);
  } catch (...) {
    return std::nullopt;
  }
}

bool RegistryKey::SetString(std::string_view name, std::string_view value) {
  return UpdateValues(path_, [&](ValueMap& values) { values[std::string(name)] = Value{'S', std::string(value)}; });
}

bool RegistryKey::SetDword(std::string_view name, uint32_t value) {
  return UpdateValues(path_, [&](ValueMap& values) { values[std::string(name)] = Value{'D', std::to_string(value)}; });
}

bool RegistryKey::DeleteValue(std::string_view name) {
  bool found = false;
  bool written = UpdateValues(path_, [&](ValueMap& values) {
    auto it = values.find(name);
    if (it != values.end()) {
      values.erase(it);
      found = true;
    }
  });
  return written && found;
}

bool RegistryKey::Change(const std::vector<std::string>& deleted,
                         const std::map<std::string, std::string, std::less<>>& strings) {
  return UpdateValues(path_, [&](ValueMap& values) {
    for (const std::string& name : deleted) values.erase(name);
    for (const auto& [name, text] : strings) values[name] = Value{'S', text};
  });
}

std::vector<std::string> RegistryKey::SubKeyNames() const { return ListSubFolders(folder_); }

std::vector<std::string> RegistryKey::ValueNames() const {
  std::vector<std::string> names;
  for (const auto& entry : LoadValues(folder_).value_or(ValueMap{})) names.push_back(entry.first);
  return names;
}

std::optional<std::map<std::string, std::string, std::less<>>> ReadRegistryStrings(std::string_view path,
                                                                                   std::string& refusal) {
  std::map<std::string, std::string, std::less<>> strings;
  auto root = UsableRoot(false, &refusal);
  if (!root) return refusal.empty() ? std::optional(strings) : std::nullopt;
  auto folder = KeyFolder(*root, path, false, &refusal);
  if (!folder) return refusal.empty() ? std::optional(strings) : std::nullopt;
  auto values = LoadValues(*folder, &refusal);
  if (!values) return std::nullopt;
  for (auto& [name, value] : *values)
    if (value.type == 'S') strings.emplace(name, std::move(value.text));
  return strings;
}

bool DeleteRegistryKey(std::string_view path) {
  auto root = UsableRoot(false);
  if (!root) return true;
  auto folder = KeyFolder(*root, path, false);
  if (!folder) {
    std::string naive = *root;
    for (const std::string& part : KeyComponents(path)) naive = JoinPath(naive, part);
    struct stat info {};
    return lstat(naive.c_str(), &info) != 0;
  }
  if (*folder == *root) return false;
  StoreLock lock(*root);
  std::error_code error;
  std::filesystem::remove_all(*folder, error);
  return !std::filesystem::exists(*folder, error) && !error;
}

}  // namespace platform
