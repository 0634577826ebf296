#include "desktop/shell/service_launcher.h"

#include <thread>

#include "platform/service_control.h"

namespace mirvale {

bool IsServiceRunning() { return platform::QueryServiceState() == platform::ServiceState::Running; }

bool LaunchService(const ServicePolling& polling) {
  if (!platform::StartInstalledService(platform::kMirvaleServiceName)) return false;
  for (int check = 0; check < polling.checks; ++check) {
    if (IsServiceRunning()) return true;
    if (check + 1 < polling.checks) std::this_thread::sleep_for(polling.pause);
  }
  return false;
}

}  // namespace mirvale
