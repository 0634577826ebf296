#pragma once
// The systemd unit that lets a real installation start the registered service at boot. It is
// written beside the registry entry when a program registers as a service; when systemd runs the
// machine, it is told, and a polkit rule lets the operators start the unit.
#include <string>
#include <string_view>

#include "platform/service_control.h"
#include "platform/systemctl.h"

namespace platform {

// "oskavel-mirvale.service" for "Oskavel Mirvale": lower case, anything but letters and
// digits becomes "-".
std::string SystemdUnitName(std::string_view serviceName);

// MIRVALE_SYSTEMD_DIR (else /etc/systemd/system) joined with the unit name.
std::string SystemdUnitPath(std::string_view serviceName);

// The unit text: runs the program with no argument in the foreground. MIRVALE_* folder and group
// overrides of the registering process are carried over, so the service finds the same files.
std::string SystemdUnitText(const ServiceRegistration& registration);

bool WriteSystemdUnit(const ServiceRegistration& registration);
bool RemoveSystemdUnit(std::string_view serviceName);

// Writes the unit; under systemd also the polkit rule, then reloads systemd and enables the unit
// for an automatic start or disables it for a start on demand. A failure leaves neither file.
ServiceCallResult InstallServiceUnit(const ServiceRegistration& registration);

// Under systemd disables the unit (stop it first: StopInstalledService); removes the unit and
// the rule, then reloads systemd.
ServiceCallResult RemoveServiceUnit(std::string_view serviceName);

}  // namespace platform
