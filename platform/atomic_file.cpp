#include "platform/atomic_file.h"

#include <cerrno>
#include <cstdio>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/operator_group.h"

namespace platform {

bool WriteAll(int fd, std::string_view data) {
  while (!data.empty()) {
    ssize_t written = write(fd, data.data(), data.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data.remove_prefix(static_cast<size_t>(written));
  }
  return true;
}

void SetFileGroup(int fd, FileGroup group) {
  if (group != FileGroup::Operators) return;
  if (auto operators = OperatorGroupId()) (void)!fchown(fd, static_cast<uid_t>(-1), *operators);
}

std::optional<std::string> WriteTemporaryBeside(const std::string& path, std::string_view content, unsigned mode,
                                                FileGroup group, struct stat* written) {
  std::string temporary = path + ".tmp-XXXXXX";
  int fd = mkstemp(temporary.data());
  if (fd < 0) return std::nullopt;
  SetFileGroup(fd, group);
  bool ok = fchmod(fd, mode) == 0 && WriteAll(fd, content) && fsync(fd) == 0 && (!written || fstat(fd, written) == 0);
  int error = errno;
  if (close(fd) != 0 && ok) ok = false, error = errno;
  if (ok) return temporary;
  unlink(temporary.c_str());
  // The caller may tell why (a full disk).
  errno = error;
  return std::nullopt;
}

bool WriteFileAtomically(const std::string& path, std::string_view content, unsigned mode, FileGroup group) {
  const std::optional<std::string> temporary = WriteTemporaryBeside(path, content, mode, group);
  if (!temporary) return false;
  if (rename(temporary->c_str(), path.c_str()) == 0) return true;
  const int error = errno;
  unlink(temporary->c_str());
  errno = error;
  return false;
}

std::optional<std::string> ReadWholeFile(const std::string& path) {
  int fd = open(path.c_str(), O_RDONLY | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  std::string content;
  char buffer[65536];
  for (;;) {
    ssize_t got = read(fd, buffer, sizeof buffer);
    if (got < 0) {
      if (errno == EINTR) continue;
      close(fd);
      return std::nullopt;
    }
    if (got == 0) break;
    content.append(buffer, static_cast<size_t>(got));
  }
  close(fd);
  return content;
}

bool AppendToFile(const std::string& path, std::string_view text, unsigned mode) {
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_NOCTTY | O_CLOEXEC, mode);
  if (fd < 0) return false;
  bool ok = WriteAll(fd, text);
  return (close(fd) == 0) && ok;
}

bool FileExists(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0;
}

}  // namespace platform
