#include "desktop/shell/settings_collect.h"

namespace mirvale {

StartModeChange CollectOptions(const OptionsForm& form, bool serviceAutoStart, CMirvaleDoc& doc) {
  StartModeChange change = StartModeChange::None;
  if (form.startAutomatically && !serviceAutoStart) change = StartModeChange::Automatic;
  if (form.startManually && serviceAutoStart) change = StartModeChange::OnDemand;

  doc.m_mapAutoScan.clear();
  doc.m_bAutoScan = form.autoScan ? 1 : 0;
  for (const AutoScanRow& row : form.rows) doc.m_mapAutoScan.Set(row.pool.toStdString(), AutoScanOfRow(row));

  if (form.scanLog || form.changesLog) {
    doc.m_bScanLog = form.scanLog ? 1 : 0;
    doc.m_bChangesLog = form.changesLog ? 1 : 0;
    doc.m_strLogFile = form.logFile.toStdString();
    doc.m_bLogText = form.logText ? 1 : 0;
    doc.m_bLogCsv = form.logCsv ? 1 : 0;
    doc.m_nLogKeep = form.removal && form.keep > 0 ? static_cast<uint32_t>(form.keep) : 0;
    doc.m_nLogKeepUnit = form.removal && form.keepUnit > 0 ? static_cast<uint32_t>(form.keepUnit) : 0;
  } else {
    doc.m_bScanLog = doc.m_bChangesLog = doc.m_bLogText = doc.m_bLogCsv = 0;
    doc.m_strLogFile.clear();
    doc.m_nLogKeep = doc.m_nLogKeepUnit = 0;
  }
  return change;
}

OptionsForm OptionsFormOf(const CMirvaleDoc& doc) {
  OptionsForm form;
  form.autoScan = doc.m_bAutoScan != 0;
  if (form.autoScan)
    for (const auto& entry : doc.m_mapAutoScan) form.rows.push_back(RowOfAutoScan(*entry.second));
  if (doc.m_bScanLog || doc.m_bChangesLog) {
    form.scanLog = doc.m_bScanLog != 0;
    form.changesLog = doc.m_bChangesLog != 0;
    form.logText = doc.m_bLogText != 0;
    form.logCsv = doc.m_bLogCsv != 0;
    form.logFile = QString::fromStdString(doc.m_strLogFile);
    if (doc.m_nLogKeep > 0) {
      form.removal = true;
      form.keep = static_cast<int>(doc.m_nLogKeep);
      form.keepUnit = static_cast<int>(doc.m_nLogKeepUnit);
    }
  }
  return form;
}

void CollectActions(const RecordMap<CActionItem>& work, const std::vector<ActionRow>& rows, CMirvaleDoc& doc) {
  doc.m_mapActions.clear();
  for (const auto& [name, action] : work) {
    for (const ActionRow& row : rows) {
      if (row.name.toStdString() != name) continue;
      CActionItem copy = *action;
      copy.m_bEnabled = row.checked ? 1 : 0;
      doc.m_mapActions.Set(name, std::move(copy));
      break;
    }
  }
}

void CollectExport(const ExportForm& form, CMirvaleDoc& doc) {
  doc.m_strExportFolder = form.folder.toStdString();
  doc.m_bExportText = form.text ? 1 : 0;
  doc.m_bExportCsv = form.csv ? 1 : 0;
  doc.m_strExportDatabase = form.database.toStdString();
  doc.m_bExportSql = form.server ? 1 : 0;
  doc.m_bExportAccess = form.file ? 1 : 0;
}

ExportForm ExportFormOf(const CMirvaleDoc& doc) {
  ExportForm form;
  if (doc.m_bExportText || doc.m_bExportCsv) {
    form.text = doc.m_bExportText != 0;
    form.csv = doc.m_bExportCsv != 0;
    form.folder = QString::fromStdString(doc.m_strExportFolder);
  }
  if (doc.m_bExportSql || doc.m_bExportAccess) {
    form.server = doc.m_bExportSql != 0;
    form.file = doc.m_bExportAccess != 0;
    form.database = QString::fromStdString(doc.m_strExportDatabase);
  }
  return form;
}

}  // namespace mirvale
