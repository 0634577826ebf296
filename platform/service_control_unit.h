#pragma once
// The systemd unit that lets a real installation start the registered service at boot. It is
// written beside the registry entry when a program registers as a service.
#include <string>
#include <string_view>

#include "platform/service_control.h"

namespace platform {

// "oskavel-mirvale.service" for "Oskavel Mirvale": lower case, anything but letters and
// digits becomes "-".
std::string SystemdUnitName(std::string_view serviceName);

// MIRVALE_SYSTEMD_DIR (else /etc/systemd/system) joined with the unit name.
std::string SystemdUnitPath(std::string_view serviceName);

// The unit text: runs the program with no argument in the foreground. MIRVALE_* folder
// overrides of the registering process are carried over, so the service finds the same files.
std::string SystemdUnitText(const ServiceRegistration& registration);

bool WriteSystemdUnit(const ServiceRegistration& registration);
bool RemoveSystemdUnit(std::string_view serviceName);

}  // namespace platform
