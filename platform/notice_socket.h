#pragma once
// Stand-in for the desktop program's named pipe "\\.\pipe\OskavelMirvale": Unix stream sockets
// in the data folder. Each running desktop program listens on one of its own,
// "OskavelMirvale.<uid>.<pid>" (or that with a random suffix when the name is taken); an old-style
// listener uses "OskavelMirvale" itself. The service connects to each without waiting on it (a
// full backlog is tried again briefly), writes one message in one write and closes. The folder is shared by every member of the operators' group,
// so a name there is never followed: only a socket standing at the name itself is talked to, and
// under an account's number only that account's sockets.
#include <functional>
#include <string>
#include <string_view>

#include <sys/types.h>

#include "platform/unix_socket.h"

namespace platform {

// "<data folder>/OskavelMirvale".
std::string NoticeSocketPath();

enum class NoticeDelivery {
  Sent,
  Absent,      // nothing at the name, or no connection could be made
  Busy,        // the listener's backlog or buffer is full: not waited for
  Removed,     // a socket nobody listens on: it was removed
  NotASocket,  // a link, a folder, a file...: never followed nor touched
};

// Sends one message (an empty one only connects) to the socket named name in the folder open
// as folderFd. A socket whose connect is refused is stale and is removed.
NoticeDelivery DeliverNoticeAt(int folderFd, const std::string& name, std::string_view message);

// The same for a full path: its last component is never followed.
NoticeDelivery DeliverNotice(const std::string& socketPath, std::string_view message);

// Sends one message. False, and nothing sent, when no listener is there or it is busy; that
// is not an error for the caller.
bool SendNotice(std::string_view message, const std::string& socketPath = NoticeSocketPath());

// The name every notice socket begins with.
inline constexpr std::string_view kNoticeSocketName = "OskavelMirvale";

// Listens on a socket of this process's own in folder: "OskavelMirvale.<uid>.<pid>", or, when
// that name is taken (any member may make names there), the same with a random suffix. path is
// set to the name listened on (or, on failure, the last one tried).
UniqueFd ListenOwnNoticeSocket(const std::string& folder, unsigned mode, int backlog, std::string& path);

// Sends message to every notice socket in folder: "OskavelMirvale", and each
// "OskavelMirvale.<uid>" or "OskavelMirvale.<uid>.*" that is a socket of the account uid, a
// bounded number of each account's, so that no account's names crowd out another's. A listener
// whose backlog is full is tried again for up to a second (all of them together). Stale ones
// are removed; skipped is told the path of each name that is not a socket. The number of
// sockets the message reached.
size_t NotifyEveryNoticeSocket(const std::string& folder, std::string_view message,
                               const std::function<void(const std::string&)>& skipped = {});

// Removes this account's own sockets in folder that nobody listens on any more (left by a copy
// that was killed).
void RemoveOwnStaleNoticeSockets(const std::string& folder, uid_t owner);

}  // namespace platform
