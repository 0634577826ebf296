#include "service/store/audit_log.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/atomic_file.h"
#include "platform/run_account.h"
#include "service/host/local_time_text.h"

namespace mirvale {

namespace {

// The retention pass reads the whole file; a larger one is left alone.
constexpr uint64_t kMaxAuditFileBytes = uint64_t{1} << 30;

// Appends the queued lines in one write; a write that fails part way (a full disk) is cut back
// to the last whole line already there, and the lines stay queued for the next flush.
bool AppendQueuedLines(AuditQueue& queue, const AuditLogSettings& settings, std::string& reason) {
  std::vector<std::string> lines = queue.Snapshot();
  if (lines.empty()) return true;
  bool created = false;
  platform::UniqueFd fd = platform::OpenForAppendAsRunAccount(settings.file, 0640, created, reason);
  if (!fd) return false;
  struct stat before {};
  fstat(fd.get(), &before);
  // A file that a failed first flush left empty still gets its headers.
  created = created || before.st_size == 0;
  std::string text;
  // Each header is put in front of the queue in turn, so with both forms the comma header
  // ends up first.
  if (created && settings.forms.commas) text += kAuditCommaHeader;
  if (created && settings.forms.tabs) text += kAuditTabHeader;
  for (const auto& line : lines) text += line;
  if (!platform::WriteAll(fd.get(), text) || fsync(fd.get()) != 0) {
    reason = std::strerror(errno);
    if (ftruncate(fd.get(), before.st_size) != 0) reason += "; the last line may be torn";
    return false;
  }
  queue.DropFront(lines.size());
  return true;
}

std::string_view DateField(std::string_view line) {
  size_t end = line.find_first_of("\t,");
  return end == std::string_view::npos ? line : line.substr(0, end);
}

bool ApplyRetention(const AuditLogSettings& settings, std::time_t now, std::string& reason) {
  bool missing = false;
  auto content = platform::ReadAsRunAccount(settings.file, kMaxAuditFileBytes, missing, reason);
  if (!content) return missing;
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
  if (!dropped) return true;
  return platform::ReplaceAsRunAccount(settings.file, kept, 0640, reason);
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

bool FlushAuditLog(AuditQueue& queue, const AuditLogSettings& settings, std::time_t now, std::string& reason) {
  if (settings.file.empty()) return true;
  if (!AppendQueuedLines(queue, settings, reason)) return false;
  return settings.keep == 0 || ApplyRetention(settings, now, reason);
}

}  // namespace mirvale
