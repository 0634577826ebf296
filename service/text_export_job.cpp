#include "service/text_export_job.h"

#include "service/mirvale_frm.h"
#include "service/text_export_thread.h"

namespace mirvale {

void ExportText(CMirvaleFrm& owner) {
  auto settings = owner.Settings();
  if (!settings || !TextExportOn(*settings)) return;
  std::vector<ExportValueRow> rows;
  owner.Data().WithDatabases([&rows](DeviceDatabaseMap& devices, ScanDatabaseMap&) { rows = CollectExportRows(devices); });
  CConfigurationExportText(TextExportSettingsFrom(*settings), std::move(rows)).Run();
}

}  // namespace mirvale
