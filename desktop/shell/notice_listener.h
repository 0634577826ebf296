#pragma once
// The desktop end of the service's "Update Database" notice: this copy's own Unix stream socket
// in the data folder (0660, in the folder's group, so the service reaches it), listened to for
// the life of the application object. A connection of any account but root and this one is
// closed unread at once; the others are served one after the other, each waited for briefly. A
// right notice calls onNotice on the listener's own thread (never the GUI thread), which
// reloads the store under its lock and reaches widgets only through queued signals.
#include <functional>
#include <string>
#include <string_view>
#include <thread>

#include "platform/unix_socket.h"

namespace mirvale {

class NoticeListener {
 public:
  // Room for the service's connection while another account's are being turned away.
  static constexpr int kBacklog = 64;

  // Listens at socketPath (a stale file of this account's there is removed: the name is this
  // copy's own).
  NoticeListener(std::string socketPath, std::function<void()> onNotice);
  // Serves listening, a socket that already listens at socketPath (none: Listening() is false).
  NoticeListener(platform::UniqueFd listening, std::string socketPath, std::function<void()> onNotice);
  ~NoticeListener();  // stops listening, waits for a notice being served, removes the socket
  NoticeListener(const NoticeListener&) = delete;
  NoticeListener& operator=(const NoticeListener&) = delete;

  bool Listening() const { return static_cast<bool>(listener_); }

  // The bytes begin with "Update Database" and its zero byte; what follows is ignored.
  static bool IsUpdateDatabaseNotice(std::string_view bytes);

 private:
  void Run();
  void Serve(int connection);

  const std::string socketPath_;
  const std::function<void()> onNotice_;
  platform::UniqueFd listener_;
  platform::UniqueFd wake_;  // eventfd: written once to end Run()
  std::thread thread_;
};

}  // namespace mirvale
