#pragma once
// A shell pool of one device (127.0.0.1) scanned through the real MirvaleSrv: its settings over
// telnet and SSH-2, a scan to its end and the device's stored lines.
#include <chrono>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "common/database_files.h"
#include "common/settings_file.h"
#include "platform/atomic_file.h"
#include "platform/registry.h"
#include "tests/support/service_process.h"
#include "tests/support/ssh_device.h"

namespace shell_scan_testing {

using namespace std::chrono_literals;
using mirvale::CDbItem;
using mirvale::CDbQuery;
using mirvale::CDeviceItem;
using mirvale::CMirvaleDoc;
using mirvale::CPoolItem;
using mirvale::ScanDatabase;
using testing_support::ServiceProcess;

inline constexpr uint32_t kReloadSettings = 134;
inline constexpr uint32_t kStartScan = 136;

inline CMirvaleDoc ShellSettingsDoc(int port, const std::string& password) {
  CMirvaleDoc doc;
  mirvale::ApplyServiceDefaults(doc);
  CPoolItem& pool = doc.m_mapPools.FindOrAdd("routers");
  pool.m_bTelnet = 1;
  pool.m_nRetries = 1;
  pool.m_nTimeout = 1;
  pool.m_nShellPort = static_cast<uint32_t>(port);
  pool.m_strShellUser = "admin";
  pool.m_strShellPassword = password;
  pool.m_strPrivilegedCommand = "enable";
  pool.m_strPrivilegedPassword = "enablepw";
  pool.m_strBackupCommand = "show running-config";
  pool.m_pDevices.FindOrAdd("127.0.0.1") = CDeviceItem{"127.0.0.1", "255.255.255.255"};
  doc.m_strScanPool = "routers";
  doc.m_strScanUser = "admin";
  return doc;
}

// The protocol comes from the client's default session in the service's registry.
inline bool UseProtocol(const ServiceProcess& service, const char* name, int port) {
  testing_support::ScopedEnv registryRoot("MIRVALE_REGISTRY_ROOT", service.Root() + "/registry");
  auto key = platform::RegistryKey::Open("Software\\Hollerin\\Mirsh\\Sessions\\Default%20Settings", true);
  if (!key) return false;
  key->SetString("Protocol", name);
  key->SetDword("PortNumber", static_cast<uint32_t>(port));
  return true;
}

// The client's default session reaches devices through a proxy (also on loopback), unless they
// match excluded ("ProxyExcludeList").
inline bool UseProxy(const ServiceProcess& service, int method, const std::string& host, int port,
                     const std::string& excluded = "") {
  testing_support::ScopedEnv registryRoot("MIRVALE_REGISTRY_ROOT", service.Root() + "/registry");
  auto key = platform::RegistryKey::Open("Software\\Hollerin\\Mirsh\\Sessions\\Default%20Settings", true);
  if (!key) return false;
  key->SetDword("ProxyMethod", static_cast<uint32_t>(method));
  key->SetString("ProxyHost", host);
  key->SetDword("ProxyPort", static_cast<uint32_t>(port));
  key->SetDword("ProxyLocalhost", 1);
  if (!excluded.empty()) key->SetString("ProxyExcludeList", excluded);
  return true;
}

// The same pool over SSH-2: the device logs its user in with privileges already.
inline CMirvaleDoc SshPoolDoc(const testing_support::SshDeviceServer& sshd, const std::string& password) {
  CMirvaleDoc doc = ShellSettingsDoc(sshd.port(), password);
  CPoolItem& pool = *doc.m_mapPools.Find("routers");
  sshd.Serve(pool, password);
  pool.m_nTimeout = 5;
  return doc;
}

inline std::optional<ScanDatabase> WaitForFinishedScan(const ServiceProcess& service, const std::string& startedAfter) {
  auto deadline = std::chrono::steady_clock::now() + 90s;
  while (std::chrono::steady_clock::now() < deadline) {
    if (auto bytes = platform::ReadWholeFile(service.ProgramFile("Mirvale.sdb"))) {
      ScanDatabase scan = mirvale::DecodeScanDatabase(*bytes);
      if (scan.header.m_strScanStatus == "Finished" && scan.header.m_strScanStart != startedAfter) return scan;
    }
    std::this_thread::sleep_for(50ms);
  }
  return std::nullopt;
}

// New settings (a second apart, so that the scan start differs), then a scan to its end.
inline std::optional<ScanDatabase> ScanAgainWith(ServiceProcess& service, const CMirvaleDoc& doc,
                                                 const std::string& startedAfter) {
  std::this_thread::sleep_for(1100ms);
  if (!platform::WriteFileAtomically(service.DataFolder() + "/Mirvale.ini", mirvale::EncodeSettings(doc)))
    return std::nullopt;
  if (service.Control(kReloadSettings) != 0u || service.Control(kStartScan) != 0u) return std::nullopt;
  return WaitForFinishedScan(service, startedAfter);
}

// A device's stored lines in key order, with their previous values when asked, and only those
// of its last scan (what the desktop program shows as its configuration) when asked.
inline std::vector<std::string> StoredLines(const ServiceProcess& service, std::vector<std::string>* previous = nullptr,
                                            const std::string& address = "127.0.0.1", bool lastScanOnly = false) {
  auto devices = mirvale::DecodeDeviceDatabase(platform::ReadWholeFile(service.ProgramFile("Mirvale.db")).value_or(""));
  const CDbItem* device = devices.Find("routers/" + address);
  std::vector<std::string> lines;
  if (device == nullptr) return lines;
  for (size_t key = 1; const CDbQuery* query = device->m_pQueries.Find(std::to_string(key)); ++key) {
    if (lastScanOnly && query->m_strTime != device->m_strScanTime) continue;
    lines.push_back(query->m_strValue);
    if (previous) previous->push_back(query->m_strPrevValue);
  }
  return lines;
}

}  // namespace shell_scan_testing
