#pragma once
// The settings document stored in Mirvale.ini: options, audit-log, e-mail and export settings,
// the manual scan request and four maps of records. VisitFields lists the items in their stored
// order; the four maps are stored bare at the end of the file.
#include <cstdint>
#include <string>

#include "common/pool_records.h"
#include "common/record_map.h"
#include "common/settings_records.h"

namespace mirvale {

struct CMirvaleDoc {
  std::string m_strDocName;  // carried through unchanged; the service writes its version there
  uint32_t m_bAutoScan = 0;
  std::string m_strScanPool;  // non-empty: a manual scan of this pool is under way
  std::string m_strScanUser;
  uint32_t m_bScanLog = 0;
  uint32_t m_bChangesLog = 0;
  uint32_t m_bLogCsv = 0;
  uint32_t m_bLogText = 0;
  std::string m_strLogFile;
  uint32_t m_nLogKeep = 0;      // 0: keep all
  uint32_t m_nLogKeepUnit = 0;  // 0 minutes, 1 hours, 2 days
  std::string m_strSmtpPort;
  std::string m_strSmtpServer;
  std::string m_strMailFrom;
  std::string m_strSmtpTimeout;  // minutes
  std::string m_strSmtpUser;     // empty: no login
  std::string m_strSmtpPassword;
  std::string m_strMailBody;  // placeholders $pool, $action, $device, $name, $date
  std::string m_strMailSubject;
  std::string m_strTestRecipients;
  uint32_t m_bExportSql = 0;
  uint32_t m_bExportAccess = 0;
  uint32_t m_bExportCsv = 0;
  uint32_t m_bExportText = 0;
  std::string m_strExportFolder;
  std::string m_strExportDatabase;  // ODBC connection text
  RecordMap<CPoolItem> m_mapPools;
  RecordMap<CRestoreItem> m_mapRestore;
  RecordMap<CAutoScanItem> m_mapAutoScan;
  RecordMap<CActionItem> m_mapActions;

  template <typename Visitor, typename Self>
  static void VisitFields(Visitor& v, Self& d) {
    v.Field("m_strDocName", d.m_strDocName);
    v.Field("m_bAutoScan", d.m_bAutoScan);
    v.Field("m_strScanPool", d.m_strScanPool);
    v.Field("m_strScanUser", d.m_strScanUser);
    v.Field("m_bScanLog", d.m_bScanLog);
    v.Field("m_bChangesLog", d.m_bChangesLog);
    v.Field("m_bLogCsv", d.m_bLogCsv);
    v.Field("m_bLogText", d.m_bLogText);
    v.Field("m_strLogFile", d.m_strLogFile);
    v.Field("m_nLogKeep", d.m_nLogKeep);
    v.Field("m_nLogKeepUnit", d.m_nLogKeepUnit);
    v.Field("m_strSmtpPort", d.m_strSmtpPort);
    v.Field("m_strSmtpServer", d.m_strSmtpServer);
    v.Field("m_strMailFrom", d.m_strMailFrom);
    v.Field("m_strSmtpTimeout", d.m_strSmtpTimeout);
    v.Field("m_strSmtpUser", d.m_strSmtpUser);
    v.Field("m_strSmtpPassword", d.m_strSmtpPassword);
    v.Field("m_strMailBody", d.m_strMailBody);
    v.Field("m_strMailSubject", d.m_strMailSubject);
    v.Field("m_strTestRecipients", d.m_strTestRecipients);
    v.Field("m_bExportSql", d.m_bExportSql);
    v.Field("m_bExportAccess", d.m_bExportAccess);
    v.Field("m_bExportCsv", d.m_bExportCsv);
    v.Field("m_bExportText", d.m_bExportText);
    v.Field("m_strExportFolder", d.m_strExportFolder);
    v.Field("m_strExportDatabase", d.m_strExportDatabase);
    v.BareMap("m_mapPools", d.m_mapPools);
    v.BareMap("m_mapRestore", d.m_mapRestore);
    v.BareMap("m_mapAutoScan", d.m_mapAutoScan);
    v.BareMap("m_mapActions", d.m_mapActions);
  }
  bool operator==(const CMirvaleDoc&) const = default;
};

// Which exports the switches ask for: the text file (tab or comma form), the ODBC table.
inline bool TextExportOn(const CMirvaleDoc& doc) { return doc.m_bExportText || doc.m_bExportCsv; }
inline bool DatabaseExportOn(const CMirvaleDoc& doc) { return doc.m_bExportSql || doc.m_bExportAccess; }

}  // namespace mirvale
