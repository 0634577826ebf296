// SSH-2 logins and the session channel against OpenSSH sshd on loopback, with a test account
// that exists only in sshd's mount namespace: password, keyboard-interactive through PAM, a
// refused password, and a command whose megabyte of output needs the window to be opened again.
#include <gtest/gtest.h>

#include "remoteshell/core/prompt_set.h"
#include "remoteshell/core/session_log.h"
#include "tests/remoteshell/backend_test_support.h"
#include "tests/remoteshell/ssh_test_support.h"

namespace {

using namespace ssh_testing;
using testing_support::ScopedEnv;

class SshLogin : public testing::Test {
 protected:
  SessionConfig Config(const char* command) const {
    SessionConfig config = ClientConfig();
    std::strcpy(config.user_name, account_.user().c_str());
    std::strcpy(config.remote_command, command);
    config.auth_ki = 1;
    config.no_pty = 1;
    return config;
  }

  TempFolder folder_;
  ScopedEnv registry_{"MIRVALE_REGISTRY_ROOT", folder_ / "registry"};
  TestAccount account_{"mirvaletest", "Secret-1"};
  LoginAnswers answers_;
};

TEST_F(SshLogin, PasswordLoginRunsACommandWhoseOutputArrivesWholeWithItsExitStatus) {
  Sshd sshd({"PasswordAuthentication yes", "KbdInteractiveAuthentication no", "MaxAuthTries 3"}, true, &account_);
  ASSERT_TRUE(sshd.ready());
  answers_.reply = "Secret-1";
  Outcome outcome = Converse(sshd.port(), Config("head -c 1048576 /dev/zero; exit 3"));
  EXPECT_EQ(answers_.output.size(), 1048576u) << outcome.AllEvents() << sshd.Log();
  EXPECT_EQ(outcome.exit_status, 3);
  EXPECT_TRUE(outcome.Logged("Sent password"));
  EXPECT_TRUE(outcome.Logged("Access granted"));
  EXPECT_TRUE(outcome.Logged("Opened channel for session"));
  EXPECT_TRUE(outcome.Logged("Server sent command exit status 3"));
  EXPECT_TRUE(outcome.Logged("Disconnected: All channels closed"));
  EXPECT_EQ(outcome.fatal, "");
  ASSERT_EQ(answers_.asked.size(), 1u);
  EXPECT_EQ(answers_.asked[0], "mirvaletest@127.0.0.1's password: ");

  // A wrong password is refused until the server gives up on us.
  answers_.Reset("wrong");
  Outcome refused = Converse(sshd.port(), Config("true"));
  EXPECT_TRUE(refused.Logged("Access denied")) << refused.AllEvents();
  EXPECT_FALSE(refused.Logged("Access granted"));
  EXPECT_NE(refused.fatal, "");

  // With "ChangeUsername" a refused password brings the login name question back.
  answers_.Reset("wrong");
  SessionConfig change = Config("true");
  change.change_username = 1;
  Converse(sshd.port(), change);
  ASSERT_GE(answers_.asked.size(), 2u);
  EXPECT_EQ(answers_.asked[1], "login as: ");

  // "SshNoAuth" asks for the connection service straight away, which sshd refuses.
  answers_.Reset();
  SessionConfig no_auth = Config("true");
  no_auth.ssh_no_auth = 1;
  Outcome skipped = Converse(sshd.port(), no_auth);
  EXPECT_TRUE(skipped.Logged("Disconnection message text: bad service request ssh-connection")) << skipped.AllEvents();
  EXPECT_TRUE(answers_.asked.empty());
  EXPECT_FALSE(skipped.accepted);
}

TEST_F(SshLogin, KeyboardInteractiveThroughPamWithAPseudoTerminal) {
  Sshd sshd({"UsePAM yes", "PasswordAuthentication no", "KbdInteractiveAuthentication yes"}, true, &account_);
  ASSERT_TRUE(sshd.ready());
  answers_.reply = "Secret-1";
  SessionConfig config = Config("echo hello; exit 0");
  config.no_pty = 0;
  Outcome outcome = Converse(sshd.port(), config);
  EXPECT_TRUE(outcome.Logged("Access granted")) << outcome.AllEvents() << sshd.Log();
  EXPECT_TRUE(outcome.Logged("Allocated pty (ospeed 38400bps, ispeed 38400bps)"));
  EXPECT_FALSE(outcome.Logged("Sent password"));
  EXPECT_EQ(outcome.exit_status, 0);
  EXPECT_GE(answers_.output.size(), 5u);
  ASSERT_EQ(answers_.asked.size(), 1u);
  EXPECT_EQ(answers_.asked[0], "Password: ");
}

TEST(SshLoginParsing, KeyboardInteractiveCountsAreCheckedAgainstThePacket) {
  WireBuffer request;
  request.put_string("name");
  request.put_string("");
  request.put_string("");
  request.put_uint32(0x40000000);  // far more prompts than the packet holds
  request.put_string("Password: ");
  request.put_bool(false);
  EXPECT_EQ(ssh2_ki_prompts(nullptr, request.bytes().data(), request.bytes().size()), nullptr);

  WireBuffer none;
  none.put_string("");
  none.put_string("");
  none.put_string("");
  none.put_uint32(0);
  PromptSet* empty = ssh2_ki_prompts(nullptr, none.bytes().data(), none.bytes().size());
  ASSERT_NE(empty, nullptr);
  EXPECT_EQ(empty->count, 0);
  EXPECT_STREQ(empty->title, "SSH server authentication");
  prompt_set_free(empty);

  EXPECT_EQ(ssh2_window_add(0xFFFFFF00u, 0x1000u), 0xFFFFFFFFu);
  EXPECT_EQ(ssh2_window_add(10, 20), 30u);
}

// A packet's whole length on the wire (length field, then the rest) from the bytes sent.
size_t WireLength(const std::string& sent) {
  if (sent.size() < 4) return 0;
  auto byte = [&](int i) { return static_cast<size_t>(static_cast<unsigned char>(sent[i])); };
  return 4 + ((byte(0) << 24) | (byte(1) << 16) | (byte(2) << 8) | byte(3));
}

TEST(SshLoginParsing, PasswordPacketsArePaddedAndBlankedInThePacketLog) {
  TempFolder home;
  ScopedEnv seed("HOME", home.path());
  backend_testing::Connection c(ssh_backend, ClientConfig());
  c.Write("SSH-2.0-test\r\n");
  c.Read();  // our version line and KEXINIT
  auto* ssh = static_cast<SshSession*>(c.handle());
  ASSERT_NE(ssh, nullptr);
  WireBuffer request;
  request.put_byte(50);
  request.put_string("u");
  request.put_string("ssh-connection");
  request.put_string("password");
  request.put_bool(false);
  size_t secret_from = request.bytes().size();
  request.put_string("Secret-9");
  // The packet log shows the password as X's.
  SessionConfig logged = ClientConfig();
  logged.log_type = kLogPackets;
  std::strcpy(logged.log_file_name.path, (home / "packets.log").c_str());
  ssh->log = logging_open_context(nullptr, &logged);
  ssh2_send_now(ssh, request, secret_from);
  logging_free_context(ssh->log);
  ssh->log = nullptr;
  std::ifstream log_file(home / "packets.log");
  std::string log((std::istreambuf_iterator<char>(log_file)), std::istreambuf_iterator<char>());
  EXPECT_NE(log.find("XX XX XX XX XX XX XX XX XX XX XX XX"), std::string::npos) << log;
  EXPECT_EQ(log.find("Secret"), std::string::npos) << log;
  EXPECT_NE(log.find("(SSH2_MSG_USERAUTH_REQUEST)"), std::string::npos) << log;
  size_t padded = WireLength(c.Read());
  EXPECT_GE(padded, 256u);
  EXPECT_EQ(padded % 8, 0u);
  ssh2_send_now(ssh, request);
  EXPECT_LT(WireLength(c.Read()), 128u);
}

}  // namespace
