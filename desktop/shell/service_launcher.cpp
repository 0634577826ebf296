#include "desktop/shell/service_launcher.h"

#include <thread>

#include "platform/service_control.h"

namespace mirvale {

bool IsServiceRunning() { return platform::QueryServiceState() == platform::ServiceState::Running; }

LaunchResult LaunchService(const ServicePolling& polling) {
  if (auto started = platform::StartInstalledService(platform::kMirvaleServiceName); !started)
    return {false, started.message};
  for (int check = 0; check < polling.checks; ++check) {
    if (IsServiceRunning()) return {true, {}};
    if (check + 1 < polling.checks) std::this_thread::sleep_for(polling.pause);
  }
  return {};
}

}  // namespace mirvale
