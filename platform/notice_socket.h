#pragma once
// Stand-in for the desktop program's named pipe "\\.\pipe\OskavelMirvale": a Unix stream
// socket named OskavelMirvale in the data folder. The desktop program listens; the service
// connects without waiting, writes one message in one write and closes.
#include <string>
#include <string_view>

namespace platform {

// "<data folder>/OskavelMirvale".
std::string NoticeSocketPath();

// Sends one message. False, and nothing sent, when no listener is there or it is busy; that
// is not an error for the caller.
bool SendNotice(std::string_view message, const std::string& socketPath = NoticeSocketPath());

}  // namespace platform
