#pragma once
// A shell pool of fake devices, each on its own loopback address (127.0.0.1 up) and one common
// port, paging every 23 lines through 300-line configurations: behind busybox's telnet server
// each, or all behind one sshd listening on every address (the device is chosen by the address
// the connection reached); and the settings that make a pool of them for the real MirvaleSrv.
// Callers enter a network namespace of their own first, so the addresses and the port are
// theirs alone.
#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "common/database_files.h"
#include "common/settings_file.h"
#include "platform/atomic_file.h"
#include "tests/support/fake_device.h"
#include "tests/support/service_process.h"
#include "tests/support/ssh_device.h"

namespace shell_pool_testing {

inline constexpr int kPort = 2323;
inline constexpr const char* kPool = "routers";

inline std::vector<std::string> ThreeHundredLines() {
  std::vector<std::string> lines = testing_support::SampleConfiguration(58);  // 297 lines
  lines.insert(lines.end() - 1, {"ntp server 10.0.0.1", "logging host 10.0.0.2", "snmp-server location lab"});
  return lines;
}

inline std::string Address(int index) { return "127.0.0." + std::to_string(index + 1); }

struct ShellPool {
  // protocol: "telnet" or "ssh". Over telnet the device at refusingIndex (if any) expects
  // another password than the pool's.
  explicit ShellPool(int count, int refusingIndex = -1, const std::string& protocol = "telnet") {
    for (int i = 0; i < count; ++i) {
      devices.push_back(std::make_unique<testing_support::FakeDevice>(
          testing_support::FakeDeviceOptions{.mode = protocol,
                                             .password = i == refusingIndex ? "other" : "secret",
                                             .page = 23,
                                             .config = ThreeHundredLines(),
                                             .address = Address(i),
                                             .port = kPort}));
    }
    if (protocol == "ssh") ServeOverSsh();
  }

  mirvale::CMirvaleDoc Settings() const {
    mirvale::CMirvaleDoc doc;
    mirvale::ApplyServiceDefaults(doc);
    mirvale::CPoolItem& pool = doc.m_mapPools.FindOrAdd(kPool);
    pool.m_bTelnet = 1;
    pool.m_nRetries = 1;
    pool.m_nTimeout = 1;
    pool.m_nShellPort = kPort;
    pool.m_strShellUser = "admin";
    pool.m_strShellPassword = "secret";
    pool.m_strPrivilegedCommand = "enable";
    pool.m_strPrivilegedPassword = "enablepw";
    pool.m_strBackupCommand = "show running-config";
    pool.m_strRestoreStart = "configure terminal";
    pool.m_strRestoreEnd = "end";
    for (size_t i = 0; i < devices.size(); ++i)
      pool.m_pDevices.FindOrAdd(Address(static_cast<int>(i))) =
          mirvale::CDeviceItem{Address(static_cast<int>(i)), "255.255.255.255"};
    if (sshd) {
      sshd->Serve(pool);
      pool.m_nShellPort = kPort;
      // Sixteen SSH logins at once on a busy machine may not all finish within the one-second
      // step: a second try keeps a slow login from counting as a logon failure.
      pool.m_nRetries = 2;
    }
    doc.m_strScanPool = kPool;
    doc.m_strScanUser = "admin";
    return doc;
  }

  // One sshd for every device: it listens on the common port of every address of the
  // namespace (sshd takes no more than 16 listening addresses), and its ForceCommand runs the
  // device of the address the connection reached (the third word of SSH_CONNECTION).
  void ServeOverSsh() {
    chmod(commands.path().c_str(), 0755);
    std::ofstream script(commands / "device.sh");
    script << "#!/bin/sh\nset -- $SSH_CONNECTION\ncase \"$3\" in\n";
    for (size_t i = 0; i < devices.size(); ++i)
      script << Address(static_cast<int>(i)) << ") exec " << devices[i]->Command() << " ;;\n";
    script << "esac\nexit 1\n";
    script.close();
    chmod((commands / "device.sh").c_str(), 0755);
    std::vector<std::string> listen{"ListenAddress 0.0.0.0:" + std::to_string(kPort)};
    sshd = std::make_unique<testing_support::SshDeviceServer>(commands / "device.sh", listen);
  }

  // What a device's stored lines are: the command's echo, then the configuration.
  static std::vector<std::string> Expected() {
    std::vector<std::string> expected{"show running-config"};
    for (const auto& line : ThreeHundredLines()) expected.push_back(line);
    return expected;
  }

  std::vector<std::unique_ptr<testing_support::FakeDevice>> devices;
  testing_support::TempFolder commands;
  std::unique_ptr<testing_support::SshDeviceServer> sshd;
};

// A device's stored lines in key order, or none.
inline std::vector<std::string> StoredLines(const mirvale::DeviceDatabaseMap& devices, const std::string& address) {
  std::vector<std::string> lines;
  const mirvale::CDbItem* device = devices.Find(std::string(kPool) + "/" + address);
  if (device == nullptr) return lines;
  for (size_t key = 1; const mirvale::CDbQuery* query = device->m_pQueries.Find(std::to_string(key)); ++key)
    lines.push_back(query->m_strValue);
  return lines;
}

inline std::optional<mirvale::ScanDatabase> WaitForFinishedScan(
    const testing_support::ServiceProcess& service, const std::string& startedAfter, std::chrono::seconds limit,
    std::chrono::milliseconds poll = std::chrono::milliseconds(50)) {
  auto deadline = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < deadline) {
    if (auto bytes = platform::ReadWholeFile(service.ProgramFile("Mirvale.sdb"))) {
      mirvale::ScanDatabase scan = mirvale::DecodeScanDatabase(*bytes);
      if (scan.header.m_strScanStatus == "Finished" && scan.header.m_strScanStart != startedAfter) return scan;
    }
    std::this_thread::sleep_for(poll);
  }
  return std::nullopt;
}

}  // namespace shell_pool_testing
