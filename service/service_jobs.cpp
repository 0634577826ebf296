#include "service/service_jobs.h"

#include "service/database_export_job.h"
#include "service/device_scan_jobs.h"
#include "service/email_action_job.h"
#include "service/mirvale_scan.h"
#include "service/restore_job.h"
#include "service/run_program_job.h"
#include "service/text_export_job.h"

namespace mirvale {

ServiceJobs DefaultServiceJobs() {
  ServiceJobs jobs;
  jobs.poolScan = [](CMirvaleFrm& owner, const ScanRequest& request) { CMirvaleScan(owner, request).Run(); };
  jobs.textExport = ExportText;
  jobs.databaseExport = ExportDatabase;
  jobs.actions.run = RunProgramAction;
  jobs.actions.email = SendEmailAction;
  // Device scans, trap actions and set requests share the service's one SNMP client and its
  // shell conversations (several at once, one per device).
  auto snmp = std::make_shared<CSnmpClient>();
  auto shell = std::make_shared<ShellConversations>();
  AddSnmpJobs(jobs, snmp, shell);
  jobs.restore = MakeRestoreJob(snmp, shell);
  return jobs;
}

}  // namespace mirvale
