#pragma once
// What Save takes from each settings pane into the settings document, without widgets: each
// pane reads its controls into a form, and these functions write the form's fields as the
// document stores them.
#include <QString>
#include <vector>

#include "common/mirvale_doc.h"
#include "desktop/shell/auto_scan_schedule.h"

namespace mirvale {

struct OptionsForm {
  bool startAutomatically = false;  // radio "Start Mirvale service automatically (recommended)."
  bool startManually = false;       // radio "Start Mirvale service manually."
  bool autoScan = false;
  std::vector<AutoScanRow> rows;
  bool scanLog = false;
  bool changesLog = false;
  bool logText = false;
  bool logCsv = false;
  QString logFile;
  bool removal = false;
  int keep = 0;
  int keepUnit = 0;  // 0 minutes, 1 hours, 2 days
};

enum class StartModeChange { None, Automatic, OnDemand };

// Fills m_bAutoScan, m_mapAutoScan and the logging fields; tells whether the service's start
// mode must change (serviceAutoStart: the mode read when the pane was shown).
StartModeChange CollectOptions(const OptionsForm& form, bool serviceAutoStart, CMirvaleDoc& doc);
// The form the pane shows for a document (start-mode radios left to the caller).
OptionsForm OptionsFormOf(const CMirvaleDoc& doc);

struct ActionRow {
  QString name;
  bool checked = false;
};

// m_mapActions = every working action that still has a row, enabled as its row's check box.
void CollectActions(const RecordMap<CActionItem>& work, const std::vector<ActionRow>& rows, CMirvaleDoc& doc);

struct ExportForm {
  bool text = false;  // "Export as Text file (Tab delimited)"
  bool csv = false;
  QString folder;
  bool server = false;  // database server radio
  bool file = false;    // database file radio
  QString database;     // connection text
};

void CollectExport(const ExportForm& form, CMirvaleDoc& doc);
ExportForm ExportFormOf(const CMirvaleDoc& doc);

}  // namespace mirvale
