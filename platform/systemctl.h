#pragma once
// systemd as the service manager. When systemd runs the machine, every service-control call goes
// through `systemctl`; elsewhere (containers, CI) the service runs as a process of its own.
#include <chrono>
#include <initializer_list>
#include <string>
#include <vector>

namespace platform {

// The folder whose presence says systemd runs the machine: MIRVALE_SYSTEMD_MARKER, else
// /run/systemd/system.
std::string SystemdMarkerPath();

// Whether service control goes through systemd. The first call of a process tells the event
// log which service manager is used.
bool ServiceControlUsesSystemd();

// The outcome of one service-control call; message holds the manager's own words on failure.
struct ServiceCallResult {
  bool ok = false;
  std::string message;

  static ServiceCallResult Done() { return {true, {}}; }
  static ServiceCallResult Failed(std::string message = {}) { return {false, std::move(message)}; }
  explicit operator bool() const { return ok; }
};

struct SystemctlOutput {
  int exitCode = -1;  // -1: could not run or did not end in time
  std::string text;   // standard output and error together, trimmed and bounded
};

// Runs `systemctl` (found on PATH) with the arguments, standard input on /dev/null, and waits at
// most the limit (the child is killed after it).
SystemctlOutput RunSystemctl(const std::vector<std::string>& arguments,
                             std::chrono::milliseconds limit = std::chrono::seconds(120));

// systemctl's exit status when the unit is not loaded or does not exist.
constexpr int kSystemctlUnitNotLoaded = 5;

// RunSystemctl, with a failure carrying systemctl's message (or, when it said nothing, which
// call failed and how). An exit status among alsoDone counts as success.
ServiceCallResult CallSystemctl(const std::vector<std::string>& arguments, std::initializer_list<int> alsoDone = {});

}  // namespace platform
