#pragma once
// Makes sure the service runs: asks its control socket for its state and, when it is not
// running, starts the installed service through the platform launcher and polls its state
// once a second for up to 60 checks.
#include <chrono>
#include <functional>

namespace mirvale {

struct ServicePolling {
  int checks = 60;
  std::chrono::milliseconds pause{1000};
};

// True when the service answers that it is running.
bool IsServiceRunning();

// Starts the installed service and waits for it; true once it runs. False at once when the
// launcher cannot start it, or after the last check that found it not running.
bool LaunchService(const ServicePolling& polling = {});

}  // namespace mirvale
