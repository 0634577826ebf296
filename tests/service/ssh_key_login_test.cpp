// The service's SSH conversation logged in by a key file alone: no question ever comes, and the
// device's lines are collected as after a password. Without the key, an empty pool password
// cancels the password question: nothing is sent and the device is a logon failure.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "platform/registry.h"
#include "service/shell_session/shell_session_channels.h"
#include "tests/crypto/keyfile_test_support.h"
#include "tests/remoteshell/ssh_test_support.h"
#include "tests/support/fake_device.h"

namespace mirvale {
namespace {

using ssh_testing::Sshd;
using ssh_testing::TestAccount;
using testing_support::ScopedEnv;
using testing_support::TempFolder;

void UseSsh(int port, const std::string& key_file) {
  auto key = platform::RegistryKey::Open("Software\\Hollerin\\Mirsh\\Sessions\\Default%20Settings", true);
  ASSERT_TRUE(key);
  key->SetString("Protocol", "ssh");
  key->SetDword("PortNumber", static_cast<uint32_t>(port));
  key->SetString("PublicKeyFile", key_file);
}

TEST(ServiceSshKeyLogin, AKeyAloneIsLoggedInAndAnEmptyPasswordIsNeverSent) {
  std::string keys = keyfile_test::fixture_folder();
  ASSERT_FALSE(keys.empty());
  TestAccount account("mirvaletest", "Secret-1");
  std::vector<std::string> config = testing_support::SampleConfiguration(5);
  {
    std::ofstream out(account.home() / "config.txt");
    for (const auto& line : config) out << line << "\n";
    std::ofstream(account.home() / "authorized_keys") << keyfile_test::read_file(keys + "/openssh_rsa.pub");
    chmod((account.home() / "authorized_keys").c_str(), 0644);
  }
  std::string device = "/usr/bin/python3 " + testing_support::FakeDevice::Script() +
                       " --mode stdio --no-login --config " + account.home() / "config.txt";
  Sshd sshd({"PasswordAuthentication yes", "KbdInteractiveAuthentication no", "PubkeyAcceptedAlgorithms +ssh-rsa",
             "AuthorizedKeysFile " + account.home() / "authorized_keys", "ForceCommand " + device},
            true, &account);
  ASSERT_TRUE(sshd.ready());

  TempFolder registry;
  ScopedEnv registryRoot("MIRVALE_REGISTRY_ROOT", registry.path());
  ScopedEnv noAgent("SSH_AUTH_SOCK", "");
  ManualEvent stop;
  ShellConversations conversations(ShellConversations::kDefaultLimit, {}, &stop);
  CPoolItem pool;
  pool.m_bSsh = 1;
  pool.m_nRetries = 1;
  pool.m_nTimeout = 2;
  pool.m_nShellPort = static_cast<uint32_t>(sshd.port());
  pool.m_strShellUser = "mirvaletest";
  pool.m_strBackupCommand = "show running-config";

  UseSsh(sshd.port(), keys + "/v2_rsa_plain.key");
  StoredShellLines byKey = CollectStoredShellLines(conversations, "127.0.0.1", pool);
  EXPECT_FALSE(byKey.logonFailed) << sshd.Log();
  std::vector<std::string> expected{"show running-config"};
  expected.insert(expected.end(), config.begin(), config.end());
  EXPECT_EQ(byKey.lines, expected);

  UseSsh(sshd.port(), "");
  StoredShellLines noKey = CollectStoredShellLines(conversations, "127.0.0.1", pool);
  EXPECT_TRUE(noKey.logonFailed);
  EXPECT_TRUE(noKey.lines.empty());
  EXPECT_TRUE(sshd.WaitForLog("Unable to authenticate")) << sshd.Log();
  EXPECT_EQ(sshd.Log().find("Failed password"), std::string::npos);
}

}  // namespace
}  // namespace mirvale
