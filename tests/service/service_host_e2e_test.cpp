// The real MirvaleSrv in folders of its own, driven over its control socket.
#include <gtest/gtest.h>

#include <iostream>
#include <vector>

#include "common/database_files.h"
#include "common/settings_file.h"
#include "platform/atomic_file.h"
#include "platform/registry.h"
#include "platform/service_control.h"
#include "platform/unix_socket.h"
#include "tests/support/fake_systemctl.h"
#include "tests/support/service_process.h"

using namespace std::chrono_literals;
using testing_support::NoticeListener;
using testing_support::ServiceProcess;

namespace {

// The stop must not wait for the main loop's 10-second tick; the bound leaves room for a loaded
// machine without letting a missed tick pass.
constexpr auto kStopBound = 5000ms;

const std::string kDefaultIniSha256 = "cf883793669c031cf342dc9973f3ad35bc5ed2bca9f374af6612d0d774cb5843";

std::string Sha256(const std::string& path) {
  std::string command = "sha256sum '" + path + "'";
  FILE* pipe = popen(command.c_str(), "r");
  char buffer[128] = {};
  std::string out = pipe && fgets(buffer, sizeof buffer, pipe) ? buffer : "";
  if (pipe) pclose(pipe);
  return out.substr(0, 64);
}

class ServiceHost : public ::testing::Test {
 protected:
  void StartRegistered() {
    ASSERT_TRUE(service.Register());
    ASSERT_TRUE(service.Start());
  }
  ServiceProcess service;
};

mirvale::CMirvaleDoc PoolSettings() {
  mirvale::CMirvaleDoc doc;
  mirvale::ApplyServiceDefaults(doc);
  auto& pool = doc.m_mapPools.FindOrAdd("core");
  pool.m_bSnmpV1 = 1;
  pool.m_pQueries.FindOrAdd("1.3.6.1.2.1.1.5").m_strOid = "1.3.6.1.2.1.1.5";
  auto& network = pool.m_pDevices.FindOrAdd("10.0.0.0");
  network.m_strAddress = "10.0.0.0";
  network.m_strMask = "255.255.255.0";
  return doc;
}

mirvale::CDbItem Device(const std::string& pool, const std::string& address) {
  mirvale::CDbItem item;
  item.m_strPool = pool;
  item.m_strAddress = address;
  item.m_strName = address;
  return item;
}

}  // namespace

TEST_F(ServiceHost, FreshStartWritesDefaultSettingsAndStopsByCodePromptly) {
  StartRegistered();
  EXPECT_EQ(Sha256(service.ProgramFile("Mirvale.ini")), kDefaultIniSha256);
  EXPECT_TRUE(service.WaitForEventLine("Service started"));
  EXPECT_EQ(platform::QueryServiceState(service.ControlSocket()), platform::ServiceState::Running);
  auto took = service.Stop();
  ASSERT_TRUE(took);
  EXPECT_LT(*took, kStopBound);
  EXPECT_EQ(service.EventLines().back(), "Service stopped");
  EXPECT_FALSE(platform::FileExists(service.ControlSocket()));
}

TEST_F(ServiceHost, SigtermStopsPromptly) {
  StartRegistered();
  auto took = service.Stop(/*bySignal=*/true);
  ASSERT_TRUE(took);
  EXPECT_LT(*took, kStopBound);
  EXPECT_TRUE(WIFEXITED(service.ExitStatus()));
  EXPECT_EQ(WEXITSTATUS(service.ExitStatus()), 0);
  EXPECT_EQ(service.EventLines().back(), "Service stopped");
}

TEST_F(ServiceHost, UnknownCodesAreBadRequestsAndTheServiceGoesOn) {
  StartRegistered();
  EXPECT_EQ(service.Control(138), 0u);
  EXPECT_EQ(service.Control(143), 0u);
  EXPECT_EQ(service.Control(platform::kControlPause), 0u);
  auto lines = service.EventLines();
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "Bad service request"), 2);
  EXPECT_EQ(service.Control(platform::kControlInterrogate), 4u);
  EXPECT_TRUE(service.Stop());
}

// Ten clients that connect and send nothing: another client's request is answered at once, and
// a stop still ends the service promptly.
TEST_F(ServiceHost, SilentControlClientsDelayNobody) {
  StartRegistered();
  std::vector<platform::UniqueFd> silent;
  for (int i = 0; i < 10; ++i) silent.push_back(platform::ConnectUnixStream(service.ControlSocket(), false));
  auto started = std::chrono::steady_clock::now();
  EXPECT_EQ(service.Control(platform::kControlInterrogate), 4u);
  auto took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started);
  std::cout << "interrogate answered in " << took.count() << " ms beside 10 silent clients\n";
  EXPECT_LT(took, 1000ms);
  auto stopped = service.Stop();
  ASSERT_TRUE(stopped);
  EXPECT_LT(*stopped, kStopBound);
}

TEST_F(ServiceHost, ASecondInstanceLeavesTheRunningServiceAlone) {
  StartRegistered();
  EXPECT_EQ(service.RunCommand({}), 1);
  EXPECT_TRUE(service.WaitForEventLine("Handler not installed"));
  EXPECT_EQ(platform::QueryServiceState(service.ControlSocket()), platform::ServiceState::Running);
  EXPECT_TRUE(service.Stop());
}

TEST_F(ServiceHost, ServiceWordWithMoreTextRegistersNothing) {
  testing_support::ScopedEnv root("MIRVALE_REGISTRY_ROOT", service.Root() + "/registry");
  // Not a word: the program runs the service instead, unregistered, so it talks to stdout.
  ASSERT_TRUE(service.Start({"-Service", "x"}));
  EXPECT_FALSE(platform::IsServiceInstalled("Oskavel Mirvale"));
  EXPECT_FALSE(platform::FileExists(service.Root() + "/units/oskavel-mirvale.service"));
  EXPECT_TRUE(service.Stop());
  EXPECT_NE(platform::ReadWholeFile(service.OutputPath()).value_or("").find("Service started\n"), std::string::npos);
}

TEST_F(ServiceHost, RegisteringTwiceLeavesOneRegistration) {
  testing_support::ScopedEnv root("MIRVALE_REGISTRY_ROOT", service.Root() + "/registry");
  ASSERT_EQ(service.RunCommand({"/sErViCe"}), 0);
  ASSERT_EQ(service.RunCommand({"-SERVICE"}), 0);
  auto services = platform::RegistryKey::Open("HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services");
  ASSERT_TRUE(services);
  EXPECT_EQ(services->SubKeyNames(), std::vector<std::string>{"Oskavel Mirvale"});
  auto registration = platform::QueryServiceRegistration("Oskavel Mirvale");
  ASSERT_TRUE(registration);
  EXPECT_EQ(registration->programPath, ServiceProcess::Binary());
  EXPECT_EQ(registration->description, "Network devices configuration monitor.");
  EXPECT_TRUE(platform::FileExists(service.Root() + "/units/oskavel-mirvale.service"));

  // RegServer alone drops the service; UnregServer removes everything.
  ASSERT_EQ(service.RunCommand({"-RegServer"}), 0);
  EXPECT_FALSE(platform::IsServiceInstalled("Oskavel Mirvale"));
  ASSERT_EQ(service.RunCommand({"-UnregServer"}), 0);
  EXPECT_FALSE(platform::RegistryKey::Open("HKEY_CLASSES_ROOT\\AppID\\MirvaleSrv.EXE"));
}

TEST_F(ServiceHost, ReloadMovesTheNewSettingsNotifiesAndIgnoresAFileThatDoesNotParse) {
  StartRegistered();
  mirvale::CMirvaleDoc doc = PoolSettings();
  doc.m_strSmtpServer = "mail.example.test";
  const std::string bytes = mirvale::EncodeSettings(doc);
  ASSERT_TRUE(platform::WriteFileAtomically(service.DataFile("Mirvale.ini"), bytes));
  {
    // Every desktop learns that the settings changed.
    NoticeListener listener(service.NoticeSocket());
    EXPECT_EQ(service.Control(134), 0u);
    EXPECT_EQ(listener.Receive(), std::string("Update Database\0", 16));
  }
  EXPECT_EQ(platform::ReadWholeFile(service.ProgramFile("Mirvale.ini")), bytes);
  EXPECT_FALSE(platform::FileExists(service.DataFile("Mirvale.ini")));

  // A device of pool core, then a broken settings file: the service must keep pool core, so a
  // prune afterwards keeps the device.
  ASSERT_TRUE(platform::WriteFileAtomically(service.DataFile("Mirvale.ini"), "\x05garbage"));
  EXPECT_EQ(service.Control(134), 0u);
  EXPECT_EQ(platform::ReadWholeFile(service.ProgramFile("Mirvale.ini")), bytes);
  EXPECT_TRUE(service.Stop());

  mirvale::DeviceDatabaseMap devices;
  devices.Set("core/10.0.0.7", Device("core", "10.0.0.7"));
  ASSERT_TRUE(mirvale::SaveDeviceDatabaseFile(service.ProgramFile("Mirvale.db"), devices));
  ASSERT_TRUE(service.Start());
  ASSERT_TRUE(platform::WriteFileAtomically(service.DataFile("Mirvale.ini"), "\x05garbage"));
  EXPECT_EQ(service.Control(134), 0u);
  EXPECT_EQ(service.Control(133), 0u);
  auto after = mirvale::ReadDeviceDatabaseFile(service.ProgramFile("Mirvale.db"));
  ASSERT_TRUE(after);
  EXPECT_TRUE(after->Contains("core/10.0.0.7"));
  EXPECT_TRUE(service.Stop());
}

TEST_F(ServiceHost, PruneKeepsWhatTheSettingsHoldAndNotifiesAListener) {
  ASSERT_TRUE(platform::WriteFileAtomically(service.ProgramFile("Mirvale.ini"), mirvale::EncodeSettings(PoolSettings())));
  mirvale::DeviceDatabaseMap devices;
  auto& kept = devices.Set("core/10.0.0.7", Device("core", "10.0.0.7"));
  auto& removedQuery = kept.m_pQueries.FindOrAdd("1.3.6.1.2.1.1.1.0");
  removedQuery.m_strKey = "1.3.6.1.2.1.1.1.0";
  removedQuery.m_strQueryOid = "1.3.6.1.2.1.1.1";
  auto& keptQuery = kept.m_pQueries.FindOrAdd("1.3.6.1.2.1.1.5.0");
  keptQuery.m_strKey = "1.3.6.1.2.1.1.5.0";
  keptQuery.m_strQueryOid = "1.3.6.1.2.1.1.5";
  kept.m_pQueries.FindOrAdd("1").m_strValue = "hostname core-1";
  devices.Set("gone/10.0.0.8", Device("gone", "10.0.0.8"));
  devices.Set("core/10.0.1.9", Device("core", "10.0.1.9"));
  ASSERT_TRUE(mirvale::SaveDeviceDatabaseFile(service.ProgramFile("Mirvale.db"), devices));

  StartRegistered();
  NoticeListener listener(service.NoticeSocket());
  ASSERT_TRUE(listener.Listening());
  EXPECT_EQ(service.Control(133), 0u);
  EXPECT_EQ(listener.Receive(), std::string("Update Database\0", 16));

  auto after = mirvale::ReadDeviceDatabaseFile(service.ProgramFile("Mirvale.db"));
  ASSERT_TRUE(after);
  ASSERT_EQ(after->size(), 1u);
  const mirvale::CDbItem* device = after->Find("core/10.0.0.7");
  ASSERT_TRUE(device);
  EXPECT_FALSE(device->m_pQueries.Contains("1.3.6.1.2.1.1.1.0"));
  EXPECT_TRUE(device->m_pQueries.Contains("1.3.6.1.2.1.1.5.0"));
  EXPECT_TRUE(device->m_pQueries.Contains("1"));
  auto scans = mirvale::ReadScanDatabaseFile(service.ProgramFile("Mirvale.sdb"));
  ASSERT_TRUE(scans);
  EXPECT_TRUE(scans->map.empty());

  // Nobody listening: the prune still completes.
  EXPECT_EQ(service.Control(133), 0u);
  EXPECT_TRUE(service.Stop());
}

TEST_F(ServiceHost, ManualScanOfAnUnknownPoolFinishesAndNotifies) {
  mirvale::CMirvaleDoc doc = PoolSettings();
  doc.m_strScanPool = "absent";
  doc.m_strScanUser = "alice";
  ASSERT_TRUE(platform::WriteFileAtomically(service.ProgramFile("Mirvale.ini"), mirvale::EncodeSettings(doc)));
  StartRegistered();
  NoticeListener listener(service.NoticeSocket());
  EXPECT_EQ(service.Control(136), 0u);
  EXPECT_EQ(listener.Receive(), std::string("Update Database\0", 16));
  auto scans = mirvale::ReadScanDatabaseFile(service.ProgramFile("Mirvale.sdb"));
  ASSERT_TRUE(scans);
  EXPECT_EQ(scans->header.m_strScanStatus, "Finished");
  EXPECT_EQ(service.Control(137), 0u);
  EXPECT_TRUE(service.Stop());
}

TEST_F(ServiceHost, ScanResultsQueuedForTheAuditLogAreWrittenWhenTheServiceStops) {
  mirvale::CMirvaleDoc doc = PoolSettings();
  auto& pool = doc.m_mapPools.FindOrAdd("lo");
  pool.m_bSnmpV1 = 1;
  pool.m_nTimeout = 1;
  pool.m_strReadCommunity = "public";
  auto& device = pool.m_pDevices.FindOrAdd("127.0.0.1");
  device.m_strAddress = "127.0.0.1";
  device.m_strMask = "255.255.255.255";
  doc.m_strScanPool = "lo";
  doc.m_strScanUser = "alice";
  doc.m_bScanLog = 1;
  doc.m_bLogText = 1;
  doc.m_strLogFile = service.Root() + "/audit.log";
  ASSERT_TRUE(platform::WriteFileAtomically(service.ProgramFile("Mirvale.ini"), mirvale::EncodeSettings(doc)));
  StartRegistered();
  NoticeListener listener(service.NoticeSocket());
  EXPECT_EQ(service.Control(136), 0u);
  ASSERT_EQ(listener.Receive(std::chrono::seconds(60)), std::string("Update Database\0", 16));
  EXPECT_TRUE(service.Stop());
  std::string audit = platform::ReadWholeFile(service.Root() + "/audit.log").value_or("");
  EXPECT_EQ(audit.rfind("Date\tUser\tOperation\tPool\tIp\tName\tStatus\r\n", 0), 0u) << audit;
  EXPECT_NE(audit.find("\talice\tScan\tlo\t127.0.0.1\t"), std::string::npos) << audit;
}

TEST_F(ServiceHost, TheRegisteredProgramStartsDetachedAndStopsByCode) {
  using testing_support::ScopedEnv;
  ScopedEnv program("MIRVALE_PROGRAM_FOLDER", service.ProgramFolder());
  ScopedEnv data("MIRVALE_COMMON_APPDATA", service.Root() + "/common");
  ScopedEnv run("MIRVALE_RUN_DIR", service.RunFolder());
  ScopedEnv registry("MIRVALE_REGISTRY_ROOT", service.Root() + "/registry");
  ScopedEnv events("MIRVALE_EVENTLOG", service.EventLogPath());
  ScopedEnv units("MIRVALE_SYSTEMD_DIR", service.Root() + "/units");
  ScopedEnv rules("MIRVALE_POLKIT_RULES_DIR", service.Root() + "/polkit");
  ScopedEnv noSystemd("MIRVALE_SYSTEMD_MARKER", service.Root() + "/no-systemd");
  ASSERT_TRUE(service.Register());
  auto lines = service.EventLines();
  EXPECT_EQ(std::count(lines.begin(), lines.end(),
                       "Service control without systemd: the service runs as a process of its own"),
            1);
  EXPECT_FALSE(platform::FileExists(service.Root() + "/polkit/50-oskavel-mirvale.rules")) << "a rule for no systemd";
  ASSERT_TRUE(platform::StartInstalledService("Oskavel Mirvale"));
  auto deadline = std::chrono::steady_clock::now() + 20s;
  while (platform::QueryServiceState() != platform::ServiceState::Running && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(5ms);
  EXPECT_EQ(platform::QueryServiceState(), platform::ServiceState::Running);
  EXPECT_EQ(platform::SendServiceControl(platform::kControlStop), 0u);
  EXPECT_TRUE(service.WaitForEventLine("Service stopped"));
  EXPECT_EQ(platform::QueryServiceState(), platform::ServiceState::Stopped);
}

TEST_F(ServiceHost, UnderSystemdRegistrationEnablesTheUnitAndUnregistrationTakesItAway) {
  testing_support::ScopedEnv root("MIRVALE_REGISTRY_ROOT", service.Root() + "/registry");
  testing_support::FakeSystemctl systemctl;
  for (const auto& [name, value] : systemctl.Environment()) service.SetEnv(name, value);
  const std::string unit = service.Root() + "/units/oskavel-mirvale.service";
  const std::string rule = service.Root() + "/polkit/50-oskavel-mirvale.rules";
  ASSERT_TRUE(service.Register());
  EXPECT_EQ(systemctl.TakeCalls(), "daemon-reload\nenable oskavel-mirvale.service\n");
  EXPECT_TRUE(platform::FileExists(unit));
  EXPECT_TRUE(platform::FileExists(rule));
  auto lines = service.EventLines();
  EXPECT_EQ(lines, std::vector<std::string>{"Service control through systemd"}) << "said once";

  // A second registration replaces the first: stopped, disabled and reloaded before.
  ASSERT_TRUE(service.Register());
  EXPECT_EQ(systemctl.TakeCalls(),
            "stop oskavel-mirvale.service\ndisable oskavel-mirvale.service\ndaemon-reload\n"
            "daemon-reload\nenable oskavel-mirvale.service\n");

  // A refused stop keeps everything, and says why in systemd's words.
  systemctl.Refuse("stop", "Failed to stop oskavel-mirvale.service: Access denied");
  EXPECT_EQ(service.RunCommand({"-UnregServer"}), 0);
  EXPECT_TRUE(platform::FileExists(unit));
  EXPECT_EQ(platform::ReadWholeFile(service.OutputPath()).value_or(""),
            "Oskavel Mirvale: Service could not be deleted\nFailed to stop oskavel-mirvale.service: Access denied\n");
  // A unit systemd has not loaded counts as stopped: the rest is taken away.
  systemctl.TakeCalls();
  systemctl.Refuse("stop", "Failed to stop oskavel-mirvale.service: Unit oskavel-mirvale.service not loaded.", 5);
  EXPECT_EQ(service.RunCommand({"-UnregServer"}), 0);
  EXPECT_EQ(systemctl.TakeCalls(), "stop oskavel-mirvale.service\ndisable oskavel-mirvale.service\ndaemon-reload\n");
  EXPECT_FALSE(platform::FileExists(unit));
  EXPECT_FALSE(platform::FileExists(rule));
  EXPECT_FALSE(platform::IsServiceInstalled("Oskavel Mirvale"));
}
