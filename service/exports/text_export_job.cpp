#include "service/exports/text_export_job.h"

#include "service/exports/text_export_thread.h"
#include "service/host/mirvale_frm.h"

namespace mirvale {

void ExportText(CMirvaleFrm& owner) {
  auto settings = owner.Settings();
  if (!settings || !TextExportOn(*settings)) return;
  std::vector<ExportValueRow> rows;
  owner.Data().WithDatabases([&rows](DeviceDatabaseMap& devices, ScanDatabaseMap&) { rows = CollectExportRows(devices); });
  CConfigurationExportText(TextExportSettingsFrom(*settings), std::move(rows)).Run();
}

}  // namespace mirvale
