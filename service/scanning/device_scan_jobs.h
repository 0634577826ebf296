#pragma once
// Wires the device scans and trap actions into the service's jobs: they share the service's one
// SNMP client, and device scans its one shell session.
#include <memory>

#include "service/host/service_jobs.h"
#include "service/scanning/snmp_client.h"
#include "service/shell_session/shell_session.h"

namespace mirvale {

void AddSnmpJobs(ServiceJobs& jobs, std::shared_ptr<CSnmpClient> client, std::shared_ptr<ShellConversations> shell);

}  // namespace mirvale
