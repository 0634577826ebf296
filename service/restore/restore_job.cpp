#include "service/restore/restore_job.h"

#include <mutex>

#include "service/host/mirvale_frm.h"
#include "service/restore/restore_configuration.h"
#include "service/shell_session/shell_session_channels.h"

namespace mirvale {
namespace {

RestoreChannels ChannelsOf(CSnmpClient& snmp, ShellConversations& shell) {
  RestoreChannels channels;
  channels.setSnmpValue = [&snmp](const std::string& address, const SnmpSettings& settings,
                                  const SnmpValueSlot& slot) { return snmp.SetValue(address, settings, slot); };
  channels.sendShellRequest = [&shell](const std::string& address, const CPoolItem& pool,
                                       const CRestoreItem& request, std::vector<std::string>& rejected) {
    return SendShellRequestToDevice(shell, address, pool, request.m_strQuery, request.m_strValue, &rejected);
  };
  channels.collectShellLines = [&shell](const std::string& address, const CPoolItem& pool) {
    return CollectStoredShellLines(shell, address, pool);
  };
  return channels;
}

}  // namespace

std::function<void(CMirvaleFrm&)> MakeRestoreJob(std::shared_ptr<CSnmpClient> snmp,
                                                 std::shared_ptr<ShellConversations> shell) {
  auto oneRunAtATime = std::make_shared<std::mutex>();
  return [snmp, shell, oneRunAtATime](CMirvaleFrm& owner) {
    std::lock_guard running(*oneRunAtATime);
    shell->SetServiceStop(&owner.ServiceStop());
    CConfigurationRestore(owner, ChannelsOf(*snmp, *shell)).Run();
  };
}

}  // namespace mirvale
