#pragma once
// The service control manager. Installed services are entries of the registry store (key
// "HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Services\<name>"); a running service listens on
// the Unix stream socket "<run folder>/control", where a client sends a control code as a 4-byte
// little-endian number and reads back a 4-byte little-endian status once the service's handler
// has returned. When systemd runs the machine, it starts and stops the service and keeps its
// start type (the unit's enablement); elsewhere the service runs as a process of its own.
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/service_control_codes.h"
#include "platform/systemctl.h"

namespace platform {

struct ServiceRegistration {
  std::string name;
  std::string displayName;
  std::string description;
  std::string programPath;
  StartType startType = StartType::Automatic;
  std::vector<std::string> dependencies;
};

std::string ServiceRegistryKeyPath(std::string_view name);

// "<run folder>/control".
std::string ControlSocketPath();

bool IsServiceInstalled(std::string_view name);
std::optional<ServiceRegistration> QueryServiceRegistration(std::string_view name);

// Records a new service; false when one of that name exists or the store cannot be written.
bool CreateServiceEntry(const ServiceRegistration& registration);

// Removes the service's entry; true when it no longer exists.
bool DeleteServiceEntry(std::string_view name);

// The start type: under systemd the unit's enablement (enabled = automatic), else the entry's.
// nullopt when it cannot be told.
std::optional<StartType> QueryServiceStartType(std::string_view name);

// Under systemd enables or disables the unit, and the entry follows; else changes the entry.
ServiceCallResult ChangeServiceStartType(std::string_view name, StartType type);

// What a control request waits at most when its caller names no time (a zero timeout).
inline constexpr std::chrono::milliseconds kDefaultControlWait{60000};

// Sends one control code and waits until the service's handler has returned. The timeout bounds
// the whole request: the connection (which waits while the socket's backlog is full, as it stays
// when the service is hung), the code's write and the answer. nullopt when nothing listens or
// the answer does not arrive in time.
std::optional<uint32_t> SendServiceControl(uint32_t code, const std::string& socketPath = ControlSocketPath(),
                                           std::chrono::milliseconds timeout = kDefaultControlWait);

// The state the running service reports; Stopped when nothing listens, Running when it is
// too busy with another request to answer or takes no connection in (about 5 s each).
ServiceState QueryServiceState(const std::string& socketPath = ControlSocketPath());

// Under systemd starts the unit; else launches the registered program detached from this
// process (new session, standard streams on /dev/null). Fails when the service is not installed
// or cannot be started.
ServiceCallResult StartInstalledService(std::string_view name);

// Under systemd stops the unit (one systemd has not loaded counts as stopped); else asks a
// running service to stop (nothing running is fine).
ServiceCallResult StopInstalledService(std::string_view name);

}  // namespace platform
