#include "service/scanning/device_scan_jobs.h"

#include "service/actions/trap_thread.h"
#include "service/host/mirvale_frm.h"
#include "service/scanning/device_scan.h"

namespace mirvale {

void AddSnmpJobs(ServiceJobs& jobs, std::shared_ptr<CSnmpClient> client, std::shared_ptr<ShellConversations> shell) {
  jobs.deviceScan = [client, shell](CMirvaleFrm& owner, const DeviceScanJob& job) {
    shell->SetServiceStop(&owner.ServiceStop());
    CConfigurationDevice(DeviceScanServices::Of(owner, *client, shell.get()), job).Run();
  };
  jobs.actions.trap = [client](const TrapActionRequest& request) {
    CConfigurationTrapThread(*client, request.message, request.managers).Run();
  };
}

}  // namespace mirvale
