// The real MirvaleSrv as root against a hostile member of a temporary operators' group: the
// settings store the service reads as its own, the database export's file path, the member's
// terminal and a huge sparse file as the audit log, and the control socket's name in the run
// folder. The group and the accounts are removed after each test.
#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <pwd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>

#include "common/database_files.h"
#include "common/settings_file.h"
#include "platform/atomic_file.h"
#include "platform/registry.h"
#include "platform/service_control.h"
#include "tests/support/fake_device.h"
#include "tests/support/odbc_drivers.h"
#include "tests/support/operators_group.h"
#include "tests/support/service_process.h"
#include "tests/support/ssh_device.h"
#include "tests/support/temporary_account.h"
#include "tests/support/wait_for.h"

namespace mirvale {
namespace {

using namespace std::chrono_literals;
using testing_support::As;
using testing_support::NoticeListener;
using testing_support::ServiceProcess;
using testing_support::TemporaryAccount;

constexpr uint32_t kPrune = 133;
constexpr uint32_t kReload = 134;
constexpr uint32_t kStartScan = 136;
constexpr char kDefaultSession[] = "Software\\Hollerin\\Mirsh\\Sessions\\Default%20Settings";

using Accounts = testing_support::OperatorsGroup;

class OperatorAttacksService : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(geteuid(), 0u) << "makes accounts";
    ASSERT_TRUE(accounts.Made());
    accounts.Prepare(service);
  }
  Accounts accounts;
  ServiceProcess service;
};

bool Logged(const ServiceProcess& service, const std::string& text) {
  auto lines = service.EventLines();
  return std::any_of(lines.begin(), lines.end(),
                     [&](const std::string& line) { return line.find(text) != std::string::npos; });
}

// A folder anyone may write, as an operator's own folder would be.
std::string OpenFolder(const ServiceProcess& service, const std::string& name) {
  std::string folder = service.Root() + "/" + name;
  mkdir(folder.c_str(), 0777);
  chmod(folder.c_str(), 01777);
  return folder;
}

// The client's default session in a store at root: SSH packets logged to logFile.
bool WriteSessionLogSettings(const std::string& root, const std::string& logFile) {
  testing_support::ScopedEnv store("MIRVALE_REGISTRY_ROOT", root);
  auto key = platform::RegistryKey::Open(kDefaultSession, true);
  return key && key->SetDword("LogType", 3) && key->SetString("LogFileName", logFile);
}

// The same as a member writes it, in the store's file form.
bool WriteStoreByHand(const std::string& root, const std::string& logFile) {
  std::string key = root + "/Software/Hollerin/Mirsh/Sessions/Default%20Settings";
  std::error_code error;
  std::filesystem::create_directories(key, error);
  return platform::WriteFileAtomically(key + "/.values", "D LogType\t3\nS LogFileName\t" + logFile + "\n");
}

void ScanOnce(ServiceProcess& service) {
  NoticeListener listener(service.NoticeSocket());
  ASSERT_EQ(service.Control(kStartScan), 0u);
  ASSERT_TRUE(listener.Receive(90s)) << "the scan did not end";
}

TEST_F(OperatorAttacksService, OnlyRootsSettingsStoreIsReadAndItsSessionLogIsTheRunAccounts) {
  testing_support::FakeDevice device(testing_support::FakeDeviceOptions{.mode = "ssh", .page = 400});
  testing_support::SshDeviceServer sshd(device.Command());
  ASSERT_TRUE(sshd.ready());
  service.SetEnv("MIRVALE_REGISTRY_ROOT", "");  // the store's own place
  CMirvaleDoc doc;
  ApplyServiceDefaults(doc);
  CPoolItem& pool = doc.m_mapPools.FindOrAdd("routers");
  pool.m_nRetries = 1;
  pool.m_strPrivilegedCommand = "enable";
  pool.m_strPrivilegedPassword = "enablepw";
  pool.m_strBackupCommand = "show running-config";
  pool.m_pDevices.FindOrAdd("127.0.0.1") = CDeviceItem{"127.0.0.1", "255.255.255.255"};
  sshd.Serve(pool);
  pool.m_nTimeout = 5;
  doc.m_strScanPool = "routers";
  doc.m_strScanUser = "admin";
  ASSERT_TRUE(platform::WriteFileAtomically(service.ProgramFile("Mirvale.ini"), EncodeSettings(doc)));
  const std::string former = service.DataFolder() + "/registry";
  const std::string store = service.Root() + "/common/Oskavel/registry";
  const std::string logs = OpenFolder(service, "logs");

  // A member's store where earlier versions kept root's, asking for a session log: refused,
  // never moved, never read.
  ASSERT_EQ(chown(service.DataFolder().c_str(), 0, accounts.GroupId()), 0);
  ASSERT_EQ(chmod(service.DataFolder().c_str(), 02770), 0);
  ASSERT_EQ(As(accounts.Member(), [&] { return WriteStoreByHand(former, logs + "/swapped.log") ? 0 : 1; }), 0);
  ASSERT_TRUE(service.Register());
  ASSERT_TRUE(service.Start());
  ScanOnce(service);
  EXPECT_TRUE(Logged(service, "The settings store " + former + " was not moved to " + store + ": " + former +
                                  " belongs to uid " + std::to_string(accounts.Member().Uid())));
  EXPECT_FALSE(platform::FileExists(logs + "/swapped.log"));
  ASSERT_TRUE(service.Stop());
  // The store's place is not the operators' to rename.
  EXPECT_NE(As(accounts.Member(), [&] { return rename(store.c_str(), (store + ".x").c_str()) == 0 ? 0 : 1; }), 0);

  // Root's store left there by an earlier version is moved once, setting for setting; its
  // session log is opened with the run account's rights.
  std::filesystem::remove_all(former);
  ASSERT_TRUE(WriteSessionLogSettings(store, logs + "/session.log"));
  ASSERT_EQ(rename(store.c_str(), former.c_str()), 0);
  ASSERT_TRUE(service.Start());
  ScanOnce(service);
  EXPECT_TRUE(Logged(service, "The settings store moved from " + former + " to " + store));
  EXPECT_FALSE(platform::FileExists(former));
  struct stat log {};
  ASSERT_EQ(lstat((logs + "/session.log").c_str(), &log), 0)
      << "no session log was written: " << platform::ReadWholeFile(service.EventLogPath()).value_or("");
  EXPECT_EQ(log.st_uid, accounts.RunAccount().Uid());
  EXPECT_TRUE(S_ISREG(log.st_mode));
}

TEST_F(OperatorAttacksService, DatabaseFilePathAddsNoDriverAttributeAndFollowsNoLink) {
  ASSERT_TRUE(service.Register());  // its messages go to the event log
  const std::string folder = OpenFolder(service, "exports");
  const std::string driver = testing_support::SqliteOdbcDriverPath();
  ASSERT_FALSE(driver.empty()) << "the SQLite ODBC driver (libsqliteodbc) is not installed";
  ASSERT_TRUE(testing_support::RegisterOdbcDriver(folder, "MirvaleFile", driver));
  service.SetEnv("ODBCSYSINI", folder);
  service.SetEnv("ODBCINI", folder + "/odbc.ini");
  // The outsider's file that anyone may write, and the member's link to it.
  const std::string victim = service.Root() + "/victim";
  ASSERT_TRUE(platform::WriteFileAtomically(victim, "outsider's\n", 0666));
  ASSERT_EQ(chown(victim.c_str(), accounts.Outsider().Uid(), 0), 0);
  ASSERT_EQ(As(accounts.Member(), [&] { return symlink(victim.c_str(), (folder + "/link.mdb").c_str()); }), 0);

  CMirvaleDoc doc;
  ApplyServiceDefaults(doc);
  doc.m_bExportAccess = 1;
  doc.m_strExportDatabase = "DBQ={" + folder + "/x.mdb;LoadExt=" + folder + "/lib.so;}";
  ASSERT_TRUE(platform::WriteFileAtomically(service.ProgramFile("Mirvale.ini"), EncodeSettings(doc)));
  ASSERT_TRUE(service.Start());
  ASSERT_EQ(service.Control(kPrune), 0u);
  EXPECT_TRUE(testing_support::WaitFor(
      [&] { return Logged(service, "Database export: refused (the DBQ= value is not a plain file path"); }));

  doc.m_strExportDatabase = "DBQ=" + folder + "/link.mdb";
  ASSERT_TRUE(platform::WriteFileAtomically(service.DataFile("Mirvale.ini"), EncodeSettings(doc)));
  ASSERT_EQ(service.Control(kReload), 0u);
  ASSERT_EQ(service.Control(kPrune), 0u);
  EXPECT_TRUE(testing_support::WaitFor([&] {
    return Logged(service, "Database export: the file " + folder + "/link.mdb is refused (it is a symbolic link)");
  }));
  EXPECT_EQ(platform::ReadWholeFile(victim), "outsider's\n");

  // A plain path: made by the run account, 0640 in the operators' group.
  doc.m_strExportDatabase = "DBQ=" + folder + "/export.mdb";
  ASSERT_TRUE(platform::WriteFileAtomically(service.DataFile("Mirvale.ini"), EncodeSettings(doc)));
  ASSERT_EQ(service.Control(kReload), 0u);
  ASSERT_EQ(service.Control(kPrune), 0u);
  ASSERT_TRUE(testing_support::WaitFor([&] { return platform::FileExists(folder + "/export.mdb"); }));
  struct stat made {};
  ASSERT_EQ(lstat((folder + "/export.mdb").c_str(), &made), 0);
  EXPECT_EQ(made.st_uid, accounts.RunAccount().Uid());
  EXPECT_EQ(made.st_gid, accounts.GroupId());
  EXPECT_EQ(made.st_mode & 07777, 0640u);
}

// The tty_nr field of /proc/<pid>/stat: 0 while the process has no controlling terminal.
long ControllingTerminal(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
  std::istringstream fields(text.substr(text.rfind(')') + 2));
  std::string state;
  long parent = 0, group = 0, session = 0, tty = -1;
  fields >> state >> parent >> group >> session >> tty;
  return tty;
}

// The status line's value in kB, such as VmHWM, or the io line's value, such as rchar.
long long ProcValue(pid_t pid, const std::string& file, const std::string& name) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/" + file);
  for (std::string line; std::getline(in, line);)
    if (line.rfind(name + ":", 0) == 0) return std::stoll(line.substr(name.size() + 1));
  return -1;
}

TEST_F(OperatorAttacksService, MembersTerminalAsAuditLogNeverBecomesTheServicesTerminal) {
  int master = -1, slave = -1;
  char name[256] = {};
  ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
  // The member's own terminal, opened up for anyone.
  ASSERT_EQ(chown(name, accounts.Member().Uid(), 0), 0);
  ASSERT_EQ(chmod(name, 0666), 0);
  service.SetNewSession();
  CMirvaleDoc doc;
  ApplyServiceDefaults(doc);
  doc.m_bScanLog = 1;
  doc.m_bLogText = 1;
  doc.m_strLogFile = name;
  ASSERT_TRUE(platform::WriteFileAtomically(service.ProgramFile("Mirvale.ini"), EncodeSettings(doc)));
  ASSERT_TRUE(service.Start());  // the audit log is looked at while loading
  EXPECT_EQ(ControllingTerminal(service.Pid()), 0);
  ASSERT_TRUE(service.Stop());
  close(slave);
  close(master);
}

// The settings may name any file of the run account as the audit log: neither the start nor a
// retention pass that rewrites it makes it more open than it was, so a private one stays private,
// in its own group, while a log the service created keeps its shared mode.
TEST_F(OperatorAttacksService, ARunAccountsPrivateFileNamedAsAuditLogStaysPrivate) {
  const std::string folder = OpenFolder(service, "private");
  const struct {
    std::string path;
    unsigned mode;
    gid_t group;
  } logs[] = {{folder + "/secret", 0600, 0}, {folder + "/audit.log", 0640, accounts.GroupId()}};
  for (const auto& log : logs) {
    ASSERT_TRUE(platform::WriteFileAtomically(log.path, "2000-01-01 00:00:00\told\r\nthe run account's own\n", 0600));
    ASSERT_EQ(chown(log.path.c_str(), accounts.RunAccount().Uid(), log.group), 0);
    ASSERT_EQ(chmod(log.path.c_str(), log.mode), 0);
    CMirvaleDoc doc;
    ApplyServiceDefaults(doc);
    doc.m_bScanLog = 1;
    doc.m_bLogText = 1;
    doc.m_strLogFile = log.path;
    doc.m_nLogKeep = 1;
    doc.m_nLogKeepUnit = 2;
    ASSERT_TRUE(platform::WriteFileAtomically(service.ProgramFile("Mirvale.ini"), EncodeSettings(doc)));
    ASSERT_TRUE(service.Start());  // the audit log is looked at while loading
    ASSERT_TRUE(service.Stop());   // the last flush drops the old line
    EXPECT_EQ(platform::ReadWholeFile(log.path), "the run account's own\n");
    struct stat after {};
    ASSERT_EQ(lstat(log.path.c_str(), &after), 0);
    EXPECT_EQ(after.st_mode & 07777, log.mode) << log.path;
    EXPECT_EQ(after.st_gid, log.group) << log.path;
  }
  EXPECT_NE(As(accounts.Member(), [&] { return open(logs[0].path.c_str(), O_RDONLY) >= 0 ? 0 : 1; }), 0);
}

TEST_F(OperatorAttacksService, RetentionOfAGibibyteSparseAuditLogKeepsMemorySmall) {
  const std::string audit = OpenFolder(service, "audit") + "/audit.log";
  constexpr long long kGibibyte = 1LL << 30;
  ASSERT_EQ(As(accounts.Member(),
               [&] {
                 int fd = open(audit.c_str(), O_CREAT | O_WRONLY, 0666);
                 return fd >= 0 && ftruncate(fd, kGibibyte) == 0 && fchmod(fd, 0666) == 0 ? 0 : 1;
               }),
            0);
  CMirvaleDoc doc;
  ApplyServiceDefaults(doc);
  doc.m_bScanLog = 1;
  doc.m_bLogText = 1;
  doc.m_strLogFile = audit;
  doc.m_nLogKeep = 1;
  doc.m_nLogKeepUnit = 2;
  ASSERT_TRUE(platform::WriteFileAtomically(service.ProgramFile("Mirvale.ini"), EncodeSettings(doc)));
  ASSERT_TRUE(service.Start());
  // The first tick's flush reads the whole file once.
  ASSERT_TRUE(
      testing_support::WaitFor([&] { return ProcValue(service.Pid(), "io", "rchar") >= kGibibyte; }, 90s, 100ms));
  long long peak = ProcValue(service.Pid(), "status", "VmHWM");
  EXPECT_GT(peak, 0);
  EXPECT_LT(peak, 100 * 1024) << "kB";
  ASSERT_TRUE(service.Stop());
}

TEST_F(OperatorAttacksService, AControlSocketOfAMembersIsNeitherTalkedToNorKept) {
  // The run folder as an earlier version shared it, open to members.
  ASSERT_EQ(chown(service.RunFolder().c_str(), 0, accounts.GroupId()), 0);
  ASSERT_EQ(chmod(service.RunFolder().c_str(), 01770), 0);
  const std::string control = service.ControlSocket();
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  const uid_t member = accounts.Member().Uid();
  const gid_t group = accounts.GroupId();
  pid_t listener = fork();
  if (listener == 0) {
    if (setgroups(1, &group) != 0 || setgid(group) != 0 || setuid(member) != 0) _exit(1);
    int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", control.c_str());
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(fd, 4) != 0) _exit(1);
    (void)!write(ready[1], "x", 1);
    for (;;) close(accept(fd, nullptr, nullptr));
  }
  char byte = 0;
  ASSERT_EQ(read(ready[0], &byte, 1), 1);
  EXPECT_EQ(platform::SendServiceControl(platform::kControlInterrogate, control, 2s), std::nullopt);
  // The listener counts, not the name's owner, which may change between a look and a connection.
  ASSERT_EQ(chown(control.c_str(), 0, 0), 0);
  EXPECT_EQ(platform::SendServiceControl(platform::kControlInterrogate, control, 2s), std::nullopt);

  ASSERT_TRUE(service.Start());
  EXPECT_TRUE(
      Logged(service, "Removed " + control + ", which belonged to uid " + std::to_string(accounts.Member().Uid())));
  struct stat socket {};
  ASSERT_EQ(lstat(control.c_str(), &socket), 0);
  EXPECT_EQ(socket.st_uid, 0u);
  // Nor may the member move the service's socket away.
  EXPECT_NE(As(accounts.Member(), [&] { return rename(control.c_str(), (control + ".x").c_str()) == 0 ? 0 : 1; }), 0);
  ASSERT_TRUE(service.Stop());
  kill(listener, SIGKILL);
  waitpid(listener, nullptr, 0);
}

TEST_F(OperatorAttacksService, AMembersFolderAtTheControlSocketsNameNeverKeepsTheServiceDown) {
  const std::string run = service.RunFolder();
  const std::string control = service.ControlSocket();
  const std::string rootFile = service.Root() + "/root-file";
  ASSERT_TRUE(platform::WriteFileAtomically(rootFile, "root's\n", 0600));
  // Left 1770 by an earlier version: the member's folder at the name, with a link to root's file.
  ASSERT_EQ(chown(run.c_str(), 0, accounts.GroupId()), 0);
  ASSERT_EQ(chmod(run.c_str(), 01770), 0);
  ASSERT_EQ(As(accounts.Member(),
               [&] {
                 return mkdir(control.c_str(), 0777) == 0 && mkdir((control + "/inner").c_str(), 0777) == 0 &&
                                symlink(rootFile.c_str(), (control + "/inner/link").c_str()) == 0 &&
                                symlink(service.Root().c_str(), (control + "/root").c_str()) == 0
                            ? 0
                            : 1;
               }),
            0);
  // The member makes the folder again and again while the service restarts.
  pid_t looper = fork();
  if (looper == 0) {
    const passwd* entry = getpwnam(accounts.Member().Name().c_str());
    if (!entry || initgroups(entry->pw_name, entry->pw_gid) != 0 || setgid(entry->pw_gid) != 0 ||
        setuid(entry->pw_uid) != 0)
      _exit(1);
    for (;;) mkdir(control.c_str(), 0777);
  }
  for (int start = 0; start < 3; ++start) {
    SCOPED_TRACE("start " + std::to_string(start));
    EXPECT_TRUE(service.Start());
    struct stat info {};
    ASSERT_EQ(lstat(run.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0750u);
    EXPECT_EQ(info.st_uid, 0u);
    ASSERT_EQ(lstat(control.c_str(), &info), 0);
    EXPECT_TRUE(S_ISSOCK(info.st_mode));
    EXPECT_EQ(info.st_mode & 07777, 0660u);
    EXPECT_TRUE(service.Stop());
    // As an earlier version left it, for the next start.
    ASSERT_EQ(chmod(run.c_str(), 01770), 0);
  }
  kill(looper, SIGKILL);
  waitpid(looper, nullptr, 0);
  EXPECT_TRUE(
      Logged(service, "Removed " + control + ", which belonged to uid " + std::to_string(accounts.Member().Uid())));
  EXPECT_EQ(platform::ReadWholeFile(rootFile).value_or(""), "root's\n");
  EXPECT_EQ(access(service.Root().c_str(), F_OK), 0);
}

TEST_F(OperatorAttacksService, NoticesReachOnlySocketsAtTheirNamesNeverThroughAMembersLink) {
  ASSERT_TRUE(service.Register());  // its messages go to the event log
  CMirvaleDoc doc;
  ApplyServiceDefaults(doc);
  doc.m_mapPools.FindOrAdd("routers");  // real settings: defaults alone prune nothing
  ASSERT_TRUE(platform::WriteFileAtomically(service.ProgramFile("Mirvale.ini"), EncodeSettings(doc)));
  ASSERT_TRUE(service.Start());
  const std::string data = service.DataFolder();
  const std::string hidden = service.Root() + "/root-only";
  ASSERT_EQ(mkdir(hidden.c_str(), 0700), 0);
  NoticeListener rootOnly(hidden + "/socket");
  ASSERT_TRUE(rootOnly.Listening());
  for (const char* name : {"/OskavelMirvale", "/OskavelMirvale.link"})
    ASSERT_EQ(As(accounts.Member(), [&] { return symlink((hidden + "/socket").c_str(), (data + name).c_str()); }), 0);
  // A desktop's socket, and one left by a desktop that was killed.
  NoticeListener desktop(data + "/OskavelMirvale.0.42");
  ASSERT_TRUE(desktop.Listening());
  { platform::UniqueFd stale = platform::ListenUnixStream(data + "/OskavelMirvale.0.43", 0660, 1); }

  ASSERT_EQ(service.Control(kPrune), 0u);
  EXPECT_EQ(desktop.Receive(), std::string("Update Database\0", 16));
  EXPECT_EQ(rootOnly.Receive(2s), std::nullopt);
  EXPECT_FALSE(platform::FileExists(data + "/OskavelMirvale.0.43"));
  EXPECT_TRUE(Logged(service, "Notice not sent to " + data + "/OskavelMirvale.link: it is not a socket"));
  ASSERT_TRUE(service.Stop());
}

}  // namespace
}  // namespace mirvale
