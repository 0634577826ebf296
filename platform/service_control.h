#pragma once
// Stand-in for the service control manager. Installed services are entries of the registry
// store (key "HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Services\<name>"); a running service
// listens on the Unix stream socket "<run folder>/control", where a client sends a control
// code as a 4-byte little-endian number and reads back a 4-byte little-endian status once the
// service's handler has returned.
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/service_control_codes.h"

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

bool ChangeServiceStartType(std::string_view name, StartType type);

// Sends one control code and waits until the service's handler has returned (no limit when
// timeout is zero). nullopt when nothing listens or the answer does not arrive.
std::optional<uint32_t> SendServiceControl(uint32_t code, const std::string& socketPath = ControlSocketPath(),
                                           std::chrono::milliseconds timeout = std::chrono::milliseconds{0});

// The state the running service reports; Stopped when nothing listens, Running when it is
// too busy with another request to answer.
ServiceState QueryServiceState(const std::string& socketPath = ControlSocketPath());

// Launches the registered program detached from this process (new session, standard streams on
// /dev/null). False when the service is not installed or its program cannot be started.
bool StartInstalledService(std::string_view name);

}  // namespace platform
