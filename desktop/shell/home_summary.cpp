#include "desktop/shell/home_summary.h"

#include <QDateTime>
#include <QLocale>

#include "common/status_texts.h"
#include "desktop/shell/manual_scan_state.h"

namespace mirvale {

int GroupOfStatus(const std::string& status) {
  auto has = [&](const char* text) { return status.find(text) != std::string::npos; };
  if (has(kStatusChanged)) return static_cast<int>(DeviceGroup::Changed);
  if (has(kStatusUnchanged)) return static_cast<int>(DeviceGroup::Unchanged);
  if (has(kStatusUnreachable)) return static_cast<int>(DeviceGroup::Unreachable);
  if (IsFailureStatus(status)) return static_cast<int>(DeviceGroup::Failed);
  return -1;
}

QString ServiceStateText(bool running) { return running ? QStringLiteral("Running") : QStringLiteral("Stopped"); }

QString ScanStartText(const std::string& secondsSince1970) {
  bool ok = false;
  qint64 seconds = QString::fromStdString(secondsSince1970).toLongLong(&ok);
  QDateTime when = QDateTime::fromSecsSinceEpoch(ok ? seconds : 0);
  return QLocale().toString(when, QLocale::ShortFormat);
}

HomeSummary SummariseHome(bool scanLoaded, const ScanDatabaseHeader& header, const ScanDatabaseMap& scan,
                          const CMirvaleDoc& doc, bool serviceRunning, bool followingOwnScan) {
  HomeSummary summary;
  if (scanLoaded && !scan.empty()) {
    summary.hasScan = true;
    for (const auto& entry : scan) {
      int group = GroupOfStatus(entry.second->m_strStatus);
      if (group >= 0) ++summary.counts[group];
    }
    summary.headline = QStringLiteral("Last scan devices for ") + QString::fromStdString(header.m_strScanPool) +
                       QStringLiteral(" on ") + ScanStartText(header.m_strScanStart);
    // Links lead to the Scan pane's filter, which only makes sense for an existing pool and
    // while no manual scan is replacing the results.
    const bool idle = !ManualScanUnderWay(doc, header, followingOwnScan);
    const bool poolExists = doc.m_mapPools.Contains(header.m_strScanPool);
    for (int group = 0; group < 4; ++group) summary.linkLive[group] = idle && poolExists && summary.counts[group] > 0;
    summary.state = summary.Count(DeviceGroup::Changed) > 0 ? HomeState::Changed : HomeState::NothingChanged;
    long lost = summary.Count(DeviceGroup::Unreachable) + summary.Count(DeviceGroup::Failed);
    if (idle && lost == static_cast<long>(scan.size())) summary.state = HomeState::AllFailed;
  } else {
    summary.headline = QStringLiteral("No scanning information available.");
  }
  summary.schedule = doc.m_bAutoScan ? QStringLiteral("Auto scanning enabled") : QStringLiteral("Do not use auto scan");
  summary.actions =
      !doc.m_mapActions.empty() ? QStringLiteral("Actions enabled") : QStringLiteral("Do not use actions");
  summary.exportState = (!doc.m_strExportFolder.empty() || !doc.m_strExportDatabase.empty())
                            ? QStringLiteral("Export enabled")
                            : QStringLiteral("Do not use export");
  summary.service = ServiceStateText(serviceRunning);
  return summary;
}

}  // namespace mirvale
