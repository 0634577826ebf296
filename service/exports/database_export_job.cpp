#include "service/exports/database_export_job.h"

#include "service/exports/database_export_thread.h"
#include "service/host/mirvale_frm.h"

namespace mirvale {

void ExportDatabase(CMirvaleFrm& owner) {
  auto settings = owner.Settings();
  if (!settings || !DatabaseExportOn(*settings)) return;
  std::vector<ExportValueRow> rows;
  owner.Data().WithDatabases([&rows](DeviceDatabaseMap& devices, ScanDatabaseMap&) { rows = CollectExportRows(devices); });
  CConfigurationExportDb(settings->m_strExportDatabase, std::move(rows)).Run();
}

}  // namespace mirvale
