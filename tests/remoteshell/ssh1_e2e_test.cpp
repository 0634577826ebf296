// SSH-1 logins and sessions against the scripted SSH-1 server (tests/remoteshell/peers), which
// checks the session key, every CRC, the password camouflage or the quirk versions' padding
// and the RSA answer, and writes what passed to its report: each cipher, compression, every
// authentication method, the forwarded channels (port, agent, X11) it opens or accepts, and the
// refusals that end a conversation.
#include <gtest/gtest.h>

#include "crypto/md5.h"
#include "remoteshell/core/prompt_set.h"
#include "tests/remoteshell/ssh_test_support.h"

namespace {

using namespace ssh_testing;
using testing_support::ScopedEnv;

class Ssh1Login : public testing::Test {
 protected:
  // A server with these options; the report starts empty for each.
  std::unique_ptr<Server> Start(std::vector<std::string> options) {
    std::remove(Report().c_str());
    std::vector<std::string> argv = {"/usr/bin/python3", Script(), "--port", "{port}", "--report", Report()};
    argv.insert(argv.end(), options.begin(), options.end());
    auto server = std::make_unique<Server>(argv);
    EXPECT_TRUE(server->ready());
    return server;
  }
  Outcome Run(const Server& server, SessionConfig config, const std::string& reply) {
    answers_.Reset(reply);
    return Converse(server.port(), config);
  }
  SessionConfig Config(const char* command = "show version") const {
    SessionConfig config = ClientConfig();
    config.ssh_protocol = 1;
    std::strcpy(config.user_name, "admin");
    std::strcpy(config.remote_command, command);
    return config;
  }
  std::string MakeKey(const std::string& passphrase) const {
    std::string path = folder_ / "identity";
    RunCommand("/usr/bin/python3 " + Script() + " --make-key " + path + " --passphrase '" + passphrase + "'");
    return path;
  }
  // The scripted SSH-1 agent holding the key, named by SSH_AUTH_SOCK for the rest of the test.
  void StartAgent(const std::string& key) {
    std::string socket_path = folder_ / "agent";
    agent_ = std::make_unique<ChildProcess>(
        std::vector<std::string>{"/usr/bin/python3", Script(), "--agent-socket", socket_path, "--agent-key", key});
    for (int i = 0; i < 250 && access(socket_path.c_str(), F_OK) != 0; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    auth_socket_ = std::make_unique<ScopedEnv>("SSH_AUTH_SOCK", socket_path);
  }
  std::string Report() const { return folder_ / "report.txt"; }
  std::string Reported() const {
    std::ifstream in(Report());
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  // The server may write its last lines after the client is gone.
  bool ReportHas(const std::string& text) const {
    for (int i = 0; i < 250; ++i) {
      if (Reported().find(text) != std::string::npos) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
  }
  static std::string Script() { return std::string(MIRVALE_SSH1_PEER); }

  TempFolder folder_;
  ScopedEnv registry_{"MIRVALE_REGISTRY_ROOT", folder_ / "registry"};
  LoginAnswers answers_;
  std::unique_ptr<ChildProcess> agent_;
  std::unique_ptr<ScopedEnv> auth_socket_;
};

TEST_F(Ssh1Login, TripleDesPasswordAmongIgnoresRunsACommandWithPtyAndExitStatus) {
  auto server = Start({"--ciphers", "3des,des", "--password", "twenty-char-password", "--output-kb", "100"});
  SessionConfig config = Config();
  static const char kModes[] = "ECHO\tVno\0";  // a mode's value goes as one byte in SSH-1
  std::memcpy(config.terminal_modes, kModes, sizeof kModes);
  Outcome outcome = Run(*server, config, "twenty-char-password");
  std::string report = Reported();
  EXPECT_EQ(outcome.fatal, "") << outcome.AllEvents() << report;
  EXPECT_TRUE(ReportHas("client SSH-1.5-Oskavel:_May_24_2012_11:06:10\n")) << Reported();
  EXPECT_TRUE(ReportHas("cipher 3\nsession key flags 1\nuser admin\npassword ok\n")) << Reported();
  // 20 characters: IGNORE messages of every other length from 16 to 23.
  EXPECT_TRUE(ReportHas("camouflage 16-23\n")) << Reported();
  EXPECT_TRUE(ReportHas("pty xterm 80x24 [(53, 0), (192, 38400), (193, 38400)]\n")) << Reported();
  EXPECT_TRUE(ReportHas("command show version\nexit confirmed\n")) << Reported();
  EXPECT_TRUE(outcome.Logged("Using 3DES encryption"));
  EXPECT_TRUE(outcome.Logged("Initialised triple-DES inner-CBC encryption"));
  EXPECT_TRUE(outcome.Logged("Sending password with camouflage packets"));
  EXPECT_TRUE(outcome.Logged("Allocated pty (ospeed 38400bps, ispeed 38400bps)"));
  EXPECT_TRUE(outcome.Logged("Server sent command exit status 3"));
  EXPECT_EQ(outcome.exit_status, 3);
  EXPECT_EQ(outcome.connected, 1);
  EXPECT_EQ(answers_.asked, std::vector<std::string>{"admin@127.0.0.1's password: "});
  EXPECT_EQ(answers_.output.substr(0, 31), "ran show version\r\nto stderr\r\n01");
  EXPECT_EQ(answers_.output.size(), 29u + 100u * 1024u);
}

// Blowfish comes first in the default list; the key file's pass phrase is asked through the
// prompt hook; the challenge starts with a zero byte, which the answer must keep.
TEST_F(Ssh1Login, BlowfishCompressedRsaKeyFileLogin) {
  std::string key = MakeKey("key phrase");
  auto server = Start({"--ciphers", "3des,blowfish", "--auth", "rsa,password", "--authorized-key", key,
                       "--challenge-leading-zero", "--compression", "--output-kb", "300"});
  SessionConfig config = Config();
  config.compression = 1;
  std::strcpy(config.public_key_file.path, key.c_str());
  Outcome outcome = Run(*server, config, "key phrase");
  std::string report = Reported();
  EXPECT_EQ(outcome.fatal, "") << outcome.AllEvents() << report;
  EXPECT_TRUE(ReportHas("cipher 6\n")) << Reported();
  EXPECT_TRUE(ReportHas("rsa response ok\nauthenticated\n")) << Reported();
  EXPECT_TRUE(ReportHas("compression 6\n")) << Reported();
  EXPECT_TRUE(outcome.Logged("Using Blowfish encryption"));
  EXPECT_TRUE(outcome.Logged("Received RSA challenge"));
  EXPECT_TRUE(outcome.Logged("Initialised zlib (RFC1950) decompression"));
  EXPECT_EQ(answers_.asked, std::vector<std::string>{"Passphrase for key \"test key\": "});
  EXPECT_EQ(answers_.output.size(), 29u + 300u * 1024u);
  EXPECT_EQ(outcome.exit_status, 3);
}

// The agent holds the configured key file's key: only that key is offered, and the agent answers
// the challenge (the file itself is not read for its private part).
TEST_F(Ssh1Login, AgentAnswersTheChallengeForTheKeyFilesKey) {
  std::string key = MakeKey("");
  StartAgent(key);
  auto server = Start({"--auth", "rsa,password", "--authorized-key", key, "--challenge-leading-zero"});
  SessionConfig config = Config();
  config.try_agent = 1;
  std::strcpy(config.public_key_file.path, key.c_str());
  Outcome outcome = Run(*server, config, "secret");
  EXPECT_EQ(outcome.fatal, "") << outcome.AllEvents() << Reported();
  EXPECT_TRUE(outcome.Logged("Mirshagent has 1 SSH-1 keys"));
  EXPECT_TRUE(outcome.Logged("Mirshagent key #0 matches configured key file"));
  EXPECT_TRUE(outcome.Logged("Sending Mirshagent's response"));
  EXPECT_TRUE(outcome.Logged("Mirshagent's response accepted"));
  EXPECT_FALSE(outcome.LoggedStart("Trying public key"));
  EXPECT_TRUE(ReportHas("rsa response ok\nauthenticated\n")) << Reported();
  EXPECT_TRUE(answers_.asked.empty());
}

// Single DES only after the warning, which this unattended client declines unless the list
// puts DES above it; TIS and CryptoCard challenges answered through the prompt hook.
TEST_F(Ssh1Login, SingleDesWithTisOrCryptoCard) {
  auto des_only = Start({"--ciphers", "des", "--auth", "tis,ccard,password"});
  Outcome warned = Run(*des_only, Config(), "secret");
  EXPECT_TRUE(warned.Logged("Disconnected: User aborted at cipher warning")) << warned.AllEvents();
  EXPECT_EQ(Reported().find("cipher"), std::string::npos);

  SessionConfig config = Config();
  const int des_above_warning[kCipherCount] = {3, 4, 2, 1, 0, 5};
  std::memcpy(config.cipher_list, des_above_warning, sizeof des_above_warning);
  config.auth_tis = 1;
  Outcome tis = Run(*des_only, config, "secret");
  EXPECT_EQ(tis.fatal, "") << tis.AllEvents() << Reported();
  EXPECT_TRUE(tis.Logged("AES not supported in SSH-1, skipping"));
  EXPECT_TRUE(tis.Logged("Using single-DES encryption"));
  EXPECT_TRUE(tis.Logged("Received TIS challenge"));
  EXPECT_TRUE(ReportHas("cipher 2\nsession key flags 1\nuser admin\ntis response ok\n")) << Reported();
  EXPECT_EQ(answers_.asked, std::vector<std::string>{"Response: "});

  auto declines_tis = Start({"--ciphers", "3des", "--auth", "tis,ccard,password", "--decline", "tis"});
  Outcome ccard = Run(*declines_tis, config, "secret");
  EXPECT_EQ(ccard.fatal, "") << ccard.AllEvents() << Reported();
  EXPECT_TRUE(ccard.Logged("TIS authentication declined"));
  EXPECT_TRUE(ccard.Logged("Received CryptoCard challenge"));
  EXPECT_TRUE(ReportHas("tis declined\nccard response ok\n")) << Reported();
  EXPECT_EQ(ccard.exit_status, 3);
}

// Servers that choke on IGNORE messages: a 64-byte padded password, or for those that also
// need it plain, the password as it is (and no RSA attempt, though a key file is set).
TEST_F(Ssh1Login, QuirkVersionsGetPaddedOrPlainPasswords) {
  std::string key = MakeKey("");
  SessionConfig config = Config();
  std::strcpy(config.public_key_file.path, key.c_str());
  auto cisco = Start({"--version", "1.5-Cisco-1.25", "--auth", "rsa,password", "--authorized-key", key});
  Outcome plain = Run(*cisco, config, "secret");
  EXPECT_EQ(plain.fatal, "") << plain.AllEvents() << Reported();
  EXPECT_TRUE(plain.Logged("We believe remote version can't handle SSH-1 RSA authentication"));
  EXPECT_TRUE(plain.Logged("Sending unpadded password"));
  EXPECT_TRUE(ReportHas("user admin\nplain password\nauthenticated\n")) << Reported();

  auto old = Start({"--version", "1.5-1.2.22"});
  Outcome padded = Run(*old, Config(), "secret");
  EXPECT_EQ(padded.fatal, "") << padded.AllEvents() << Reported();
  EXPECT_TRUE(padded.Logged("Sending length-padded password"));
  EXPECT_TRUE(ReportHas("padded password\nauthenticated\n")) << Reported();
}

// Each of these ends the conversation with its message; the process goes on to the next.
TEST_F(Ssh1Login, RefusalsEndTheConversation) {
  std::string key = MakeKey("");
  SessionConfig config = Config();
  std::strcpy(config.public_key_file.path, key.c_str());
  auto high = Start({"--auth", "rsa,password", "--authorized-key", key, "--bad-challenge"});
  Outcome challenge = Run(*high, config, "secret");
  EXPECT_EQ(challenge.fatal, "Server's RSA challenge was badly formatted") << challenge.AllEvents();
  EXPECT_EQ(Reported().find("rsa response"), std::string::npos);

  auto crc = Start({"--corrupt-crc"});
  EXPECT_EQ(Run(*crc, Config(), "secret").fatal, "Incorrect CRC received on packet");

  auto strict = Start({});
  Outcome wrong = Run(*strict, Config(), "wrong");
  EXPECT_EQ(wrong.fatal, "Server sent disconnect message:\n\"Too many authentication failures\"");
  EXPECT_EQ(std::count(wrong.events.begin(), wrong.events.end(), "Authentication refused"), 2);
  EXPECT_FALSE(wrong.Logged("Authentication successful"));

  auto stray = Start({"--stray-close"});
  EXPECT_EQ(Run(*stray, Config(), "secret").fatal, "Received CHANNEL_CLOSE for nonexistent channel 5\n");
}

// The server asks for our remote forwarding and opens a connection on it, which reaches the
// echo server; it connects to our local forwarding's port itself and relays what our PORT_OPEN
// carries. Both channels close with both messages each way.
TEST_F(Ssh1Login, RemoteAndLocalPortForwardingsCarryData) {
  Server echo({"/usr/bin/python3", MIRVALE_ECHO_PEER, "{port}"});
  ASSERT_TRUE(echo.ready());
  int remote_port = ListenerPort(), local_port = ListenerPort();
  auto server = Start({"--connect-local", std::to_string(local_port)});
  SessionConfig config = Config();
  std::string target = "127.0.0.1:" + std::to_string(echo.port());
  AddEntry(config.port_forwardings, sizeof config.port_forwardings, "R" + std::to_string(remote_port), target);
  AddEntry(config.port_forwardings, sizeof config.port_forwardings, "L" + std::to_string(local_port), target);
  Outcome outcome = Run(*server, config, "secret");
  EXPECT_EQ(outcome.fatal, "") << outcome.AllEvents() << Reported();
  EXPECT_TRUE(ReportHas("port forward request " + std::to_string(remote_port) + " to " + target + "\n")) << Reported();
  EXPECT_TRUE(ReportHas("remote forward echoed ping over ssh-1\nremote forward channel closed\n")) << Reported();
  EXPECT_TRUE(ReportHas("port open to " + target + "\nlocal forward relayed HELLO FORWARD\n")) << Reported();
  EXPECT_TRUE(ReportHas("local forward channel closed\nexit confirmed\n")) << Reported();
  EXPECT_TRUE(outcome.Logged("Remote port forwarding from " + std::to_string(remote_port) + " enabled"));
  EXPECT_TRUE(outcome.Logged("Received remote port open request for " + target));
  EXPECT_TRUE(outcome.Logged("Forwarded port opened successfully"));
  EXPECT_EQ(outcome.exit_status, 3);
}

// With "AgentFwd" the server's agent channel reaches the agent: a request split over two
// packets is answered whole.
TEST_F(Ssh1Login, ForwardedAgentAnswersOnItsChannel) {
  std::string key = MakeKey("");
  StartAgent(key);
  auto server = Start({"--agent-open"});
  SessionConfig config = Config();
  config.agent_forwarding = 1;
  Outcome outcome = Run(*server, config, "secret");
  EXPECT_EQ(outcome.fatal, "") << outcome.AllEvents() << Reported();
  EXPECT_TRUE(outcome.Logged("Agent forwarding enabled"));
  EXPECT_TRUE(ReportHas("agent forwarding request\n")) << Reported();
  EXPECT_TRUE(ReportHas("agent answered type 2 with 1 keys\nagent channel closed\nexit confirmed\n")) << Reported();
}

// The server's X11 client presents the invented cookie; the display (an echo server) gets the
// setup with the display's own authorisation, none here, in its place.
TEST_F(Ssh1Login, X11ConnectionReachesTheDisplayWithTheInventedCookieReplaced) {
  Server display({"/usr/bin/python3", MIRVALE_ECHO_PEER, "{port}"});
  ASSERT_TRUE(display.ready() && display.port() > 6000);
  ScopedEnv authority("XAUTHORITY", folder_ / "no-xauthority");
  auto server = Start({});
  SessionConfig config = Config();
  config.x11_forward = 1;
  config.x11_auth = 1;
  std::snprintf(config.x11_display, sizeof config.x11_display, "127.0.0.1:%d.0", display.port() - 6000);
  Outcome outcome = Run(*server, config, "secret");
  EXPECT_EQ(outcome.fatal, "") << outcome.AllEvents() << Reported();
  EXPECT_TRUE(ReportHas("x11 request MIT-MAGIC-COOKIE-1 screen 0\n")) << Reported();
  EXPECT_TRUE(ReportHas("x11 display got auth name length 0 data length 0\nx11 channel closed\n")) << Reported();
  EXPECT_TRUE(outcome.Logged("X11 forwarding enabled"));
  EXPECT_TRUE(outcome.Logged("Opened X11 forward channel"));
  EXPECT_TRUE(outcome.Logged("Forwarded X11 connection terminated"));
}

TEST(Ssh1Answers, RsaChallengesMustBeBelowTheModulusAndAnswersKeepLeadingZeros) {
  // p = 61, q = 53: n = 3233, e = 17, d = 2753.
  RsaKey key{};
  auto number = [](uint32_t value) {
    BigNum n = bn_new(1);
    n[1] = value;
    return n;
  };
  key.modulus = number(3233);
  key.exponent = number(17);
  key.private_exponent = number(2753);
  key.bits = 12;
  key.bytes = 2;
  const unsigned char session_id[16] = {1, 2, 3};
  unsigned char response[16];
  BigNumPtr at_modulus(number(3233));
  EXPECT_FALSE(ssh1_rsa_response(key, at_modulus.get(), session_id, response));
  // 65^17 mod 3233 = 2790: the answer is MD5 of 30 zero bytes, 00 41, and the session id.
  BigNumPtr challenge(number(2790));
  ASSERT_TRUE(ssh1_rsa_response(key, challenge.get(), session_id, response));
  unsigned char expected_input[48] = {};
  expected_input[31] = 65;
  std::memcpy(expected_input + 32, session_id, 16);
  unsigned char expected[16];
  md5_digest(expected_input, sizeof expected_input, expected);
  EXPECT_EQ(std::memcmp(response, expected, 16), 0);
  rsa_key_clear(&key);
}

}  // namespace
