#pragma once
// What the device scan and the set and restore requests ask of the shell, in one call each,
// for a pool's shell settings.
#include <string>
#include <vector>

#include "common/pool_records.h"
#include "service/shell_session/shell_session_collect.h"

namespace mirvale {

// A device's configuration lines in their stored form (backspaces applied, trailing blanks
// cut), with the logon outcome and whether the output was cut short. Lines only when complete.
struct StoredShellLines {
  bool logonFailed = true;
  bool complete = false;
  bool cutShort = false;
  std::vector<std::string> lines;
  ShellCut cut = ShellCut::None;  // what cut the collection short
};
// The status of a device whose configuration was not read whole (a login that never completed
// is a logon failure, a conversation that ended after it before the prompt came back no
// response); nullptr when the lines are a whole configuration.
const char* ShellFailureStatus(const StoredShellLines& stored);

StoredShellLines CollectStoredShellLines(ShellConversations& conversations, const std::string& address,
                                         const CPoolItem& pool);
// The same with the pool's shell settings derived once by the caller; scanStop, when given, ends
// the collection at its next read.
StoredShellLines CollectStoredShellLines(ShellConversations& conversations, const std::string& address,
                                         const ShellSettings& settings, const ManualEvent* scanStop = nullptr);

// One set or restore request: up to the pool's retries conversations of open, log in and
// SendShellRequest, until a sent line brought an answer; true when it was answered and no
// answer held an error line. The texts the device rejected, when given, receive those of the last
// conversation.
bool SendShellRequestToDevice(ShellConversations& conversations, const std::string& address, const CPoolItem& pool,
                              const std::string& command, const std::string& value,
                              std::vector<std::string>* rejected = nullptr);

}  // namespace mirvale
