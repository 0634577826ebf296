#pragma once
// Runs a program under another account without touching the identity of the calling process:
// a child process takes the account's groups, group and user, a clean environment and
// /dev/null for its standard streams, then executes the program with an argument vector -
// never through a shell, so no argument is ever interpreted.
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace platform {

struct AccountIdentity {
  std::string name;
  uid_t uid = 0;
  gid_t gid = 0;
  std::vector<gid_t> groups;  // supplementary groups, the primary one included
  std::string home;
  std::string shell;
};

// The account from the user database; nullopt when there is no such account.
std::optional<AccountIdentity> LookUpAccount(const std::string& name);

struct ProgramRun {
  bool started = false;  // false: the program could not be executed
  int exitStatus = -1;   // exit code, or 128 + signal number when a signal ended it
  std::string error;     // why it did not start
};

// Starts program with arguments (argv[1...]) and waits for it to end, without a time limit.
// With account, the program runs as that account in its home folder with its own environment;
// without, it runs as the caller's account with the caller's environment. A program name
// without "/" is looked up in the PATH the program gets.
ProgramRun RunProgramAndWait(const std::string& program, const std::vector<std::string>& arguments,
                             const AccountIdentity* account);

}  // namespace platform
