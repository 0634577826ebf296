// SSH-2 public-key logins against OpenSSH sshd on loopback: RSA and DSA key files in our own
// format (made from ssh-keygen keys), keys held by a real ssh-agent, a key the server refuses
// falling through to the password, and a server that wants a key and then a password.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "remoteshell/core/prompt_set.h"
#include "tests/crypto/keyfile_test_support.h"
#include "tests/remoteshell/ssh_test_support.h"

namespace {

using namespace ssh_testing;
using testing_support::ScopedEnv;

class SshPublicKey : public keyfile_test::KeyFiles {
 protected:
  SshPublicKey() {
    // Only the keys named here are allowed in; sshd reads the file as the account.
    std::ofstream keys(account_.home() / "authorized_keys");
    keys << keyfile_test::read_file(path("openssh_rsa.pub")) << keyfile_test::read_file(path("openssh_dsa.pub"));
    keys.close();
    chmod((account_.home() / "authorized_keys").c_str(), 0644);
    RunCommand("ssh-keygen -q -t ed25519 -N '' -f " + stray_ / "key" + " >/dev/null");
  }
  std::vector<std::string> SshdConfig(const std::string& extra) const {
    return {extra, "PubkeyAcceptedAlgorithms +ssh-rsa,ssh-dss", "KbdInteractiveAuthentication no",
            "AuthorizedKeysFile " + account_.home() / "authorized_keys"};
  }
  SessionConfig Config(const std::string& key_file, bool try_agent) const {
    SessionConfig config = ClientConfig();
    std::strcpy(config.user_name, account_.user().c_str());
    std::strcpy(config.remote_command, "exit 0");
    std::strcpy(config.public_key_file.path, key_file.empty() ? "" : path(key_file).c_str());
    config.try_agent = try_agent ? 1 : 0;
    config.no_pty = 1;
    return config;
  }
  Outcome Login(const Sshd& sshd, const std::string& key_file, bool try_agent, const std::string& answer = "") {
    seen_.Reset(answer);
    return Converse(sshd.port(), Config(key_file, try_agent));
  }

  TempFolder folder_;
  ScopedEnv registry_{"MIRVALE_REGISTRY_ROOT", folder_ / "registry"};
  ScopedEnv no_agent_{"SSH_AUTH_SOCK", ""};
  TestAccount account_{"mirvaletest", "Secret-1"};
  TempFolder stray_;  // a key the server does not know
  LoginAnswers seen_;
};

TEST_F(SshPublicKey, RsaAndDsaKeyFilesLogInWithoutAPasswordAndAWrongPassphraseIsGivenUp) {
  Sshd sshd(SshdConfig("PasswordAuthentication no"), true, &account_);
  ASSERT_TRUE(sshd.ready());

  Outcome rsa = Login(sshd, "v2_rsa_plain.key", false);
  EXPECT_TRUE(rsa.Logged("Reading private key file \"" + path("v2_rsa_plain.key") + "\""));
  EXPECT_TRUE(rsa.Logged("Offered public key")) << rsa.AllEvents() << sshd.Log();
  EXPECT_TRUE(rsa.Logged("Offer of public key accepted"));
  EXPECT_TRUE(rsa.Logged("Access granted"));
  EXPECT_EQ(rsa.exit_status, 0);
  EXPECT_TRUE(seen_.asked.empty());

  Outcome dsa = Login(sshd, "v2_dsa_pass.key", false, passphrase());
  EXPECT_TRUE(dsa.Logged("Access granted")) << dsa.AllEvents() << seen_.errors;
  ASSERT_EQ(seen_.asked.size(), 1u);
  EXPECT_EQ(seen_.asked[0], "Passphrase for key \"dsa key\": ");

  Outcome wrong = Login(sshd, "v2_dsa_pass.key", false, "not the pass phrase");
  EXPECT_FALSE(wrong.Logged("Access granted"));
  EXPECT_EQ(seen_.asked.size(), 3u);
  EXPECT_EQ(seen_.errors,
            "Wrong passphrase\r\nWrong passphrase\r\nWrong passphrase\r\n"
            "Unable to load private key (wrong passphrase)\r\n");
  EXPECT_EQ(wrong.fatal, "Disconnected: No supported authentication methods available");

  Outcome unusable = Login(sshd, "openssh_rsa", false);
  EXPECT_TRUE(unusable.Logged("Unable to use this key file (OpenSSH SSH-2 private key)")) << unusable.AllEvents();
  EXPECT_FALSE(unusable.Logged("Offered public key"));
}

TEST_F(SshPublicKey, AgentKeysComeFirstAndARefusedKeyFallsThroughToThePassword) {
  std::ofstream(account_.home() / "authorized_keys") << keyfile_test::read_file(path("openssh_rsa.pub"));
  Sshd sshd(SshdConfig("PasswordAuthentication yes"), true, &account_);
  ASSERT_TRUE(sshd.ready());
  Agent agent({stray_ / "key", path("openssh_rsa")});
  ASSERT_EQ(agent.added(), 2);
  ScopedEnv use_agent("SSH_AUTH_SOCK", agent.socket());

  Outcome both = Login(sshd, "", true);
  EXPECT_TRUE(both.Logged("Mirshagent is running. Requesting keys.")) << both.AllEvents();
  EXPECT_TRUE(both.Logged("Mirshagent has 2 SSH-2 keys"));
  EXPECT_TRUE(both.Logged("Trying Mirshagent key #0"));
  EXPECT_TRUE(both.Logged("Server refused public key"));
  EXPECT_TRUE(both.Logged("Trying Mirshagent key #1"));
  EXPECT_TRUE(both.Logged("Sending Mirshagent's response"));
  EXPECT_TRUE(both.Logged("Access granted"));
  EXPECT_TRUE(seen_.asked.empty());
  EXPECT_EQ(seen_.errors, "");

  // The key file's key is in the agent: that key alone, through the agent.
  Outcome matching = Login(sshd, "v2_rsa_plain.key", true);
  EXPECT_TRUE(matching.Logged("Mirshagent key #1 matches configured key file")) << matching.AllEvents();
  EXPECT_FALSE(matching.Logged("Trying Mirshagent key #0"));
  EXPECT_FALSE(matching.Logged("Offered public key"));
  EXPECT_TRUE(matching.Logged("Access granted"));

  // A key file that is neither in the agent nor known to the server: refused, then the password.
  Outcome refused = Login(sshd, "v2_dsa_plain.key", true, "Secret-1");
  EXPECT_TRUE(refused.Logged("Configured key file not in Mirshagent"));
  EXPECT_TRUE(refused.Logged("Offered public key"));
  EXPECT_TRUE(refused.Logged("Server refused public key")) << refused.AllEvents();
  EXPECT_EQ(seen_.errors, "Server refused our key\r\n");
  EXPECT_TRUE(refused.Logged("Sent password"));
  EXPECT_TRUE(refused.Logged("Access granted"));
  ASSERT_EQ(seen_.asked.size(), 1u);
  EXPECT_EQ(seen_.asked[0], "mirvaletest@127.0.0.1's password: ");
}

TEST_F(SshPublicKey, PartialSuccessAsksForThePasswordAfterTheKey) {
  Sshd sshd(SshdConfig("AuthenticationMethods publickey,password"), true, &account_);
  ASSERT_TRUE(sshd.ready());
  Outcome outcome = Login(sshd, "v2_rsa_plain.key", false, "Secret-1");
  EXPECT_TRUE(outcome.Logged("Offer of public key accepted")) << outcome.AllEvents() << sshd.Log();
  EXPECT_TRUE(outcome.Logged("Further authentication required"));
  EXPECT_EQ(seen_.errors, "Further authentication required\r\n");
  EXPECT_TRUE(outcome.Logged("Sent password"));
  EXPECT_TRUE(outcome.Logged("Access granted"));
  EXPECT_EQ(outcome.exit_status, 0);
}

}  // namespace
