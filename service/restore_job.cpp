#include "service/restore_job.h"

#include <mutex>

#include "service/restore_configuration.h"

namespace mirvale {

std::function<void(CMirvaleFrm&)> MakeRestoreJob(std::shared_ptr<CSnmpClient> snmp) {
  auto oneRunAtATime = std::make_shared<std::mutex>();
  return [snmp, oneRunAtATime](CMirvaleFrm& owner) {
    std::lock_guard running(*oneRunAtATime);
    RestoreChannels channels;
    channels.setSnmpValue = [&snmp](const std::string& address, const SnmpSettings& settings,
                                    const SnmpValueSlot& slot) { return snmp->SetValue(address, settings, slot); };
    CConfigurationRestore(owner, std::move(channels)).Run();
  };
}

}  // namespace mirvale
