#include "service/actions/run_program_thread.h"

#include <unistd.h>

#include "platform/logon_process.h"
#include "platform/run_account.h"
#include "service/actions/run_program_logon.h"
#include "service/host/service_log.h"

namespace mirvale {

CConfigurationRunThread::CConfigurationRunThread(std::string program, std::vector<std::string> arguments,
                                                 std::string user, std::string domain, std::string password)
    : program_(std::move(program)), arguments_(std::move(arguments)), user_(std::move(user)),
      domain_(std::move(domain)), password_(std::move(password)) {}

RunOutcome CConfigurationRunThread::Run() const {
  std::optional<platform::AccountIdentity> account;
  if (!user_.empty() || !password_.empty()) {
    LogonResult logon = user_.empty() ? LogonResult{false, "no user name"} : LogonUser(user_, password_);
    if (logon.ok) account = platform::LookUpAccount(user_);
    if (!account) {
      LogServiceWarning("Run action " + program_ + ": logon of " + user_ + " failed (" +
                        (logon.ok ? std::string("no such account") : logon.reason) + "); nothing run");
      return RunOutcome::LogonFailed;
    }
  } else if (geteuid() == 0) {
    // Operators write the settings, so a program they name never runs as root.
    account = platform::LookUpAccount(platform::RunAccountName());
    if (!account) {
      LogServiceWarning("Run action " + program_ + ": the account " + platform::RunAccountName() +
                        " does not exist; nothing run");
      return RunOutcome::NotStarted;
    }
  }
  platform::ProgramRun run = platform::RunProgramAndWait(program_, arguments_, account ? &*account : nullptr);
  if (!run.started) {
    LogServiceWarning("Run action " + program_ + " could not be started: " + run.error);
    return RunOutcome::NotStarted;
  }
  return RunOutcome::Ran;
}

}  // namespace mirvale
