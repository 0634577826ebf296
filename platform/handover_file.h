#pragma once
// Files that accounts hand over to a root service through a folder they all may write, with the
// sticky bit: a name another account holds there can be neither replaced nor removed but by
// root. So each account hands over under names of its own, "<base>.<uid>", or, when another
// account holds that name, "<base>.<uid>.<16 hexadecimal digits>" nobody can foresee; no
// member can keep another's file from being handed over. "<base>" itself, the one name all
// accounts shared, is still taken, but blocks nobody.
#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <sys/types.h>

#include "platform/atomic_file.h"

namespace platform {

// A file handed over, and what its name stood for when it was put there.
struct HandedOverFile {
  std::string path;
  dev_t device = 0;
  ino_t inode = 0;
};

// Writes content whole (atomically, with the given mode and group) under this account's name in
// folder; nullopt, with errno, when no name could be written.
std::optional<HandedOverFile> HandOverFile(const std::string& folder, const std::string& base, std::string_view content,
                                           unsigned mode, FileGroup group);

// Removes a file handed over that the service has not taken (its name still names it).
void WithdrawHandedOverFile(const HandedOverFile& file);

// A name in the folder that a file may be handed over under.
struct WaitingFile {
  std::string name;
  std::optional<uid_t> account;  // the account the name says; nullopt for "<base>" itself
  uid_t owner = 0;               // of what stood at the name when the folder was looked at
  timespec changed{};            // its status change: when it was put there
};

// The names waiting in folder, oldest first; with only, those of that account and "<base>"
// when that account owns it. At most a few of one account's are listed (the oldest; the next
// look lists the rest), among a bounded number of names looked at, so that no account's
// names crowd out another's. Whatever stands at a name is listed (links and FIFOs too): the
// reader refuses what it must.
std::vector<WaitingFile> WaitingHandedOverFiles(const std::string& folder, const std::string& base,
                                                std::optional<uid_t> only = std::nullopt);

}  // namespace platform
