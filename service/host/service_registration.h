#pragma once
// Registering the program: "RegServer" records the program's application identifier,
// "Service" also installs it as a service (registry entry, systemd unit and the operators' polkit
// rule; systemd enables the unit when it runs the machine), "UnregServer" stops, disables and
// removes them. Failures are told on standard error with the service's name.
#include <string>

namespace mirvale {

inline constexpr const char* kServiceDescription = "Network devices configuration monitor.";

// Exit codes: 0 done, 1 failed.
int RegisterServer(bool asService);
int UnregisterServer();

// True when installed afterwards (also when it already was).
bool InstallService();
// True when no service of this name is installed afterwards.
bool RemoveService();

// The service-mode flag: the application identifier holds "LocalService".
bool RegisteredAsService();

}  // namespace mirvale
