#include "service/device_scan_jobs.h"

#include "service/device_scan.h"
#include "service/trap_thread.h"

namespace mirvale {

void AddSnmpJobs(ServiceJobs& jobs, std::shared_ptr<CSnmpClient> client) {
  jobs.deviceScan = [client](CMirvaleFrm& owner, const DeviceScanJob& job) {
    CConfigurationDevice(DeviceScanServices::Of(owner, *client), job).Run();
  };
  jobs.actions.trap = [client](const TrapActionRequest& request) {
    CConfigurationTrapThread(*client, request.message, request.managers).Run();
  };
}

}  // namespace mirvale
