#include "service/audit_log.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/atomic_file.h"
#include "service/local_time_text.h"

namespace mirvale {

namespace {

bool WriteAll(int fd, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    ssize_t written = write(fd, text.data() + done, text.size() - done);
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<size_t>(written);
  }
  return true;
}

void AppendQueuedLines(AuditQueue& queue, const AuditLogSettings& settings) {
  std::vector<std::string> lines = queue.Snapshot();
  if (lines.empty()) return;
  std::string text;
  // Creating the file exclusively tells a new file from an existing one without a race; only
  // the flush that creates it writes the headers.
  int fd = open(settings.file.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_EXCL | O_CLOEXEC, 0640);
  if (fd >= 0) {
    platform::SetFileGroup(fd, platform::FileGroup::Operators);
    // Each header is put in front of the queue in turn, so with both forms the comma header
    // ends up first.
    if (settings.forms.commas) text += kAuditCommaHeader;
    if (settings.forms.tabs) text += kAuditTabHeader;
  } else if (errno == EEXIST) {
    fd = open(settings.file.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
  }
  if (fd < 0) return;
  for (const auto& line : lines) text += line;
  bool written = WriteAll(fd, text);
  written = close(fd) == 0 && written;
  if (written) queue.DropFront(lines.size());
}

std::string_view DateField(std::string_view line) {
  size_t end = line.find_first_of("\t,");
  return end == std::string_view::npos ? line : line.substr(0, end);
}

void ApplyRetention(const AuditLogSettings& settings, std::time_t now) {
  auto content = platform::ReadWholeFile(settings.file);
  if (!content) return;
  std::string kept;
  bool dropped = false;
  size_t start = 0;
  while (start < content->size()) {
    size_t end = content->find('\n', start);
    end = end == std::string::npos ? content->size() : end + 1;
    std::string_view line(content->data() + start, end - start);
    start = end;
    auto when = ParseLocalDateTime(DateField(line));
    if (when && IsAuditRecordOld(static_cast<long long>(now) - *when, settings.keep, settings.keepUnit)) {
      dropped = true;
      continue;
    }
    kept.append(line);
  }
  if (!dropped) return;
  struct stat info {};
  unsigned mode = stat(settings.file.c_str(), &info) == 0 ? (info.st_mode & 07777) : 0640;
  platform::WriteFileAtomically(settings.file, kept, mode, platform::FileGroup::Operators);
}

}  // namespace

bool IsAuditRecordOld(long long ageSeconds, uint32_t keep, uint32_t keepUnit) {
  long long limit = keep;
  switch (keepUnit) {
    case 0: return ageSeconds / 60 >= limit;
    case 1: return ageSeconds / 3600 >= limit;
    case 2: return ageSeconds / 3600 >= limit * 24;
    default: return false;
  }
}

void FlushAuditLog(AuditQueue& queue, const AuditLogSettings& settings, std::time_t now) {
  if (settings.file.empty()) return;
  AppendQueuedLines(queue, settings);
  if (settings.keep != 0) ApplyRetention(settings, now);
}

}  // namespace mirvale
