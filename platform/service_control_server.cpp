#include "platform/service_control_server.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <exception>
#include <optional>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/event_log.h"
#include "platform/operator_group.h"
#include "platform/service_control_codes.h"
#include "platform/trusted_path.h"

namespace platform {

namespace {

using Clock = std::chrono::steady_clock;

// A client that connects but never sends its code is dropped after this long.
constexpr auto kCodeWait = std::chrono::seconds(5);
// Clients whose codes are still awaited; beyond them the one waiting longest is dropped.
constexpr size_t kMaxWaitingClients = 64;
// A folder found at the socket's name is emptied this far; what is beyond stays, set aside.
constexpr int kMaxRemovedEntries = 10000;
constexpr int kMaxRemovedDepth = 16;

// A client whose code is being read.
struct WaitingClient {
  UniqueFd fd;
  unsigned char code[4] = {};
  size_t got = 0;
  Clock::time_point deadline;
};

ControlCaller CallerOf(int client) {
  ControlCaller caller;
  ucred credentials{};
  socklen_t length = sizeof credentials;
  if (getsockopt(client, SOL_SOCKET, SO_PEERCRED, &credentials, &length) == 0 && length == sizeof credentials)
    caller = {credentials.pid, credentials.uid, credentials.gid};
  return caller;
}

// False when the client is done with: closed, failed, or its code complete.
bool ReadMore(WaitingClient& waiting) {
  for (;;) {
    ssize_t got = recv(waiting.fd.get(), waiting.code + waiting.got, sizeof waiting.code - waiting.got, 0);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return true;
    if (got <= 0) return false;
    waiting.got += static_cast<size_t>(got);
    return waiting.got < sizeof waiting.code;
  }
}

// Removes what is in the open folder, never following a link; false when something stays
// (more than entries allow, or nested deeper than depth).
bool EmptyFolder(int folder, int depth, int& entries) {
  UniqueFd copy(dup(folder));
  std::unique_ptr<DIR, int (*)(DIR*)> listing(copy ? fdopendir(copy.get()) : nullptr, closedir);
  if (!listing) return false;
  copy.Release();  // the listing closes it
  bool emptied = true;
  while (dirent* entry = readdir(listing.get())) {
    const std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    if (--entries < 0) return false;
    if (unlinkat(folder, name.c_str(), 0) == 0) continue;
    UniqueFd inner(openat(folder, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!inner || depth == 0 || !EmptyFolder(inner.get(), depth - 1, entries) ||
        unlinkat(folder, name.c_str(), AT_REMOVEDIR) != 0)
      emptied = false;
  }
  return emptied;
}

// Takes whatever stands at path away. A folder is first renamed aside, in one step, so that the
// name is free at once whatever its content; then what it holds is removed as far as bounds allow.
bool RemoveEntry(const std::string& path) {
  if (unlink(path.c_str()) == 0 || errno == ENOENT) return true;
  if (errno != EISDIR) return false;
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string aside = path + ".removed-" + std::to_string(getpid()) + "-" + std::to_string(attempt);
    // RENAME_NOREPLACE: an empty folder a member made at the aside name is not taken for ours.
    if (renameat2(AT_FDCWD, path.c_str(), AT_FDCWD, aside.c_str(), RENAME_NOREPLACE) != 0) {
      if (errno == EEXIST) continue;
      return false;
    }
    UniqueFd moved(open(aside.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    int entries = kMaxRemovedEntries;
    if (moved && EmptyFolder(moved.get(), kMaxRemovedDepth, entries)) rmdir(aside.c_str());
    return true;
  }
  return false;
}

}  // namespace

std::unique_ptr<ControlSocketServer> ControlSocketServer::Listen(const std::string& path, Handler handler) {
  // In a folder others may write, what stands at the socket's name could come back after it is
  // removed, and the socket itself could be renamed away.
  struct stat folder {};
  const size_t slash = path.rfind('/');
  const std::string folderPath = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
  std::optional<std::string> unsafe;
  if (lstat(folderPath.c_str(), &folder) != 0 || !S_ISDIR(folder.st_mode))
    unsafe = "is not a folder";
  else
    unsafe = UntrustedEntry(folder);
  if (unsafe) {
    ReportEvent(kMirvaleServiceName, EventType::Error,
                "Couldn't listen at " + path + ": " + folderPath + " " + *unsafe);
    return nullptr;
  }
  // What another account left at the socket's name is not a running service of ours and is
  // never talked to. A socket that answers is a running service only when its listener is
  // trusted too.
  struct stat found {};
  if (lstat(path.c_str(), &found) == 0) {
    uid_t owner = found.st_uid;
    if (IsTrustedOwner(owner) && S_ISSOCK(found.st_mode)) {
      if (UniqueFd other = ConnectUnixStream(path, /*nonBlocking=*/true)) {
        auto listener = PeerAccount(other.get());
        if (listener && IsTrustedOwner(*listener)) return nullptr;
        owner = listener.value_or(owner);
      }
    }
    if (!IsTrustedOwner(owner))
      ReportEvent(kMirvaleServiceName, EventType::Warning,
                  "Removed " + path + ", which belonged to uid " + std::to_string(owner));
    if (!RemoveEntry(path)) {
      ReportEvent(kMirvaleServiceName, EventType::Error, "Couldn't remove " + path + ": " + std::strerror(errno));
      return nullptr;
    }
  }
  // Only the service's operators may connect; the handler decides what each of them may ask.
  UniqueFd listener = ListenUnixStream(path, 0660, 16);
  if (!listener) return nullptr;
  ShareWithOperators(path, 0660);
  int pipeFds[2];
  if (pipe2(pipeFds, O_CLOEXEC) != 0) {
    unlink(path.c_str());
    return nullptr;
  }
  return std::unique_ptr<ControlSocketServer>(new ControlSocketServer(path, std::move(listener), UniqueFd(pipeFds[0]),
                                                                      UniqueFd(pipeFds[1]), std::move(handler)));
}

ControlSocketServer::ControlSocketServer(std::string path, UniqueFd listener, UniqueFd wakeRead, UniqueFd wakeWrite,
                                         Handler handler)
    : path_(std::move(path)),
      listener_(std::move(listener)),
      wakeRead_(std::move(wakeRead)),
      wakeWrite_(std::move(wakeWrite)),
      handler_(std::move(handler)) {
  handlerThread_ = std::thread([this] { Handle(); });
  thread_ = std::thread([this] { Serve(); });
}

ControlSocketServer::~ControlSocketServer() {
  char wake = 1;
  while (write(wakeWrite_.get(), &wake, 1) < 0 && errno == EINTR) {
  }
  if (thread_.joinable()) thread_.join();
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  queued_.notify_all();
  if (handlerThread_.joinable()) handlerThread_.join();
  unlink(path_.c_str());
}

void ControlSocketServer::Serve() {
  std::vector<WaitingClient> waiting;
  for (;;) {
    std::vector<pollfd> polled = {{listener_.get(), POLLIN, 0}, {wakeRead_.get(), POLLIN, 0}};
    auto now = Clock::now();
    auto due = now + kCodeWait;
    for (const auto& client : waiting) {
      polled.push_back({client.fd.get(), POLLIN, 0});
      due = std::min(due, client.deadline);
    }
    auto waitMs = std::chrono::duration_cast<std::chrono::milliseconds>(due - now).count() + 1;
    int ready = poll(polled.data(), polled.size(), static_cast<int>(std::max<long long>(waitMs, 0)));
    if (ready < 0 && errno != EINTR) return;
    if (polled[1].revents != 0) return;
    now = Clock::now();
    // Clients first, so that the slots of those done are free for the new ones.
    std::vector<WaitingClient> still;
    for (size_t i = 0; i < waiting.size(); ++i) {
      WaitingClient& client = waiting[i];
      bool open = ready <= 0 || polled[i + 2].revents == 0 || ReadMore(client);
      if (client.got == sizeof client.code)
        Queue(std::move(client.fd), DecodeLittleEndian32(client.code));
      else if (open && now < client.deadline)
        still.push_back(std::move(client));
    }
    waiting = std::move(still);
    if (ready > 0 && (polled[0].revents & POLLIN) != 0) {
      UniqueFd client(accept4(listener_.get(), nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK));
      if (!client) continue;
      if (waiting.size() >= kMaxWaitingClients) waiting.erase(waiting.begin());
      waiting.push_back(WaitingClient{std::move(client), {}, 0, now + kCodeWait});
    }
  }
}

void ControlSocketServer::Queue(UniqueFd client, uint32_t code) {
  // The answer is written when the handler returns: blocking, the 4 bytes always fit.
  fcntl(client.get(), F_SETFL, fcntl(client.get(), F_GETFL) & ~O_NONBLOCK);
  ControlCaller caller = CallerOf(client.get());
  {
    std::lock_guard lock(mutex_);
    requests_.push_back(Request{std::move(client), code, caller});
  }
  queued_.notify_one();
}

void ControlSocketServer::Handle() {
  for (;;) {
    Request request;
    {
      std::unique_lock lock(mutex_);
      queued_.wait(lock, [this] { return stopping_ || !requests_.empty(); });
      if (stopping_) return;
      request = std::move(requests_.front());
      requests_.pop_front();
    }
    // A request that fails with an exception is answered as failed; the service goes on.
    uint32_t status = kControlFailed;
    try {
      status = handler_(request.code, request.caller);
    } catch (const std::exception&) {
    }
    unsigned char answer[4];
    EncodeLittleEndian32(status, answer);
    SendAll(request.client.get(), answer, sizeof answer);
  }
}

}  // namespace platform
