// The folders operators share, as the real MirvaleSrv leaves them: registration and the service's
// start, in either order, give the data folder (3770) and the run folder (0750) to the operators'
// group and keep the level above reachable; the sticky bit keeps a member from renaming root's
// files there; an account that is not root is told "Couldn't open service manager" by
// registration and unregistration, never aborted. The group is a temporary account's own.
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/atomic_file.h"
#include "platform/folders.h"
#include "tests/support/service_process.h"
#include "tests/support/shared_stage.h"
#include "tests/support/temporary_account.h"

extern char** environ;

namespace {

using testing_support::ServiceProcess;
using testing_support::TemporaryAccount;

// Runs check in a child process as the account (its own group only); its result, or -1.
template <typename Check>
int As(const TemporaryAccount& account, Check check) {
  const pid_t child = fork();
  if (child == 0) {
    const passwd* entry = getpwnam(account.Name().c_str());
    if (!entry || setgroups(0, nullptr) != 0 || setgid(entry->pw_gid) != 0 || setuid(entry->pw_uid) != 0) _exit(255);
    _exit(check());
  }
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The sticky data folder refuses with EPERM, the run folder, closed to members, with EACCES.
bool Refused(int error) { return error == EPERM || error == EACCES; }

struct Outcome {
  int status = 0;  // wait status
  std::string output;
};

// MirvaleSrv with the arguments, run by the account with the service's folders.
Outcome RunServiceAs(const TemporaryAccount& account, const ServiceProcess& service,
                     const std::vector<std::string>& arguments) {
  const std::string outputPath = service.Root() + "/as-" + account.Name() + ".out";
  const std::string program = testing_support::SharedStage::Get().Copy(ServiceProcess::Binary());
  const pid_t child = fork();
  if (child == 0) {
    const int out = open(outputPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (out < 0 || dup2(out, 1) < 0 || dup2(out, 2) < 0) _exit(255);
    for (const auto& [name, value] : service.Environment()) setenv(name.c_str(), value.c_str(), 1);
    const passwd* entry = getpwnam(account.Name().c_str());
    if (!entry || setgroups(0, nullptr) != 0 || setgid(entry->pw_gid) != 0 || setuid(entry->pw_uid) != 0) _exit(255);
    std::vector<std::string> words{program};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (auto& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    execve(argv[0], argv.data(), environ);
    _exit(127);
  }
  Outcome outcome;
  waitpid(child, &outcome.status, 0);
  outcome.output = platform::ReadWholeFile(outputPath).value_or("");
  return outcome;
}

void ExpectFolder(const std::string& path, unsigned mode, gid_t group) {
  struct stat info {};
  ASSERT_EQ(lstat(path.c_str(), &info), 0) << path;
  EXPECT_TRUE(S_ISDIR(info.st_mode)) << path;
  EXPECT_EQ(info.st_mode & 07777, mode) << path;
  EXPECT_EQ(info.st_gid, group) << path;
}

class SharedFolders : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(geteuid(), 0u) << "makes accounts";
    ASSERT_TRUE(member_.Made() && outsider_.Made());
  }

  // A service whose operators are the member's group, with none of its data folder's levels yet
  // and the registry store where its lock would make missing levels.
  std::unique_ptr<ServiceProcess> FreshService() {
    auto service = std::make_unique<ServiceProcess>();
    service->SetEnv("MIRVALE_OPERATOR_GROUP", member_.Name());
    service->SetEnv("MIRVALE_REGISTRY_ROOT", service->Root() + "/common/Oskavel/registry");
    std::error_code ignored;
    std::filesystem::remove_all(service->Root() + "/common/Oskavel", ignored);
    chmod(service->Root().c_str(), 0755);
    return service;
  }

  void ExpectShared(const ServiceProcess& service) {
    const gid_t group = getgrnam(member_.Name().c_str())->gr_gid;
    ExpectFolder(service.Root() + "/common/Oskavel", 0755, 0);
    ExpectFolder(service.DataFolder(), 03770, group);
    ExpectFolder(service.RunFolder(), 0750, group);
    const std::string data = service.DataFolder();
    EXPECT_EQ(As(member_, [&] { return access(data.c_str(), W_OK | X_OK) == 0 ? 1 : 0; }), 1);
    EXPECT_EQ(As(outsider_, [&] { return access(data.c_str(), X_OK) == 0 ? 1 : 0; }), 0);
  }

  TemporaryAccount member_{"mvmem"};
  TemporaryAccount outsider_{"mvout"};
};

TEST_F(SharedFolders, RegistrationAndStartShareTheFoldersInEitherOrder) {
  {
    SCOPED_TRACE("registration first");
    auto service = FreshService();
    ASSERT_TRUE(service->Register());
    ExpectShared(*service);
    ASSERT_TRUE(service->Start());
    ExpectShared(*service);
    EXPECT_TRUE(service->Stop());
  }
  {
    SCOPED_TRACE("start first");
    auto service = FreshService();
    ASSERT_TRUE(service->Start());
    ExpectShared(*service);
    ASSERT_TRUE(service->Register());
    ExpectShared(*service);
    EXPECT_TRUE(service->Stop());
  }
}

TEST_F(SharedFolders, AFolderThatCannotBeSharedIsLogged) {
  auto service = FreshService();
  service->SetEnv("MIRVALE_OPERATOR_GROUP", "mirvale-no-such-group");
  ASSERT_TRUE(service->Start());
  EXPECT_TRUE(service->Stop());
  // Unregistered, the service writes its messages to standard output.
  const std::string output = platform::ReadWholeFile(service->OutputPath()).value_or("");
  const std::string reason = " with the operators' group mirvale-no-such-group (";
  EXPECT_NE(output.find("Couldn't share " + service->DataFolder() + reason + "3770): the group does not exist"),
            std::string::npos)
      << output;
  EXPECT_NE(output.find("Couldn't share " + service->RunFolder() + reason + "0750): the group does not exist"),
            std::string::npos)
      << output;
}

TEST_F(SharedFolders, ARunFolderAnotherAccountOwnsIsRefusedAndNotListenedIn) {
  auto service = FreshService();
  const std::string run = service->RunFolder();
  ASSERT_TRUE(platform::CreateFolderLevels(run, 0700));
  ASSERT_EQ(chown(run.c_str(), member_.Uid(), 0), 0);
  EXPECT_FALSE(service->Start());
  const std::string output = platform::ReadWholeFile(service->OutputPath()).value_or("");
  const std::string uid = std::to_string(member_.Uid());
  EXPECT_NE(output.find("Couldn't share " + run + " with the operators' group " + member_.Name() +
                        " (0750): it belongs to uid " + uid),
            std::string::npos)
      << output;
  const auto events = service->EventLines();
  EXPECT_NE(std::find_if(events.begin(), events.end(),
                         [&](const std::string& line) {
                           return line.find("Couldn't listen at " + run + "/control: " + run + " belongs to uid " +
                                            uid) != std::string::npos;
                         }),
            events.end())
      << ::testing::PrintToString(events);
  EXPECT_EQ(access((run + "/control").c_str(), F_OK), -1);
}

TEST_F(SharedFolders, MembersCannotRenameRootsFilesAndNonRootAccountsCannotRegister) {
  auto service = FreshService();
  ASSERT_TRUE(service->Register());
  ASSERT_TRUE(service->Start());
  ASSERT_TRUE(platform::WriteFileAtomically(service->DataFile("root-file"), "root's\n", 0660));
  const std::string control = service->ControlSocket();
  const std::string rootFile = service->DataFile("root-file");
  for (const std::string& path : {control, rootFile}) {
    EXPECT_EQ(
        As(member_, [&] { return rename(path.c_str(), (path + ".moved").c_str()) != 0 && Refused(errno) ? 1 : 0; }), 1)
        << path;
    EXPECT_EQ(As(member_, [&] { return unlink(path.c_str()) != 0 && Refused(errno) ? 1 : 0; }), 1) << path;
  }

  for (const TemporaryAccount* account : {&outsider_, &member_}) {
    for (const char* word : {"-Service", "-UnregServer", "-RegServer"}) {
      Outcome outcome = RunServiceAs(*account, *service, {word});
      EXPECT_TRUE(WIFEXITED(outcome.status)) << word << " ended by signal " << WTERMSIG(outcome.status);
      EXPECT_NE(WEXITSTATUS(outcome.status), 0) << word;
      EXPECT_NE(outcome.output.find("Couldn't open service manager"), std::string::npos) << word << outcome.output;
    }
  }
  // Nothing of root's was undone.
  EXPECT_EQ(service->Control(4), 4u);
  EXPECT_TRUE(service->Stop());
  EXPECT_EQ(service->RunCommand({"-UnregServer"}), 0);
}

}  // namespace
