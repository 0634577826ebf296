#include "platform/registry.h"

#include <algorithm>
#include <cctype>
#include <functional>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <mutex>
#include <sys/file.h>
#include <unistd.h>

#include "platform/atomic_file.h"
#include "platform/folders.h"

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
    CreateFolderLevels(root, 0700);
    fd_ = open(JoinPath(root, ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
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

std::optional<std::string> KeyFolder(std::string_view path) {
  std::string folder = RegistryRoot();
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find('\\', start);
    if (end == std::string_view::npos) end = path.size();
    std::string_view part = path.substr(start, end - start);
    if (!part.empty()) folder = JoinPath(folder, EscapeNameComponent(part));
    start = end + 1;
  }
  return folder;
}

ValueMap LoadValues(const std::string& folder) {
  auto content = ReadWholeFile(JoinPath(folder, kValuesFile));
  return content ? ParseValues(*content) : ValueMap{};
}

std::vector<std::string> ListSubFolders(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code error;
  // Stepped with the error_code forms: a folder that turns unreadable midway ends the list.
  for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    std::error_code kind;
    if (it->is_directory(kind)) names.push_back(UnescapeNameComponent(it->path().filename().string()));
  }
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace

std::string RegistryRoot() {
  if (auto root = GetEnv("MIRVALE_REGISTRY_ROOT")) return *root;
  return JoinPath(DataFolder(), "registry");
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
  auto folder = KeyFolder(path);
  if (!folder) return std::nullopt;
  if (create) {
    StoreLock lock(RegistryRoot());
    if (!CreateFolderLevels(*folder, 0700)) return std::nullopt;
  } else {
    // A store the caller may not read is as absent: no exception for a non-root caller.
    std::error_code error;
    if (!std::filesystem::is_directory(*folder, error)) return std::nullopt;
  }
  return RegistryKey(std::string(path), *folder);
}

std::optional<std::string> RegistryKey::GetString(std::string_view name) const {
  ValueMap values = LoadValues(folder_);
  auto it = values.find(name);
  if (it == values.end() || it->second.type != 'S') return std::nullopt;
  return it->second.text;
}

std::optional<uint32_t> RegistryKey::GetDword(std::string_view name) const {
  ValueMap values = LoadValues(folder_);
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

static bool UpdateValues(const std::string& folder, const std::function<void(ValueMap&)>& change) {
  StoreLock lock(RegistryRoot());
  if (!CreateFolderLevels(folder, 0700)) return false;
  ValueMap values = LoadValues(folder);
  change(values);
  return WriteFileAtomically(JoinPath(folder, kValuesFile), FormatValues(values), 0600);
}

bool RegistryKey::SetString(std::string_view name, std::string_view value) {
  return UpdateValues(folder_, [&](ValueMap& values) { values[std::string(name)] = Value{'S', std::string(value)}; });
}

bool RegistryKey::SetDword(std::string_view name, uint32_t value) {
  return UpdateValues(folder_, [&](ValueMap& values) { values[std::string(name)] = Value{'D', std::to_string(value)}; });
}

bool RegistryKey::DeleteValue(std::string_view name) {
  bool found = false;
  bool written = UpdateValues(folder_, [&](ValueMap& values) {
    auto it = values.find(name);
    if (it != values.end()) {
      values.erase(it);
      found = true;
    }
  });
  return written && found;
}

std::vector<std::string> RegistryKey::SubKeyNames() const { return ListSubFolders(folder_); }

std::vector<std::string> RegistryKey::ValueNames() const {
  std::vector<std::string> names;
  for (const auto& entry : LoadValues(folder_)) names.push_back(entry.first);
  return names;
}

bool DeleteRegistryKey(std::string_view path) {
  auto folder = KeyFolder(path);
  if (!folder || *folder == RegistryRoot()) return false;
  StoreLock lock(RegistryRoot());
  std::error_code error;
  std::filesystem::remove_all(*folder, error);
  return !std::filesystem::exists(*folder, error) && !error;
}

}  // namespace platform
