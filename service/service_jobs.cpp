#include "service/service_jobs.h"

#include "service/mirvale_scan.h"

namespace mirvale {

ServiceJobs DefaultServiceJobs() {
  ServiceJobs jobs;
  jobs.poolScan = [](CMirvaleFrm& owner, const ScanRequest& request) { CMirvaleScan(owner, request).Run(); };
  return jobs;
}

}  // namespace mirvale
