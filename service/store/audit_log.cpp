#include "service/store/audit_log.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/atomic_file.h"
#include "platform/run_account.h"
#include "service/host/local_time_text.h"

namespace mirvale {

namespace {

// The retention pass streams the file: it holds one read buffer, one write buffer and the start
// of one line (a line's date comes first, and a start this long without a separator holds none).
constexpr size_t kReadPiece = 65536;
constexpr size_t kMaxLineStart = 1024;

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

// Walks the file line by line, deciding each line by its start alone, so that memory stays the
// same whatever the file's size. Nothing is written until a line is dropped; the replacement
// then gets what was kept before it (read again) and every kept line after it.
class RetentionPass {
 public:
  RetentionPass(const AuditLogSettings& settings, std::time_t now, std::string& reason)
      : settings_(settings), now_(now), reason_(reason) {}

  bool Run() {
    bool missing = false;
    platform::UniqueFd fd = platform::OpenForReadingAsRunAccount(settings_.file, missing, reason_);
    if (!fd) return missing;
    fd_ = fd.get();
    char buffer[kReadPiece];
    for (;;) {
      ssize_t got = read(fd_, buffer, sizeof buffer);
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) return Fail(std::strerror(errno));
      if (got == 0) break;
      if (!Take(std::string_view(buffer, static_cast<size_t>(got)))) return false;
    }
    if (!start_.empty() && !Decide()) return false;
    if (!replacement_) return true;
    return Flush() && replacement_->Commit();
  }

 private:
  enum class Line { Undecided, Kept, Dropped };

  bool Take(std::string_view piece) {
    while (!piece.empty()) {
      size_t end = piece.find('\n');
      std::string_view part = piece.substr(0, end == std::string_view::npos ? piece.size() : end + 1);
      piece.remove_prefix(part.size());
      if (line_ == Line::Undecided) {
        start_.append(part);
        bool whole = end != std::string_view::npos;
        bool dated = start_.find_first_of("\t,") != std::string::npos;
        if ((whole || dated || start_.size() >= kMaxLineStart) && !Decide()) return false;
      } else if (line_ == Line::Kept && !Keep(part)) {
        return false;
      }
      offset_ += part.size();
      if (end != std::string_view::npos) {
        line_ = Line::Undecided;
        lineStart_ = offset_;
      }
    }
    return true;
  }

  // Judges the line from its start, then passes that start on when the line is kept.
  bool Decide() {
    auto when = ParseLocalDateTime(DateField(start_));
    bool old = when && IsAuditRecordOld(static_cast<long long>(now_) - *when, settings_.keep, settings_.keepUnit);
    std::string start = std::move(start_);
    start_.clear();
    if (old) {
      line_ = Line::Dropped;
      // The first dropped line: the replacement begins with everything before it.
      return replacement_ || Begin(lineStart_);
    }
    line_ = Line::Kept;
    return Keep(start);
  }

  bool Begin(uint64_t keptBytes) {
    replacement_.emplace(settings_.file, 0640, reason_);
    if (!replacement_->ok()) return false;
    char buffer[kReadPiece];
    for (uint64_t at = 0; at < keptBytes;) {
      size_t want = static_cast<size_t>(std::min<uint64_t>(sizeof buffer, keptBytes - at));
      ssize_t got = pread(fd_, buffer, want, static_cast<off_t>(at));
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) return Fail(got < 0 ? std::strerror(errno) : "the file shrank while it was read");
      if (!replacement_->Write(std::string_view(buffer, static_cast<size_t>(got)))) return false;
      at += static_cast<uint64_t>(got);
    }
    return true;
  }

  bool Keep(std::string_view text) {
    if (!replacement_) return true;
    pending_.append(text);
    return pending_.size() < kReadPiece || Flush();
  }

  bool Flush() {
    bool ok = replacement_->Write(pending_);
    pending_.clear();
    return ok;
  }

  bool Fail(const std::string& why) {
    reason_ = why;
    return false;
  }

  const AuditLogSettings& settings_;
  std::time_t now_;
  std::string& reason_;
  int fd_ = -1;
  uint64_t offset_ = 0;     // bytes of the file taken so far
  uint64_t lineStart_ = 0;  // where the current line starts
  Line line_ = Line::Undecided;
  std::string start_;    // the current line's start while it is undecided
  std::string pending_;  // kept text waiting to be written
  std::optional<platform::RunAccountReplacement> replacement_;
};

bool ApplyRetention(const AuditLogSettings& settings, std::time_t now, std::string& reason) {
  return RetentionPass(settings, now, reason).Run();
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
