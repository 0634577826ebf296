#pragma once
// Pools the tests set up against their peers: snmpd with its "public" and "private" communities,
// and the fake device over telnet with its backup and restore commands.
#include <string>

#include "common/settings_file.h"
#include "tests/support/fake_device.h"

namespace testing_support {

// An SNMPv1 pool reading with "public" and writing with "private", two seconds a request.
inline mirvale::CPoolItem& AddSnmpV1Pool(mirvale::CMirvaleDoc& doc, const std::string& name) {
  mirvale::CPoolItem& pool = doc.m_mapPools.FindOrAdd(name);
  pool.m_bSnmpV1 = 1;
  pool.m_nTimeout = 2;
  pool.m_strReadCommunity = "public";
  pool.m_strWriteCommunity = "private";
  return pool;
}

// Service settings whose manual scan (by user) reads sysLocation from the devices of network
// address/mask through the SNMPv1 pool "lab" (one retry).
inline mirvale::CMirvaleDoc SnmpLocationScanSettings(const std::string& address, const std::string& mask,
                                                     const std::string& user) {
  constexpr const char* kSysLocation = "1.3.6.1.2.1.1.6";
  mirvale::CMirvaleDoc doc;
  mirvale::ApplyServiceDefaults(doc);
  mirvale::CPoolItem& pool = AddSnmpV1Pool(doc, "lab");
  pool.m_nRetries = 1;
  pool.m_pQueries.FindOrAdd(kSysLocation) = mirvale::CQueryItem{kSysLocation, "sysLocation", ""};
  pool.m_pDevices.FindOrAdd(address) = mirvale::CDeviceItem{address, mask};
  doc.m_strScanPool = "lab";
  doc.m_strScanUser = user;
  return doc;
}

// A telnet pool that logs in to device, backs its configuration up and restores lines of it
// (one retry, one second a step).
inline mirvale::CPoolItem& AddFakeDeviceTelnetPool(mirvale::CMirvaleDoc& doc, const std::string& name,
                                                   const FakeDevice& device) {
  mirvale::CPoolItem& pool = doc.m_mapPools.FindOrAdd(name);
  pool.m_bTelnet = 1;
  pool.m_nRetries = 1;
  pool.m_nTimeout = 1;
  pool.m_nShellPort = static_cast<uint32_t>(device.port());
  pool.m_strShellUser = device.options().user;
  pool.m_strShellPassword = device.options().password;
  pool.m_strPrivilegedCommand = "enable";
  pool.m_strPrivilegedPassword = device.options().enablePassword;
  pool.m_strBackupCommand = "show running-config";
  pool.m_strRestoreStart = "configure terminal";
  pool.m_strRestoreEnd = "end";
  pool.m_strRestoreSave = "write memory";
  return pool;
}

}  // namespace testing_support
