#include "desktop/shell/remove_at_exit.h"

#include <algorithm>
#include <cstdlib>
#include <mutex>
#include <vector>

#include <unistd.h>

namespace mirvale {
namespace {

struct Names {
  std::mutex lock;
  std::vector<std::string> paths;
};

// Never destroyed: exit() may run the handler after other statics are gone.
Names& Registered() {
  static Names* names = new Names;
  return *names;
}

void RemoveRegistered() {
  Names& names = Registered();
  std::lock_guard hold(names.lock);
  for (const std::string& path : names.paths) unlink(path.c_str());
  names.paths.clear();
}

}  // namespace

void RemoveAtExit(const std::string& path) {
  static const bool installed = std::atexit(RemoveRegistered) == 0;
  (void)installed;
  Names& names = Registered();
  std::lock_guard hold(names.lock);
  names.paths.push_back(path);
}

void ForgetAtExit(const std::string& path) {
  Names& names = Registered();
  std::lock_guard hold(names.lock);
  std::erase(names.paths, path);
}

}  // namespace mirvale
