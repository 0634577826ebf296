// SSH-2 logins and the session channel against OpenSSH sshd on loopback, with a test account
// that exists only in sshd's mount namespace: password, keyboard-interactive through PAM, a
// refused password, a command whose megabyte of output needs the window to be opened again, and
// the session controls (terminal size, break, signals, EOF) with the packet log.
#include <map>
#include <regex>

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
  ScopedEnv runAccount_{"MIRVALE_RUN_ACCOUNT", "root"};  // whose rights write the session log
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

std::string FileText(const std::string& path) {
  std::ifstream in(path);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The packet log's dumps (the lines after each heading) by type, and the name each type had.
std::vector<std::pair<int, std::string>> PacketDumps(const std::string& log, std::map<int, std::string>* names) {
  std::vector<std::pair<int, std::string>> dumps;
  std::regex heading("(Incoming|Outgoing) packet type (\\d+) / 0x[0-9a-f]{2} \\(([^)]*)\\)\r\n");
  size_t dump_start = 0;
  for (auto it = std::sregex_iterator(log.begin(), log.end(), heading); it != std::sregex_iterator(); ++it) {
    if (!dumps.empty()) dumps.back().second = log.substr(dump_start, static_cast<size_t>(it->position()) - dump_start);
    int type = std::stoi((*it)[2]);
    (*names)[type] = (*it)[3];
    dumps.emplace_back(type, "");
    dump_start = static_cast<size_t>(it->position() + it->length());
  }
  if (!dumps.empty()) dumps.back().second = log.substr(dump_start);
  return dumps;
}

TEST_F(SshLogin, TerminalSizeAndBreakReachTheServerAndThePacketLogLeavesChannelDataOut) {
  Sshd sshd({"PasswordAuthentication yes", "KbdInteractiveAuthentication no"}, true, &account_);
  ASSERT_TRUE(sshd.ready());
  answers_.reply = "Secret-1";
  // The marker exists only once the remote shell has worked it out, so only channel data carries it.
  SessionConfig config =
      Config("echo MARK-$((6*7))-ER; stty size; while [ \"$(stty size)\" = '24 80' ]; do sleep 0.1; done; stty size");
  config.no_pty = 0;
  config.log_type = kLogPackets;
  config.log_omit_data = 1;
  std::strcpy(config.log_file_name.path, (folder_ / "packets.log").c_str());
  SessionLog* log = logging_open_context(nullptr, &config);
  prepare_session = [log](SshSession* ssh) { ssh->log = log; };
  bool resized = false;
  Outcome outcome = Converse(
      sshd.port(), config,
      [&](SshSession* ssh) {
        if (!resized && answers_.output.find("24 80") != std::string::npos) {
          ssh_backend.resize(ssh, 100, 40);
          ssh_backend.send_special(ssh, kSpecialBreak);
          resized = true;
        }
        return true;
      },
      "127.0.0.1", true);
  prepare_session = nullptr;
  logging_free_context(log);
  EXPECT_NE(answers_.output.find("MARK-42-ER"), std::string::npos) << outcome.AllEvents() << sshd.Log();
  EXPECT_NE(answers_.output.find("40 100"), std::string::npos) << answers_.output;
  EXPECT_TRUE(sshd.WaitForLog("request window-change reply 0"));
  EXPECT_TRUE(sshd.WaitForLog("request break reply 0"));

  std::string text = FileText(folder_ / "packets.log");
  EXPECT_EQ(text.find("MARK-42-ER"), std::string::npos) << text;
  std::map<int, std::string> names;
  int data_packets = 0;
  for (const auto& [type, dump] : PacketDumps(text, &names)) {
    if (type != 94 && type != 95) continue;
    ++data_packets;
    EXPECT_TRUE(std::regex_search(dump, std::regex("^  [0-9a-f]{8}  .*\r\n  \\(\\d+ bytes? omitted\\)\r\n$"))) << dump;
  }
  EXPECT_GT(data_packets, 0);
  const std::map<int, std::string> connection_names = {{80, "SSH2_MSG_GLOBAL_REQUEST"},
                                                       {81, "SSH2_MSG_REQUEST_SUCCESS"},
                                                       {82, "SSH2_MSG_REQUEST_FAILURE"},
                                                       {90, "SSH2_MSG_CHANNEL_OPEN"},
                                                       {91, "SSH2_MSG_CHANNEL_OPEN_CONFIRMATION"},
                                                       {92, "SSH2_MSG_CHANNEL_OPEN_FAILURE"},
                                                       {93, "SSH2_MSG_CHANNEL_WINDOW_ADJUST"},
                                                       {94, "SSH2_MSG_CHANNEL_DATA"},
                                                       {95, "SSH2_MSG_CHANNEL_EXTENDED_DATA"},
                                                       {96, "SSH2_MSG_CHANNEL_EOF"},
                                                       {97, "SSH2_MSG_CHANNEL_CLOSE"},
                                                       {98, "SSH2_MSG_CHANNEL_REQUEST"},
                                                       {99, "SSH2_MSG_CHANNEL_SUCCESS"},
                                                       {100, "SSH2_MSG_CHANNEL_FAILURE"}};
  for (const auto& [type, name] : names) {
    if (type < 80 || type > 100) continue;
    EXPECT_EQ(name, connection_names.at(type)) << type;
  }
  for (int seen : {80, 90, 91, 94, 96, 97, 98, 99}) EXPECT_EQ(names.count(seen), 1u) << seen;
}

// The special commands in the order of the list, submenus included.
std::vector<int> SpecialCodes(const SpecialEntry* list) {
  std::vector<int> codes;
  for (int depth = 0;; ++list) {
    codes.push_back(list->code);
    if (list->code == kSpecialSubmenu) ++depth;
    if (list->code == kSpecialEndOfMenu && depth-- == 0) return codes;
  }
}

TEST_F(SshLogin, ASignalAndEofReachTheRemoteCommand) {
  Sshd sshd({"PasswordAuthentication yes", "KbdInteractiveAuthentication no"}, true, &account_);
  ASSERT_TRUE(sshd.ready());
  answers_.reply = "Secret-1";
  int step = 0;
  std::vector<int> codes;
  bool can_send_after_eof = true;
  Outcome outcome = Converse(
      sshd.port(),
      Config("trap 'echo GOT-USR1; go=1' USR1; echo READY; until [ \"$go\" ]; do sleep 0.1; done; cat; echo CAT-ENDED"),
      [&](SshSession* ssh) {
        if (step == 0 && answers_.output.find("READY\n") != std::string::npos) {
          codes = SpecialCodes(ssh_backend.special_list(ssh));
          ssh_backend.send_special(ssh, kSpecialSignalUsr1);
          step = 1;
        } else if (step == 1 && answers_.output.find("GOT-USR1\n") != std::string::npos) {
          ssh_backend.send(ssh, "hello\n", 6);
          ssh_backend.send_special(ssh, kSpecialEndOfFile);
          can_send_after_eof = ssh_backend.can_send(ssh) != 0;
          step = 2;
        }
        return true;
      },
      "127.0.0.1", true);
  // The shell may also report on its error stream the sleep that the signal ended.
  std::string output = answers_.output;
  EXPECT_TRUE(std::regex_search(output, std::regex("^READY\n(.*\n)?GOT-USR1\n(.*\n)?hello\nCAT-ENDED\n")))
      << output << outcome.AllEvents() << sshd.Log();
  EXPECT_EQ(outcome.exit_status, 0);
  EXPECT_TRUE(outcome.Logged("Sent signal SIGUSR1"));
  EXPECT_TRUE(outcome.Logged("Sent EOF message"));
  EXPECT_FALSE(can_send_after_eof);
  EXPECT_EQ(codes, (std::vector<int>{6, 17, 31, 1, 23, 28, 24, 26, 21, 32, 18, 19, 20, 22, 25, 27, 29, 30, 33, 33}));
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
  ScopedEnv runAccount("MIRVALE_RUN_ACCOUNT", "root");  // whose rights write the packet log
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
