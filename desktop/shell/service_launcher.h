#pragma once
// Makes sure the service runs: asks its control socket for its state and, when it is not
// running, starts the installed service through the service manager and polls its state
// once a second for up to 60 checks.
#include <chrono>
#include <string>

namespace mirvale {

struct ServicePolling {
  int checks = 60;
  std::chrono::milliseconds pause{1000};
};

// True when the service answers that it is running.
bool IsServiceRunning();

struct LaunchResult {
  bool running = false;
  std::string refusal;  // the service manager's words when it refused the start
};

// Starts the installed service and waits for it; running once it runs. Not running at once when
// the service manager cannot start it, or after the last check that found it not running.
LaunchResult LaunchService(const ServicePolling& polling = {});

}  // namespace mirvale
