#include "service/scanning/snmp_boot_counter.h"

#include <charconv>
#include <sstream>
#include <vector>

#include "platform/atomic_file.h"

namespace mirvale {

namespace snmp_boot_counter {
namespace {

struct Entry {
  std::string engine;
  uint32_t count = 0;
};

// nullopt when the file exists but is unreadable or malformed; empty when it does not exist.
std::optional<std::vector<Entry>> ReadEntries(const std::string& path) {
  if (!platform::FileExists(path)) return std::vector<Entry>{};
  auto content = platform::ReadWholeFile(path);
  if (!content) return std::nullopt;
  std::vector<Entry> entries;
  std::istringstream lines(*content);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.empty()) continue;
    size_t blank = line.rfind(' ');
    if (blank == std::string::npos || blank == 0) return std::nullopt;
    Entry entry{line.substr(0, blank), 0};
    const char* first = line.data() + blank + 1;
    const char* last = line.data() + line.size();
    auto [end, error] = std::from_chars(first, last, entry.count);
    if (error != std::errc() || end != last || first == last) return std::nullopt;
    entries.push_back(std::move(entry));
  }
  return entries;
}

}  // namespace

std::optional<uint32_t> Read(const std::string& path, const std::string& engine) {
  auto entries = ReadEntries(path);
  if (!entries) return std::nullopt;
  for (const auto& entry : *entries)
    if (entry.engine == engine) return entry.count;
  return 0u;
}

bool Save(const std::string& path, const std::string& engine, uint32_t count) {
  auto entries = ReadEntries(path);
  if (!entries) entries.emplace();
  bool found = false;
  for (auto& entry : *entries) {
    if (entry.engine == engine) {
      entry.count = count;
      found = true;
    }
  }
  if (!found) entries->push_back({engine, count});
  std::string content;
  for (const auto& entry : *entries) content += entry.engine + " " + std::to_string(entry.count) + "\n";
  return platform::WriteFileAtomically(path, content, 0600);
}

std::optional<uint32_t> Advance(const std::string& path, const std::string& engine) {
  auto count = Read(path, engine);
  if (!count) return std::nullopt;
  uint32_t next = *count + 1;
  if (!Save(path, engine, next)) return std::nullopt;
  return next;
}

}  // namespace snmp_boot_counter

}  // namespace mirvale
