#pragma once
// The fake device's command line (FakeDevice in "ssh" mode) served by OpenSSH sshd on loopback:
// sshd runs it (ForceCommand) for a test account that exists only in sshd's own mount
// namespace and logs in by password, so the device greets its user with privileges already.
// Link the test with remoteshell_net_test_support and mirvale_remoteshell_ssh_internals.
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "common/settings_file.h"
#include "tests/remoteshell/ssh_test_support.h"

namespace testing_support {

inline constexpr const char* kSshUser = "mirvaletest";
inline constexpr const char* kSshPassword = "Secret-1";

class SshDeviceServer {
 public:
  // command: what sshd runs for every login; extra: further sshd configuration lines.
  explicit SshDeviceServer(const std::string& command, std::vector<std::string> extra = {})
      : account_(kSshUser, kSshPassword) {
    // Up to 16 conversations log in at once: sshd must not drop unauthenticated connections.
    extra.insert(extra.end(), {"PasswordAuthentication yes", "KbdInteractiveAuthentication no", "MaxAuthTries 2",
                               "MaxStartups 100", "ForceCommand " + command});
    sshd_ = std::make_unique<ssh_testing::Sshd>(extra, true, &account_);
  }

  bool ready() const { return sshd_->ready(); }
  int port() const { return sshd_->port(); }
  std::string Log() const { return sshd_->Log(); }

  // Makes a shell pool log in to this server by password instead of telnet. sshd forks and
  // executes itself anew for every connection: on a loaded machine its greeting alone may keep
  // the device silent for over a second, so the time-out is three seconds at least.
  void Serve(mirvale::CPoolItem& pool, const std::string& password = kSshPassword) const {
    pool.m_bTelnet = 0;
    pool.m_bSsh = 1;
    pool.m_nTimeout = std::max(pool.m_nTimeout, 3u);
    pool.m_nShellPort = static_cast<uint32_t>(port());
    pool.m_strShellUser = kSshUser;
    pool.m_strShellPassword = password;
  }

 private:
  ssh_testing::TestAccount account_;
  std::unique_ptr<ssh_testing::Sshd> sshd_;
};

}  // namespace testing_support
