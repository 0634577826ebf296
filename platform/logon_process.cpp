#include "platform/logon_process.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <grp.h>
#include <linux/close_range.h>
#include <pwd.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace platform {

namespace {

constexpr char kDefaultPath[] = "/usr/local/bin:/usr/bin:/bin";

// Everything the child needs, prepared before fork: between fork and exec a child of a
// threaded process may only make plain system calls.
struct ExecPlan {
  std::vector<std::string> candidates;  // paths to try in order
  std::vector<std::string> argumentText;
  std::vector<std::string> environmentText;
  std::vector<char*> argv;
  std::vector<char*> envp;  // empty: the caller's environment
};

std::vector<std::string> Candidates(const std::string& program, const std::string& searchPath) {
  if (program.find('/') != std::string::npos) return {program};
  std::vector<std::string> candidates;
  size_t start = 0;
  for (;;) {
    size_t colon = searchPath.find(':', start);
    std::string folder = searchPath.substr(start, colon == std::string::npos ? std::string::npos : colon - start);
    candidates.push_back((folder.empty() ? std::string(".") : folder) + "/" + program);
    if (colon == std::string::npos) break;
    start = colon + 1;
  }
  return candidates;
}

ExecPlan MakePlan(const std::string& program, const std::vector<std::string>& arguments,
                  const AccountIdentity* account) {
  ExecPlan plan;
  std::string searchPath = kDefaultPath;
  if (account != nullptr) {
    plan.environmentText = {"HOME=" + account->home, "USER=" + account->name, "LOGNAME=" + account->name,
                            "SHELL=" + account->shell, std::string("PATH=") + kDefaultPath};
  } else if (const char* path = getenv("PATH"); path != nullptr && *path != '\0') {
    searchPath = path;
  }
  plan.candidates = Candidates(program, searchPath);
  plan.argumentText.push_back(program);
  plan.argumentText.insert(plan.argumentText.end(), arguments.begin(), arguments.end());
  for (auto& text : plan.argumentText) plan.argv.push_back(text.data());
  plan.argv.push_back(nullptr);
  for (auto& text : plan.environmentText) plan.envp.push_back(text.data());
  if (!plan.envp.empty()) plan.envp.push_back(nullptr);
  return plan;
}

struct ChildFailure {
  int stage;  // 1 streams, 2 identity, 3 exec
  int error;
};

[[noreturn]] void FailChild(int pipeFd, int stage) {
  ChildFailure failure{stage, errno};
  ssize_t ignored = write(pipeFd, &failure, sizeof failure);
  (void)ignored;
  _exit(127);
}

[[noreturn]] void RunChild(const ExecPlan& plan, const AccountIdentity* account, int pipeFd) {
  sigset_t none;
  sigemptyset(&none);
  sigprocmask(SIG_SETMASK, &none, nullptr);
  // Ignored signals stay ignored across exec; the program gets the defaults instead.
  for (int number = 1; number < NSIG; ++number) {
    if (number != SIGKILL && number != SIGSTOP) signal(number, SIG_DFL);
  }
  setsid();

  int null = open("/dev/null", O_RDWR);
  if (null < 0 || dup2(null, 0) < 0 || dup2(null, 1) < 0 || dup2(null, 2) < 0) FailChild(pipeFd, 1);
  if (null > 2) close(null);
  // Nothing the service holds open (sockets, databases) may reach the program.
  syscall(SYS_close_range, 3U, ~0U, CLOSE_RANGE_CLOEXEC);

  if (account != nullptr) {
    if (setgroups(account->groups.size(), account->groups.data()) != 0 || setgid(account->gid) != 0 ||
        setuid(account->uid) != 0) {
      FailChild(pipeFd, 2);
    }
    // Paranoia: a process that could take root back has not really left it.
    if (getuid() != account->uid || geteuid() != account->uid ||
        (account->uid != 0 && setuid(0) == 0)) {
      errno = EPERM;
      FailChild(pipeFd, 2);
    }
    if (chdir(account->home.c_str()) != 0 && chdir("/") != 0) FailChild(pipeFd, 2);
  }

  char* const* envp = plan.envp.empty() ? environ : plan.envp.data();
  int error = ENOENT;
  for (const std::string& candidate : plan.candidates) {
    execve(candidate.c_str(), plan.argv.data(), envp);
    if (errno != ENOENT || error == ENOENT) error = errno;
  }
  errno = error;
  FailChild(pipeFd, 3);
}

std::string FailureText(const ChildFailure& failure) {
  const char* stage = failure.stage == 1 ? "standard streams" : failure.stage == 2 ? "identity" : "exec";
  return std::string(stage) + ": " + std::strerror(failure.error);
}

}  // namespace

std::optional<AccountIdentity> LookUpAccount(const std::string& name) {
  std::vector<char> buffer(16384);
  passwd entry{};
  passwd* found = nullptr;
  if (name.empty() || getpwnam_r(name.c_str(), &entry, buffer.data(), buffer.size(), &found) != 0 ||
      found == nullptr) {
    return std::nullopt;
  }
  AccountIdentity account{found->pw_name, found->pw_uid, found->pw_gid, {}, found->pw_dir, found->pw_shell};
  int count = 64;
  for (;;) {
    account.groups.resize(static_cast<size_t>(count));
    int asked = count;
    if (getgrouplist(found->pw_name, found->pw_gid, account.groups.data(), &count) >= 0) {
      account.groups.resize(static_cast<size_t>(count));
      break;
    }
    if (count <= asked) count = asked * 2;
  }
  return account;
}

ProgramRun RunProgramAndWait(const std::string& program, const std::vector<std::string>& arguments,
                             const AccountIdentity* account) {
  ProgramRun run;
  ExecPlan plan = MakePlan(program, arguments, account);
  int pipeFds[2];
  if (pipe2(pipeFds, O_CLOEXEC) != 0) {
    run.error = std::string("pipe: ") + std::strerror(errno);
    return run;
  }
  pid_t child = fork();
  if (child < 0) {
    run.error = std::string("fork: ") + std::strerror(errno);
    close(pipeFds[0]);
    close(pipeFds[1]);
    return run;
  }
  if (child == 0) {
    close(pipeFds[0]);
    RunChild(plan, account, pipeFds[1]);
  }
  close(pipeFds[1]);
  ChildFailure failure{};
  ssize_t got;
  do {
    got = read(pipeFds[0], &failure, sizeof failure);
  } while (got < 0 && errno == EINTR);
  close(pipeFds[0]);

  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  if (got == static_cast<ssize_t>(sizeof failure)) {
    run.error = FailureText(failure);
    return run;
  }
  run.started = true;
  run.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : WIFSIGNALED(status) ? 128 + WTERMSIG(status) : -1;
  return run;
}

}  // namespace platform
