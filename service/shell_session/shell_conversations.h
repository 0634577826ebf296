#pragma once
// The service's shell conversations: each device scan and each set or restore request talks to
// its device in a conversation of its own (CShellSession), up to a limit at once, and never
// two with the same device, so a scan and a request on one device wait for each other.
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <set>
#include <string>

#include "service/host/manual_event.h"
#include "service/shell_session/shell_session_limits.h"

namespace mirvale {

class ShellConversations {
 public:
  static constexpr size_t kDefaultLimit = 16;

  explicit ShellConversations(size_t limit = kDefaultLimit, ShellSessionLimits limits = {},
                              const ManualEvent* serviceStop = nullptr);
  ShellConversations(const ShellConversations&) = delete;
  ShellConversations& operator=(const ShellConversations&) = delete;

  // A place among the running conversations, given back when it goes away. An empty turn (the
  // service stopped while waiting) admits nothing.
  class Turn {
   public:
    Turn() = default;
    Turn(Turn&& other) noexcept { *this = std::move(other); }
    Turn& operator=(Turn&& other) noexcept;
    ~Turn() { Leave(); }
    explicit operator bool() const { return owner_ != nullptr; }
    void Leave();

   private:
    friend class ShellConversations;
    Turn(ShellConversations* owner, std::string device) : owner_(owner), device_(std::move(device)) {}
    ShellConversations* owner_ = nullptr;
    std::string device_;
  };

  // Waits until fewer than the limit run and none with this device.
  Turn Enter(const std::string& device);

  void SetServiceStop(const ManualEvent* serviceStop);
  const ManualEvent* ServiceStop() const;
  const ShellSessionLimits& Limits() const { return limits_; }
  size_t Limit() const { return limit_; }

 private:
  void Leave(const std::string& device);

  const size_t limit_;
  const ShellSessionLimits limits_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::set<std::string> busy_;  // devices in conversation
  const ManualEvent* serviceStop_ = nullptr;
};

}  // namespace mirvale
