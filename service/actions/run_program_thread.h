#pragma once
// The run-program action: one program, started with an argument vector (no shell), optionally
// as another account, and waited for. With a user name or password given, the program runs only
// after that account has logged on: a failed logon runs nothing rather than running the
// program as the service's own account. Without credentials a service running as root runs the
// program as its unprivileged account (see run_account.h). The domain is kept for the record
// and not used.
#include <string>
#include <vector>

namespace mirvale {

enum class RunOutcome { Ran, NotStarted, LogonFailed };

class CConfigurationRunThread {
 public:
  CConfigurationRunThread(std::string program, std::vector<std::string> arguments, std::string user,
                          std::string domain, std::string password);

  // Runs the program and returns when it has ended (the starter gives this a thread of its own).
  RunOutcome Run() const;

 private:
  std::string program_;
  std::vector<std::string> arguments_;
  std::string user_;
  std::string domain_;
  std::string password_;
};

}  // namespace mirvale
