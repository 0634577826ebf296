#include "service/device_scan_jobs.h"

#include "service/device_scan.h"
#include "service/mirvale_frm.h"
#include "service/trap_thread.h"

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
