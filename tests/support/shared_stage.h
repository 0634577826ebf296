#pragma once
// The one place where tests put what another account or the booted test machine runs or reads:
// a checkout in root's 0700 home hides its source and build folders from the accounts tests
// make and from sshd's session children, and the booted machine mounts a fresh /tmp over one
// in /tmp. The stage is a folder of this test process under /var/tmp, every account may enter
// it (0755), and it goes with the process. Put only what the other account needs there.
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <mutex>
#include <stdexcept>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

namespace testing_support {

class SharedStage {
 public:
  // This process's stage, made on first use.
  static SharedStage& Get() {
    static SharedStage stage;
    return stage;
  }

  const std::string& Path() const { return path_; }

  // A new folder in the stage that every account may enter, named after name.
  std::string NewFolder(const std::string& name) {
    std::lock_guard<std::mutex> lock(mutex_);
    const std::string folder = path_ + "/" + name + "-" + std::to_string(++made_);
    std::filesystem::create_directory(folder);
    chmod(folder.c_str(), 0755);
    return folder;
  }

  // A copy of a file of the checkout that every account may read, made once per process;
  // a program stays one that they may run.
  std::string Copy(const std::string& file) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto [entry, added] = copies_.try_emplace(file);
    if (!added) return entry->second;
    const std::string folder = path_ + "/" + std::to_string(++made_);
    std::filesystem::create_directory(folder);
    chmod(folder.c_str(), 0755);
    entry->second = folder + "/" + std::filesystem::path(file).filename().string();
    std::filesystem::copy_file(file, entry->second);
    struct stat info {};
    stat(file.c_str(), &info);
    chmod(entry->second.c_str(), (info.st_mode & S_IXUSR) != 0 ? 0755 : 0644);
    return entry->second;
  }

 private:
  SharedStage() {
    std::string pattern = "/var/tmp/mirvale-stage-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr)
      throw std::runtime_error("cannot make a test stage in /var/tmp: " + std::string(std::strerror(errno)));
    path_ = pattern;
    chmod(path_.c_str(), 0755);
  }
  // A forked child that exits must not take the stage from its parent.
  ~SharedStage() {
    if (getpid() != owner_) return;
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }

  std::mutex mutex_;
  const pid_t owner_ = getpid();
  std::string path_;
  std::map<std::string, std::string> copies_;
  int made_ = 0;
};

}  // namespace testing_support
