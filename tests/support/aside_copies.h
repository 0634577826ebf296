#pragma once
// The copies that unreadable stored files were moved aside to ("<name>.bad-<time>...").
#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace testing_support {

// In name order, which is the order they were made in.
inline std::vector<std::string> AsideCopies(const std::string& folder, const std::string& name) {
  std::vector<std::string> found;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    if (entry.path().filename().string().rfind(name + ".bad-", 0) == 0) found.push_back(entry.path().string());
  }
  std::sort(found.begin(), found.end());
  return found;
}

}  // namespace testing_support
