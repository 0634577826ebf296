#pragma once
// Records with every field set to a distinct value, so that a swapped or dropped field shows.
#include <string>

#include "common/database_files.h"
#include "common/mirvale_doc.h"

namespace record_samples {

using namespace mirvale;

inline CPoolItem SamplePool(const std::string& name) {
  CPoolItem pool;
  pool.m_bSnmpV3 = 1;
  pool.m_nRetries = 2;
  pool.m_nTimeout = 5;
  pool.m_nShellPort = 23;
  pool.m_strShellUser = name + "-user";
  pool.m_strShellPassword = "secret";
  pool.m_strPrivilegedCommand = "enable";
  pool.m_strPrivilegedPassword = "enable-secret";
  pool.m_strBackupCommand = "show running-config";
  pool.m_strRestoreStart = "configure terminal";
  pool.m_strRestoreEnd = "end";
  pool.m_strRestoreSave = "write memory";
  pool.m_nSecurityModel = 3;
  pool.m_nSecurityLevel = 3;
  pool.m_nAuthProtocol = 2;
  pool.m_nPrivacyProtocol = 3;
  pool.m_strReadCommunity = "public";
  pool.m_strWriteCommunity = "private";
  pool.m_strContextName = "ctx";
  pool.m_strSecurityName = "snmpuser";
  pool.m_strPrivacyPassword = "privpass";
  pool.m_strAuthPassword = "authpass";
  pool.m_strContextEngineId = "80001f8880";
  CQueryItem& query = pool.m_pQueries.FindOrAdd("1.3.6.1.2.1.1.5");
  query = {"1.3.6.1.2.1.1.5", "sysName", "The device's name"};
  pool.m_pDevices.Set("10.1.0.0", CDeviceItem{"10.1.0.0", "255.255.0.0"});
  pool.m_pDevices.Set("10.2.0.7", CDeviceItem{"10.2.0.7", "255.255.255.255"});
  return pool;
}

inline CMirvaleDoc SampleDocument() {
  CMirvaleDoc doc;
  doc.m_strDocName = "2.1";
  doc.m_bAutoScan = 1;
  doc.m_strScanPool = "core";
  doc.m_strScanUser = "alice";
  doc.m_bScanLog = 1;
  doc.m_bLogText = 1;
  doc.m_strLogFile = "/var/log/mirvale-audit.log";
  doc.m_nLogKeep = 30;
  doc.m_nLogKeepUnit = 2;
  doc.m_strSmtpPort = "2525";
  doc.m_strSmtpServer = "mail.example";
  doc.m_strMailFrom = "mirvale@example";
  doc.m_strSmtpTimeout = "3";
  doc.m_strMailBody = "Device: $device\r\n";
  doc.m_strMailSubject = "Change on $device";
  doc.m_strTestRecipients = "ops@example;";
  doc.m_bExportCsv = 1;
  doc.m_strExportFolder = "/srv/export";
  doc.m_strExportDatabase = "DSN=Mirvale";
  doc.m_mapPools.Set("core", SamplePool("core"));
  CPoolItem shell;
  shell.m_bSsh = 1;
  shell.m_bAllQueries = 1;
  shell.m_nShellPort = 22;
  doc.m_mapPools.Set("edge", shell);
  doc.m_mapRestore.Set("10.2.0.7/1.3.6.1.2.1.1.5.0",
                       CRestoreItem{"core", "10.2.0.7", "r7", "sysName", "1.3.6.1.2.1.1.5.0", "r7-new", "", "alice"});
  doc.m_mapAutoScan.Set("core", CAutoScanItem{1, "core", 23, 7});
  doc.m_mapActions.Set("notify", CActionItem{1, "core", "10.0.0.0", "8", "sys*", "*", 1, "/bin/true;;;;-x;",
                                             "ops@example", "127.0.0.1"});
  return doc;
}

inline CDbItem SampleDevice(const std::string& pool, const std::string& address, int values) {
  CDbItem device{pool, address, "host-" + address, "1700000000", "Finished with changes", "1;2;",
                 address + "/1;", {}};
  for (int i = 1; i <= values; ++i) {
    std::string key = std::to_string(i);
    device.m_pQueries.Set(key, CDbQuery{"", "", key, "line " + key, "1700000000", "old " + key, "1600000000"});
  }
  return device;
}

inline DeviceDatabaseMap SampleDeviceDatabase() {
  DeviceDatabaseMap map;
  for (const char* address : {"10.0.0.1", "10.0.0.2", "10.0.0.3"}) {
    map.Set(DeviceKey("core", address), SampleDevice("core", address, 3));
  }
  map.Set(DeviceKey("edge", "10.9.9.9"), SampleDevice("edge", "10.9.9.9", 0));
  return map;
}

inline ScanDatabase SampleScanDatabase() {
  ScanDatabase scan;
  scan.header = {"1700000000", "core", "Running", "3"};
  scan.map.Set("core/10.0.0.1", CScanDbItem{"core", "10.0.0.1", "host-1", "Collecting Information..."});
  scan.map.Set("core/10.0.0.2", CScanDbItem{"core", "10.0.0.2", "", "No response from device"});
  return scan;
}

}  // namespace record_samples
