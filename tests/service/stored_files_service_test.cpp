// The real MirvaleSrv against what an operator (a member of the operators' group, who writes
// the settings and the data folder) or a full disk can do: paths in the settings get only the
// unprivileged account's rights, links, FIFOs and unreadable files cost no stored data, and a
// full disk loses nothing and tears no audit line.
#include <algorithm>
#include <fstream>

#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>

#include "common/database_files.h"
#include "common/settings_file.h"
#include "platform/atomic_file.h"
#include "platform/service_control.h"
#include "tests/support/aside_copies.h"
#include "tests/support/odbc_drivers.h"
#include "tests/support/service_process.h"
#include "tests/support/temporary_account.h"
#include "tests/support/wait_for.h"

namespace mirvale {
namespace {

using namespace std::chrono_literals;
using testing_support::AsideCopies;
using testing_support::NoticeListener;
using testing_support::ServiceProcess;

constexpr uint32_t kPrune = 133;
constexpr uint32_t kReload = 134;
constexpr uint32_t kStartScan = 136;

// A pool of one loopback address that does not answer SNMP: each scan queues one audit line.
CMirvaleDoc LoopbackScanSettings(const std::string& auditFile) {
  CMirvaleDoc doc;
  ApplyServiceDefaults(doc);
  CPoolItem& pool = doc.m_mapPools.FindOrAdd("lo");
  pool.m_bSnmpV1 = 1;
  pool.m_nTimeout = 1;
  pool.m_strReadCommunity = "public";
  pool.m_pDevices.FindOrAdd("127.0.0.1") = CDeviceItem{"127.0.0.1", "255.255.255.255"};
  doc.m_strScanPool = "lo";
  doc.m_strScanUser = "alice";
  doc.m_bScanLog = 1;
  doc.m_bLogText = 1;
  doc.m_strLogFile = auditFile;
  return doc;
}

DeviceDatabaseMap Devices(int count) {
  DeviceDatabaseMap map;
  for (int i = 1; i <= count; ++i) {
    std::string address = "10.0.0." + std::to_string(i);
    CDbItem& item = map.FindOrAdd("core/" + address);
    item.m_strPool = "core";
    item.m_strAddress = address;
    CDbQuery& value = item.m_pQueries.FindOrAdd("1.3.6.1.2.1.1.5.0");
    value.m_strKey = "1.3.6.1.2.1.1.5.0";
    value.m_strName = "sysName";
    value.m_strValue = "r" + address;
  }
  return map;
}

struct stat StatOf(const std::string& path) {
  struct stat info {};
  EXPECT_EQ(lstat(path.c_str(), &info), 0) << path;
  return info;
}

bool Logged(const ServiceProcess& service, const std::string& text) {
  auto lines = service.EventLines();
  return std::any_of(lines.begin(), lines.end(),
                     [&](const std::string& line) { return line.find(text) != std::string::npos; });
}

int CountLogged(const ServiceProcess& service, const std::string& text) {
  auto lines = service.EventLines();
  return static_cast<int>(std::count_if(lines.begin(), lines.end(),
                                        [&](const std::string& line) { return line.find(text) != std::string::npos; }));
}

// Runs one manual scan and waits for its end.
void Scan(ServiceProcess& service) {
  NoticeListener listener(service.NoticeSocket());
  ASSERT_EQ(service.Control(kStartScan), 0u);
  ASSERT_TRUE(listener.Receive(60s)) << "the scan did not end";
}

TEST(StoredFilesService, PathsInTheSettingsGetOnlyTheUnprivilegedAccountsRights) {
  ASSERT_EQ(geteuid(), 0u) << "makes an account";
  testing_support::TemporaryAccount runAccount("mvrun");
  ASSERT_TRUE(runAccount.Made());
  ServiceProcess service;
  service.SetEnv("MIRVALE_RUN_ACCOUNT", runAccount.Name());
  // A root-only file in the service's 0700 folder, named as the audit log with a retention.
  const std::string secret = service.Root() + "/secret";
  ASSERT_TRUE(platform::WriteFileAtomically(secret, "2000-01-01 00:00:00\troot only\r\n", 0640));
  // An export folder the account may write.
  testing_support::TempFolder open;
  chmod(open.path().c_str(), 0755);
  const std::string exports = open / "exports";
  std::filesystem::create_directory(exports);
  chmod(exports.c_str(), 0777);

  // The database export's file driver, registered where the account can read it.
  const std::string driver = testing_support::SqliteOdbcDriverPath();
  ASSERT_FALSE(driver.empty()) << "the SQLite ODBC driver (libsqliteodbc) is not installed";
  ASSERT_TRUE(testing_support::RegisterOdbcDriver(open.path(), "MirvaleFile", driver));
  service.SetEnv("ODBCSYSINI", open.path());
  service.SetEnv("ODBCINI", open / "odbc.ini");

  CMirvaleDoc doc = LoopbackScanSettings(secret);
  doc.m_nLogKeep = 1;
  doc.m_bExportCsv = 1;
  doc.m_strExportFolder = exports;
  doc.m_bExportAccess = 1;
  doc.m_strExportDatabase = "DBQ=" + exports + "/export.mdb";
  ASSERT_TRUE(platform::WriteFileAtomically(service.ProgramFile("Mirvale.ini"), EncodeSettings(doc)));
  ASSERT_TRUE(service.Register());  // messages go to the event log
  ASSERT_TRUE(service.Start());
  Scan(service);
  ASSERT_TRUE(service.Stop());  // the last audit flush

  struct stat after = StatOf(secret);
  EXPECT_EQ(after.st_uid, 0u);
  EXPECT_EQ(after.st_gid, 0u);
  EXPECT_EQ(after.st_mode & 07777, 0640u);
  EXPECT_EQ(platform::ReadWholeFile(secret), "2000-01-01 00:00:00\troot only\r\n");
  EXPECT_TRUE(Logged(service, "Writing the audit log " + secret + " failed (Permission denied)"));

  ASSERT_TRUE(testing_support::WaitFor([&] { return platform::FileExists(exports + "/Mirvale.csv"); }));
  struct stat exported = StatOf(exports + "/Mirvale.csv");
  EXPECT_EQ(exported.st_uid, runAccount.Uid());
  EXPECT_EQ(exported.st_gid, 0u) << "the operators' group (root's in tests)";
  EXPECT_EQ(exported.st_mode & 07777, 0640u);
  ASSERT_TRUE(testing_support::WaitFor([&] { return platform::FileExists(exports + "/export.mdb"); }));
  EXPECT_EQ(StatOf(exports + "/export.mdb").st_uid, runAccount.Uid()) << "the database driver ran with root's rights";
}

TEST(StoredFilesService, LinksFifosAndUnreadableFilesCostNoStoredData) {
  ServiceProcess service;
  const std::string ini = service.ProgramFile("Mirvale.ini");
  const std::string db = service.ProgramFile("Mirvale.db");
  std::filesystem::create_symlink("/dev/zero", ini);
  ASSERT_TRUE(platform::WriteFileAtomically(db, EncodeDeviceDatabase(Devices(39)), 0644));
  const std::string stored = *platform::ReadWholeFile(db);
  ASSERT_TRUE(platform::WriteFileAtomically(service.ProgramFile("Mirvale.db.tmp-Ab12Cd"), "cut short", 0640));
  ASSERT_TRUE(platform::WriteFileAtomically(service.ProgramFile("snmpv3_boot_counter.tmp-Ef34Gh"), "Mir", 0600));
  ASSERT_TRUE(service.Register());
  ASSERT_TRUE(service.Start());

  EXPECT_EQ(service.Control(kPrune), 0u);
  EXPECT_EQ(platform::ReadWholeFile(db), stored) << "defaults that stood in for the settings pruned";
  EXPECT_TRUE(Logged(service, "Prune skipped"));
  EXPECT_EQ(StatOf(db).st_mode & 07777, 0640u);
  EXPECT_FALSE(platform::FileExists(service.ProgramFile("Mirvale.db.tmp-Ab12Cd")));
  EXPECT_FALSE(platform::FileExists(service.ProgramFile("snmpv3_boot_counter.tmp-Ef34Gh")));

  // New settings from an operator that are no file at all: refused at once, service answering.
  const std::string offered = service.DataFile("Mirvale.ini");
  ASSERT_EQ(mkfifo(offered.c_str(), 0660), 0);
  auto started = std::chrono::steady_clock::now();
  EXPECT_EQ(service.Control(kReload, 2s), 0u);
  std::filesystem::create_symlink("/dev/zero", offered);
  EXPECT_EQ(service.Control(kReload, 2s), 0u);
  EXPECT_EQ(platform::QueryServiceState(service.ControlSocket()), platform::ServiceState::Running);
  EXPECT_LT(std::chrono::steady_clock::now() - started, 4s);
  EXPECT_EQ(AsideCopies(service.DataFolder(), "Mirvale.ini").size(), 2u);
  EXPECT_EQ(service.Control(kPrune), 0u);
  EXPECT_EQ(platform::ReadWholeFile(db), stored) << "a failed reload ended the defaults' guard";
  std::ifstream status("/proc/" + std::to_string(service.Pid()) + "/status");
  std::string line;
  long peakKb = -1;
  while (std::getline(status, line))
    if (line.rfind("VmHWM:", 0) == 0) peakKb = std::stol(line.substr(6));
  EXPECT_GT(peakKb, 0);
  EXPECT_LT(peakKb, 100 * 1024);
  ASSERT_TRUE(service.Stop(true));

  // Started again on the defaults it wrote, the service still prunes nothing.
  ASSERT_TRUE(service.Start());
  EXPECT_EQ(service.Control(kPrune), 0u);
  EXPECT_EQ(platform::ReadWholeFile(db), stored) << "a restart on defaults pruned";
  ASSERT_TRUE(service.Stop(true));

  // A second bad start keeps the first copy.
  std::filesystem::remove(ini);
  ASSERT_EQ(mkfifo(ini.c_str(), 0660), 0);
  ASSERT_TRUE(service.Start());
  ASSERT_TRUE(service.Stop(true));
  auto aside = AsideCopies(service.ProgramFolder(), "Mirvale.ini");
  ASSERT_EQ(aside.size(), 2u);
  EXPECT_TRUE(std::filesystem::is_symlink(aside[0]));
  EXPECT_TRUE(std::filesystem::is_fifo(aside[1]));
  EXPECT_EQ(platform::ReadWholeFile(db), stored);
}

// An operator's link at the audit log or the text export is never written through; the link's
// own target (root's, here) keeps its content and mode.
TEST(StoredFilesService, LinksAtTheAuditLogAndExportPathsAreNotFollowed) {
  ServiceProcess service;
  const std::string target = service.Root() + "/target";
  ASSERT_TRUE(platform::WriteFileAtomically(target, "root's own\n", 0600));
  const std::string audit = service.Root() + "/audit.log";
  const std::string exports = service.Root() + "/exports";
  std::filesystem::create_directory(exports);
  std::filesystem::create_symlink(target, audit);
  std::filesystem::create_symlink(target, exports + "/Mirvale.csv");
  CMirvaleDoc doc = LoopbackScanSettings(audit);
  doc.m_bExportCsv = 1;
  doc.m_strExportFolder = exports;
  ASSERT_TRUE(platform::WriteFileAtomically(service.ProgramFile("Mirvale.ini"), EncodeSettings(doc)));
  ASSERT_TRUE(service.Register());
  ASSERT_TRUE(service.Start());
  Scan(service);
  // Refused, or the link replaced by a file of the service's own: either way the export is done.
  EXPECT_TRUE(testing_support::WaitFor([&] {
    return Logged(service, "Text export to " + exports + "/Mirvale.csv failed") ||
           !std::filesystem::is_symlink(exports + "/Mirvale.csv");
  }));
  ASSERT_TRUE(service.Stop());  // the last audit flush

  EXPECT_TRUE(Logged(service, "Writing the audit log " + audit + " failed"));
  EXPECT_EQ(platform::ReadWholeFile(target), "root's own\n");
  EXPECT_EQ(StatOf(target).st_mode & 07777, 0600u);
}

TEST(StoredFilesService, AFullDiskIsLoggedOnceLosesNothingAndTearsNoAuditLine) {
  ASSERT_EQ(geteuid(), 0u) << "mounts a small file system in a namespace of its own";
  ASSERT_EQ(unshare(CLONE_NEWNS), 0);
  ASSERT_EQ(mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr), 0);
  ServiceProcess service;
  const std::string folder = service.ProgramFolder();
  ASSERT_EQ(mount("tmpfs", folder.c_str(), "tmpfs", 0, "size=2m,mode=0755"), 0);
  const std::string audit = folder + "/audit.log";
  ASSERT_TRUE(platform::WriteFileAtomically(folder + "/Mirvale.ini", EncodeSettings(LoopbackScanSettings(audit))));
  ASSERT_TRUE(platform::WriteFileAtomically(folder + "/Mirvale.db", EncodeDeviceDatabase(Devices(3)), 0640));
  ASSERT_TRUE(service.Register());
  ASSERT_TRUE(service.Start());
  Scan(service);
  ASSERT_TRUE(service.Stop());  // the audit log now exists with one scan line
  // Older lines fill the audit log up to a few bytes before the end of its last page, so the
  // next flush on a full disk stops inside a line.
  std::string auditBefore = platform::ReadWholeFile(audit).value_or("");
  ASSERT_NE(auditBefore.find("\talice\tScan\tlo\t127.0.0.1\t"), std::string::npos) << auditBefore;
  auditBefore += std::string(4096 - 20 - auditBefore.size() - 2, 'o') + "\r\n";
  ASSERT_TRUE(platform::WriteFileAtomically(audit, auditBefore, 0640));

  ASSERT_TRUE(service.Start());
  {
    std::ofstream filler(folder + "/filler", std::ios::binary);
    const std::string block(4096, 'x');
    while (filler.write(block.data(), block.size())) {
    }
  }
  Scan(service);
  Scan(service);
  const std::string failed = "Saving " + folder + "/Mirvale.db failed (No space left on device)";
  EXPECT_EQ(CountLogged(service, failed), 1) << "logged once";
  ASSERT_TRUE(service.Stop());
  EXPECT_TRUE(Logged(service, "Writing the audit log " + audit + " failed (No space left on device)"));
  EXPECT_EQ(platform::ReadWholeFile(audit), auditBefore) << "whole lines only";

  ASSERT_TRUE(service.Start());
  Scan(service);
  std::filesystem::remove(folder + "/filler");
  Scan(service);
  EXPECT_TRUE(Logged(service, "Saving " + folder + "/Mirvale.db works again."));
  ASSERT_TRUE(service.Stop());
  EXPECT_TRUE(AsideCopies(folder, "Mirvale.ini").empty() && AsideCopies(folder, "Mirvale.db").empty());
  auto devices = ReadDeviceDatabaseFile(folder + "/Mirvale.db");
  ASSERT_TRUE(devices);
  EXPECT_EQ(devices->size(), 3u);
  std::string written = platform::ReadWholeFile(audit).value_or("");
  EXPECT_EQ(written.rfind(auditBefore, 0), 0u);
  EXPECT_EQ(written.substr(written.size() - 2), "\r\n");
  umount2(folder.c_str(), MNT_DETACH);
}

}  // namespace
}  // namespace mirvale
