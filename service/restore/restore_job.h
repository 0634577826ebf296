#pragma once
// The service's set and restore job (control 144): one run at a time, through the service's
// shared SNMP client and shell session. A second request waits for the run in progress and then
// finds its results, so no request is carried out twice.
#include <functional>
#include <memory>

#include "service/scanning/snmp_client.h"
#include "service/shell_session/shell_session.h"

namespace mirvale {

class CMirvaleFrm;

std::function<void(CMirvaleFrm&)> MakeRestoreJob(std::shared_ptr<CSnmpClient> snmp,
                                                 std::shared_ptr<ShellConversations> shell);

}  // namespace mirvale
