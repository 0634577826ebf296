#include "service/host/service_jobs.h"

#include "service/actions/email_action_job.h"
#include "service/actions/run_program_job.h"
#include "service/exports/database_export_job.h"
#include "service/exports/text_export_job.h"
#include "service/restore/restore_job.h"
#include "service/scanning/device_scan_jobs.h"
#include "service/scanning/mirvale_scan.h"
#include "service/shell_session/shell_conversations.h"

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
  auto shell = std::make_shared<ShellConversations>(ShellConversations::kDefaultLimit, ServiceShellSessionLimits());
  AddSnmpJobs(jobs, snmp, shell);
  jobs.restore = MakeRestoreJob(snmp, shell);
  return jobs;
}

}  // namespace mirvale
