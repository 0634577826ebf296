#include "platform/handover_file.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <map>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/folders.h"
#include "platform/unforeseeable_name.h"

namespace platform {
namespace {

// Names tried when another account holds this account's own.
constexpr int kUnforeseeableNamesTried = 4;
// A name costs one entry read and, in the hand-over form, one fstatat: a member would need a
// million names in the folder before another account's file went unseen.
constexpr size_t kMostNamesLookedAt = size_t{1} << 20;
// An account's desktop leaves one file; a few more are the fallbacks of saves whose name was
// taken. Each costs the service a read of up to the file's bound.
constexpr size_t kMostFilesOfAnAccount = 4;
constexpr size_t kSuffixDigits = 16;

bool AllDigits(std::string_view text) {
  return !text.empty() && text.size() <= 10 &&
         std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool AllHexDigits(std::string_view text) {
  return text.size() == kSuffixDigits &&
         std::all_of(text.begin(), text.end(), [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

// What a name in the folder says.
struct NameForm {
  bool handOver = false;         // a hand-over name of base (not an aside copy, not a temporary file)
  std::optional<uid_t> account;  // the account "<base>.<uid>" and "<base>.<uid>.<suffix>" say
};

NameForm FormOf(std::string_view name, std::string_view base) {
  NameForm form;
  if (name.substr(0, base.size()) != base) return form;
  std::string_view rest = name.substr(base.size());
  if (rest.empty()) {
    form.handOver = true;
    return form;
  }
  if (rest.front() != '.') return form;
  rest.remove_prefix(1);
  const size_t dot = rest.find('.');
  const std::string_view number = rest.substr(0, dot);
  if (!AllDigits(number) || (dot != std::string_view::npos && !AllHexDigits(rest.substr(dot + 1)))) return form;
  const unsigned long long uid = std::stoull(std::string(number));
  if (uid >= static_cast<uid_t>(-1)) return form;
  form.handOver = true;
  form.account = static_cast<uid_t>(uid);
  return form;
}

bool Older(const WaitingFile& a, const WaitingFile& b) {
  if (a.changed.tv_sec != b.changed.tv_sec) return a.changed.tv_sec < b.changed.tv_sec;
  if (a.changed.tv_nsec != b.changed.tv_nsec) return a.changed.tv_nsec < b.changed.tv_nsec;
  return a.name < b.name;
}

}  // namespace

std::optional<HandedOverFile> HandOverFile(const std::string& folder, const std::string& base, std::string_view content,
                                           unsigned mode, FileGroup group) {
  const std::string own = JoinPath(folder, base) + "." + std::to_string(geteuid());
  struct stat written {};
  const std::optional<std::string> temporary = WriteTemporaryBeside(own, content, mode, group, &written);
  if (!temporary) return std::nullopt;
  HandedOverFile file{own, written.st_dev, written.st_ino};
  // Replacing the account's own file (one its last save left) is what a save does.
  if (rename(temporary->c_str(), own.c_str()) == 0) return file;
  for (int tried = 0; tried < kUnforeseeableNamesTried; ++tried) {
    const std::optional<std::string> suffix = UnforeseeableSuffix();
    if (!suffix) break;
    file.path = own + "." + *suffix;
    if (renameat2(AT_FDCWD, temporary->c_str(), AT_FDCWD, file.path.c_str(), RENAME_NOREPLACE) == 0) return file;
  }
  const int error = errno;
  unlink(temporary->c_str());
  errno = error;
  return std::nullopt;
}

void WithdrawHandedOverFile(const HandedOverFile& file) {
  struct stat now {};
  if (lstat(file.path.c_str(), &now) == 0 && now.st_dev == file.device && now.st_ino == file.inode)
    unlink(file.path.c_str());
}

std::vector<WaitingFile> WaitingHandedOverFiles(const std::string& folder, const std::string& base,
                                                std::optional<uid_t> only) {
  std::vector<WaitingFile> waiting;
  DIR* listing = opendir(folder.c_str());
  if (!listing) return waiting;
  std::map<uid_t, std::vector<WaitingFile>> ofAccount;
  for (size_t looked = 0; looked < kMostNamesLookedAt; ++looked) {
    const dirent* entry = readdir(listing);
    if (!entry) break;
    const NameForm form = FormOf(entry->d_name, base);
    if (!form.handOver || (only && form.account && *form.account != *only)) continue;
    struct stat found {};
    if (fstatat(dirfd(listing), entry->d_name, &found, AT_SYMLINK_NOFOLLOW) != 0) continue;
    if (only && !form.account && found.st_uid != *only) continue;
    WaitingFile file{entry->d_name, form.account, found.st_uid, found.st_ctim};
    // The shared name counts as its owner's, so that it too waits its turn.
    auto& files = ofAccount[file.account.value_or(file.owner)];
    files.push_back(std::move(file));
    // Only the oldest few of an account's are kept.
    std::sort(files.begin(), files.end(), Older);
    if (files.size() > kMostFilesOfAnAccount) files.pop_back();
  }
  closedir(listing);
  for (auto& [account, files] : ofAccount)
    for (auto& file : files) waiting.push_back(std::move(file));
  std::sort(waiting.begin(), waiting.end(), Older);
  return waiting;
}

}  // namespace platform
