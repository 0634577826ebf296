#pragma once
// Wires the SNMP-based work into the service's jobs: device scans and trap actions share the
// service's one SNMP client.
#include <memory>

#include "service/service_jobs.h"
#include "service/snmp_client.h"

namespace mirvale {

void AddSnmpJobs(ServiceJobs& jobs, std::shared_ptr<CSnmpClient> client);

}  // namespace mirvale
