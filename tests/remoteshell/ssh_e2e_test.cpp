// The SSH back end against real servers on loopback: OpenSSH sshd (every algorithm of the
// tables it still offers, the RFC 4419 group-exchange fallback, rekeys), dropbear, and a
// scripted paramiko server for the old group-exchange request, plain zlib and version quirks.
#include <algorithm>

#include <gtest/gtest.h>

#include "base/tick.h"
#include "platform/atomic_file.h"
#include "remoteshell/core/prompt_set.h"
#include "tests/remoteshell/ssh_test_support.h"

namespace {

using namespace ssh_testing;
using testing_support::ScopedEnv;

class SshEndToEnd : public testing::Test {
 protected:
  TempFolder folder_;
  ScopedEnv registry_{"MIRVALE_REGISTRY_ROOT", folder_ / "registry"};
  ScopedEnv events_{"MIRVALE_EVENTLOG", folder_ / "events.log"};
  ScopedEnv home_{"HOME", folder_.path()};  // the random pool's seed file
};

// Reaching "ssh-userauth" without a user name (nobody answers the question) ends the
// conversation in order.
void ExpectReachedUserAuth(const Outcome& outcome, const std::string& what) {
  EXPECT_EQ(outcome.open_error, nullptr) << what;
  EXPECT_TRUE(outcome.accepted) << what << "\n" << outcome.fatal << "\n" << outcome.AllEvents();
  EXPECT_TRUE(outcome.Logged("Disconnected: No username provided")) << what << "\n" << outcome.AllEvents();
  EXPECT_EQ(outcome.fatal, "") << what;
  EXPECT_EQ(outcome.connected, 1) << what;
}

TEST_F(SshEndToEnd, DefaultOpenSshNeedsTheRfc4419RequestAndTheHostKeyIsCachedOnce) {
  Sshd sshd({"HostKeyAlgorithms +ssh-rsa"}, false);
  ASSERT_TRUE(sshd.ready());
  Outcome first = Converse(sshd.port());
  ExpectReachedUserAuth(first, "default sshd");
  EXPECT_TRUE(first.Logged("Doing Diffie-Hellman group exchange"));
  EXPECT_TRUE(first.Logged("Doing Diffie-Hellman key exchange with hash SHA-256"));
  EXPECT_TRUE(first.LoggedStart("Server version: SSH-2.0-OpenSSH_9.2"));
  EXPECT_TRUE(first.Logged("We claim version: SSH-2.0-Oskavel:_May_24_2012_11:06:10"));
  EXPECT_TRUE(first.Logged("Using SSH protocol version 2"));
  ASSERT_TRUE(first.Logged("Host key fingerprint is:"));
  EXPECT_TRUE(first.LoggedStart("ssh-rsa 2048 "));
  // The server saw the RFC 4419 request after refusing the old one, and our orderly end.
  EXPECT_NE(sshd.Log().find("SSH2_MSG_KEX_DH_GEX_REQUEST received"), std::string::npos) << sshd.Log();
  std::string events = platform::ReadWholeFile(folder_ / "events.log").value_or("");
  EXPECT_NE(events.find("Store key in cache? (y/n) y"), std::string::npos);

  // Cached now: no question the second time.
  size_t before = platform::ReadWholeFile(folder_ / "events.log").value_or("").find("Store key in cache");
  Outcome second = Converse(sshd.port());
  ExpectReachedUserAuth(second, "second connection");
  std::string after = platform::ReadWholeFile(folder_ / "events.log").value_or("");
  EXPECT_EQ(after.find("Store key in cache", before + 1), std::string::npos);
}

TEST_F(SshEndToEnd, EveryCipherMacHostKeyAndGroupOpenSshOffersConnects) {
  std::vector<std::string> variants = {"Ciphers aes256-ctr",
                                       "Ciphers aes192-ctr",
                                       "Ciphers aes128-ctr",
                                       "Ciphers aes256-cbc",
                                       "Ciphers aes192-cbc",
                                       "Ciphers aes128-cbc",
                                       "Ciphers 3des-cbc",
                                       "MACs hmac-sha1",
                                       "MACs hmac-sha1-96",
                                       "MACs hmac-md5",
                                       "HostKeyAlgorithms ssh-dss",
                                       "HostKeyAlgorithms ssh-rsa",
                                       "KexAlgorithms diffie-hellman-group1-sha1",
                                       "KexAlgorithms diffie-hellman-group14-sha1",
                                       "KexAlgorithms diffie-hellman-group-exchange-sha1",
                                       "KexAlgorithms diffie-hellman-group-exchange-sha256"};
  for (const auto& variant : variants) {
    Sshd sshd({variant});
    ASSERT_TRUE(sshd.ready()) << variant;
    ExpectReachedUserAuth(Converse(sshd.port()), variant);
  }
}

TEST_F(SshEndToEnd, KeyExchangeMessagesAreCheckedAgainstTheChosenGroup) {
  Sshd sshd({"KexAlgorithms diffie-hellman-group14-sha1", "Ciphers aes128-cbc", "MACs hmac-md5"});
  ASSERT_TRUE(sshd.ready());
  Outcome outcome = Converse(sshd.port());
  ExpectReachedUserAuth(outcome, "group14");
  EXPECT_TRUE(outcome.Logged("Using Diffie-Hellman with standard group \"group14\""));
  EXPECT_TRUE(outcome.Logged("Doing Diffie-Hellman key exchange with hash SHA-1"));
  EXPECT_TRUE(outcome.Logged("Initialised AES-128 CBC client->server encryption")) << outcome.AllEvents();
  EXPECT_TRUE(outcome.LoggedStart("Initialised HMAC-MD5 client->server MAC algorithm")) << outcome.AllEvents();
}

// IGNORE packets of 16 KiB, one per turn outside key exchanges, until the condition holds or
// 80 have gone out; then the test disconnects.
std::function<bool(SshSession*)> SendUntil(std::function<bool(SshSession*)> done) {
  return [done, sent = 0](SshSession* ssh) mutable {
    if (ssh->kex.in_progress) return true;
    if (done(ssh) || sent >= 80) return false;
    WireBuffer ignore;
    ignore.put_byte(kMsgIgnore);
    ignore.put_string(std::string(16384, 'x'));
    ssh2_send(ssh, ignore);
    ++sent;
    return true;
  };
}

class ParamikoServer : public Server {
 public:
  explicit ParamikoServer(std::vector<std::string> options) : Server(Arguments(std::move(options))) {}

 private:
  static std::vector<std::string> Arguments(std::vector<std::string> options) {
    std::vector<std::string> argv = {"/usr/bin/python3", MIRVALE_SSH_PEER, "{port}", HostKeys() / "rsa"};
    argv.insert(argv.end(), options.begin(), options.end());
    return argv;
  }
};

// OpenSSH refuses a key exchange before user authentication, so the rekeys run against the
// scripted server, which takes them at any time.
TEST_F(SshEndToEnd, RekeysStartedByTheServerByVolumeAndByRequest) {
  // Group 14 first: a rekey then costs the scripted server one 2048-bit exponentiation.
  SessionConfig config = ClientConfig();
  const int kexes[kKexCount] = {2, 3, 1, 0};
  std::memcpy(config.kex_list, kexes, sizeof kexes);
  ParamikoServer server({"--rekey-bytes", "65536"});
  ASSERT_TRUE(server.ready());
  Outcome by_server = Converse(server.port(), config, SendUntil([](SshSession*) {
                                 return std::count(current->events.begin(), current->events.end(),
                                                   "Server initiated key re-exchange") >= 2;
                               }));
  EXPECT_EQ(by_server.fatal, "") << by_server.AllEvents();
  EXPECT_GE(by_server.kex_count, 3) << by_server.AllEvents();
  // The fingerprint is logged for the first exchange only.
  EXPECT_EQ(std::count(by_server.events.begin(), by_server.events.end(), "Host key fingerprint is:"), 1);

  ParamikoServer quiet({});
  ASSERT_TRUE(quiet.ready());
  std::strcpy(config.rekey_data, "32K");
  Outcome by_volume = Converse(quiet.port(), config, SendUntil([](SshSession*) {
                                 return std::count(current->events.begin(), current->events.end(),
                                                   "Initiating key re-exchange (too much data sent)") >= 3;
                               }));
  EXPECT_EQ(by_volume.fatal, "") << by_volume.AllEvents();
  EXPECT_TRUE(by_volume.Logged("Initiating key re-exchange (too much data sent)"));
  EXPECT_EQ(by_volume.kex_count, 4);

  bool asked = false;
  std::strcpy(config.rekey_data, "1G");
  Outcome by_request = Converse(quiet.port(), config, [&](SshSession* ssh) {
    if (!asked) ssh_backend.send_special(ssh, kSpecialRepeatKeyExchange);
    asked = true;
    return ssh->kex.in_progress;
  });
  EXPECT_TRUE(by_request.Logged("Initiating key re-exchange (at user request)"));
  EXPECT_EQ(by_request.kex_count, 2) << by_request.AllEvents();
  EXPECT_EQ(by_request.fatal, "");

  // "RekeyTime" on the session thread's timers: the clock moves on an hour at once. Then a
  // shorter "RekeyTime" whose moment has passed already rekeys at once.
  static uint64_t clock_offset = 0;
  tick_source_override([] {
    return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                     std::chrono::steady_clock::now().time_since_epoch())
                                     .count()) +
           clock_offset;
  });
  config.rekey_time = 60;
  int turn = 0;
  bool early = false;
  Outcome by_time;
  auto logged = [](const char* line) { return std::count(current->events.begin(), current->events.end(), line); };
  // On a thread of its own, whose timers go with it: the clock never runs back under them.
  std::thread([&] {
    by_time = Converse(quiet.port(), config, [&](SshSession* ssh) {
      if (ssh->kex.in_progress) return true;
      if (++turn == 1) clock_offset = 59 * 60000;  // not due yet
      if (turn == 20) clock_offset = 61 * 60000;
      early |= turn < 20 && logged("Initiating key re-exchange (timeout)") > 0;
      if (turn < 20 || logged("Initiating key re-exchange (timeout)") == 0) return true;
      if (logged("Initiating key re-exchange (timeout shortened)") > 0) return false;
      clock_offset = 64 * 60000;
      SessionConfig shorter = config;
      shorter.rekey_time = 2;
      ssh_backend.reconfigure(ssh, &shorter);
      return true;
    });
  }).join();
  tick_source_override(nullptr);
  EXPECT_EQ(by_time.fatal, "") << by_time.AllEvents();
  EXPECT_FALSE(early);
  EXPECT_EQ(std::count(by_time.events.begin(), by_time.events.end(), "Initiating key re-exchange (timeout)"), 1)
      << by_time.AllEvents();
  EXPECT_TRUE(by_time.Logged("Initiating key re-exchange (timeout shortened)"));
  EXPECT_EQ(by_time.kex_count, 3) << by_time.AllEvents();
}

// Rekeys while a logged-in command streams its output: sshd's "RekeyLimit 64K" for
// server-initiated ones, our "RekeyBytes" for our own; the output arrives whole either way.
std::string* streamed = nullptr;

Outcome StreamWithRekeys(int port, const TestAccount& account, const char* rekey_bytes, std::string* output) {
  streamed = output;
  ShellConversation* conversation = conversation_current();
  conversation->hooks.prompt = [](void*, PromptSet* prompts) {
    if (prompts->count > 0) std::strcpy(prompts->items[0]->reply, "Rekey-pass-1");
    return 1;
  };
  conversation->hooks.output = [](void*, int, const char* data, int length) {
    streamed->append(data, static_cast<size_t>(length));
    return 0;
  };
  SessionConfig config = ClientConfig();
  std::strcpy(config.user_name, account.user().c_str());
  std::strcpy(config.remote_command, "seq 1 400000");
  std::strcpy(config.rekey_data, rekey_bytes);
  config.no_pty = 1;
  Outcome outcome = Converse(port, config);
  conversation->hooks.prompt = nullptr;
  conversation->hooks.output = nullptr;
  streamed = nullptr;
  return outcome;
}

TEST_F(SshEndToEnd, RekeysOfBothSidesWhileAShellCommandStreamsItsOutput) {
  std::string expected;
  for (int i = 1; i <= 400000; ++i) expected += std::to_string(i) + "\n";
  TestAccount account("mirvalerekey", "Rekey-pass-1");
  std::vector<std::string> login = {"PasswordAuthentication yes", "KbdInteractiveAuthentication no"};

  std::vector<std::string> limited = login;
  limited.insert(limited.begin(), "RekeyLimit 64K");
  Sshd by_server(limited, true, &account);
  ASSERT_TRUE(by_server.ready());
  std::string output;
  Outcome outcome = StreamWithRekeys(by_server.port(), account, "1G", &output);
  EXPECT_EQ(outcome.fatal, "") << outcome.AllEvents();
  EXPECT_EQ(outcome.exit_status, 0);
  EXPECT_TRUE(output == expected) << output.size() << " bytes of " << expected.size();
  EXPECT_GE(std::count(outcome.events.begin(), outcome.events.end(), "Server initiated key re-exchange"), 5)
      << outcome.AllEvents();

  Sshd plain(login, true, &account);
  ASSERT_TRUE(plain.ready());
  output.clear();
  outcome = StreamWithRekeys(plain.port(), account, "64K", &output);
  EXPECT_EQ(outcome.fatal, "") << outcome.AllEvents();
  EXPECT_EQ(outcome.exit_status, 0);
  EXPECT_TRUE(output == expected) << output.size() << " bytes of " << expected.size();
  EXPECT_GE(
      std::count(outcome.events.begin(), outcome.events.end(), "Initiating key re-exchange (too much data received)"),
      5)
      << outcome.AllEvents();
}

TEST_F(SshEndToEnd, DropbearWithItsOwnDefaults) {
  RunCommand("dropbearkey -t rsa -s 2048 -f " + folder_ / "dropbear_rsa" + " >/dev/null 2>&1");
  Server dropbear({"/usr/sbin/dropbear", "-F", "-E", "-s", "-r", folder_ / "dropbear_rsa", "-p", "127.0.0.1:{port}"});
  ASSERT_TRUE(dropbear.ready());
  Outcome outcome = Converse(dropbear.port());
  ExpectReachedUserAuth(outcome, "dropbear");
  EXPECT_TRUE(outcome.LoggedStart("Server version: SSH-2.0-dropbear"));
}

TEST_F(SshEndToEnd, OldGroupExchangeRequestPlainZlibAndTripleDes) {
  ParamikoServer gex({"--kex", "diffie-hellman-group-exchange-sha1"});
  ASSERT_TRUE(gex.ready());
  Outcome old_request = Converse(gex.port());
  ExpectReachedUserAuth(old_request, "old group exchange");
  EXPECT_TRUE(old_request.Logged("Doing Diffie-Hellman group exchange"));

  ParamikoServer zlib({"--compress", "--cipher", "3des-cbc"});
  ASSERT_TRUE(zlib.ready());
  SessionConfig config = ClientConfig();
  config.compression = 1;
  Outcome compressed = Converse(zlib.port(), config, SendUntil([](SshSession*) { return false; }));
  EXPECT_TRUE(compressed.Logged("Initialised zlib (RFC1950) compression")) << compressed.AllEvents();
  EXPECT_TRUE(compressed.Logged("Initialised zlib (RFC1950) decompression"));
  EXPECT_TRUE(compressed.LoggedStart("Initialised triple-DES CBC client->server encryption")) << compressed.AllEvents();
  EXPECT_EQ(compressed.fatal, "");
}

// A front end that answers its questions later: on the session thread's timers, a moment
// after it was asked. The session stays frozen meanwhile (sshd's NEWKEYS, sent right after its
// reply, waits), and then goes on as the answer says.
struct LaterAnswer {
  PromptAnswerCallback callback = nullptr;
  void* context = nullptr;
  int answer = 1;
  int asked = 0;
} later;

int AnswerSoon(PromptAnswerCallback callback, void* context) {
  later.callback = callback;
  later.context = context;
  ++later.asked;
  timer_schedule(
      100, [](void*, uint32_t) { later.callback(later.context, later.answer); }, &later);
  return -1;
}

Outcome ConverseAnsweringLater(int port, SessionConfig config, int answer) {
  later = LaterAnswer{};
  later.answer = answer;
  prepare_session = [](SshSession* ssh) {
    ssh->host_key_question = [](void*, const char*, int, const char*, const char*, const char*,
                                PromptAnswerCallback callback, void* context) { return AnswerSoon(callback, context); };
    ssh->weak_algorithm_question = [](void*, const char*, const char*, PromptAnswerCallback callback, void* context) {
      return AnswerSoon(callback, context);
    };
  };
  Outcome outcome = Converse(port, config);
  prepare_session = nullptr;
  timer_expire_context(&later);
  return outcome;
}

// The first packet after the key exchange (the service accept) comes with a MAC made with a
// wrong key: the conversation ends there.
TEST_F(SshEndToEnd, PacketWithAWrongMacEndsTheConversation) {
  ParamikoServer server({"--wrong-mac"});
  ASSERT_TRUE(server.ready());
  Outcome outcome = Converse(server.port());
  EXPECT_EQ(outcome.fatal, "Incorrect MAC received on packet") << outcome.AllEvents();
  EXPECT_FALSE(outcome.accepted);
}

TEST_F(SshEndToEnd, QuestionsAnsweredLaterFreezeTheSessionUntilTheAnswer) {
  Sshd sshd({"KexAlgorithms diffie-hellman-group14-sha1", "Ciphers 3des-cbc,aes128-ctr"});
  ASSERT_TRUE(sshd.ready());
  Outcome yes = ConverseAnsweringLater(sshd.port(), ClientConfig(), 1);
  ExpectReachedUserAuth(yes, "host key answered later");
  EXPECT_EQ(later.asked, 1);
  EXPECT_TRUE(yes.Logged("Host key fingerprint is:"));

  Outcome no = ConverseAnsweringLater(sshd.port(), ClientConfig(), 0);
  EXPECT_TRUE(no.Logged("Disconnected: User aborted at host key verification")) << no.AllEvents();
  EXPECT_FALSE(no.accepted);
  EXPECT_EQ(no.fatal, "");

  // Triple-DES below the threshold: both cipher warnings, each answered later, then the key.
  SessionConfig warned = ClientConfig();
  const int ciphers[kCipherCount] = {2, 0, 1, 3, 5, 4};
  std::memcpy(warned.cipher_list, ciphers, sizeof ciphers);
  Outcome weak = ConverseAnsweringLater(sshd.port(), warned, 1);
  ExpectReachedUserAuth(weak, "warnings answered later");
  EXPECT_EQ(later.asked, 3);
  EXPECT_TRUE(weak.Logged("Initialised triple-DES CBC client->server encryption")) << weak.AllEvents();
}

// Ciphers no packaged OpenSSH or paramiko offers any more, against asyncssh; arcfour lies
// below the warning threshold of the default order, where the unattended front end abandons.
TEST_F(SshEndToEnd, BlowfishAndArcfourAgainstAsyncssh) {
  SessionConfig arcfour_first = ClientConfig();
  const int ciphers[kCipherCount] = {5, 3, 2, 1, 0, 4};
  std::memcpy(arcfour_first.cipher_list, ciphers, sizeof ciphers);
  for (const char* cipher : {"blowfish-cbc", "arcfour128", "arcfour256"}) {
    Server server({"/usr/bin/python3", MIRVALE_ASYNCSSH_PEER, "{port}", HostKeys() / "rsa", "--cipher", cipher});
    ASSERT_TRUE(server.ready()) << cipher;
    Outcome outcome = Converse(server.port(), arcfour_first);
    ExpectReachedUserAuth(outcome, cipher);
    EXPECT_FALSE(outcome.LoggedStart("Initialised AES")) << outcome.AllEvents();
  }

  Server arcfour({"/usr/bin/python3", MIRVALE_ASYNCSSH_PEER, "{port}", HostKeys() / "rsa", "--cipher", "arcfour256"});
  ASSERT_TRUE(arcfour.ready());
  Outcome warned = Converse(arcfour.port());
  EXPECT_TRUE(warned.Logged("Disconnected: User aborted at cipher warning")) << warned.AllEvents();
  EXPECT_FALSE(warned.accepted);
  EXPECT_EQ(warned.fatal, "");
  std::string events = platform::ReadWholeFile(folder_ / "events.log").value_or("");
  EXPECT_NE(events.find("The first client-to-server cipher supported by the server is arcfour256, which is "
                        "below the configured warning threshold. Continue with connection? (y/n) Connection "
                        "abandoned."),
            std::string::npos)
      << events;
}

TEST_F(SshEndToEnd, ServerVersionsSwitchQuirksOn) {
  ParamikoServer old({"--version", "SSH-2.0-OpenSSH_2.5.2p2"});
  ASSERT_TRUE(old.ready());
  Outcome outcome = Converse(old.port(), ClientConfig(), [](SshSession* ssh) {
    ssh_backend.send_special(ssh, kSpecialRepeatKeyExchange);
    return false;
  });
  EXPECT_TRUE(outcome.Logged("We believe remote version has SSH-2 RSA padding bug"));
  EXPECT_TRUE(outcome.Logged("We believe remote version has SSH-2 rekey bug"));
  EXPECT_FALSE(outcome.Logged("We believe remote version has SSH-2 HMAC bug"));
  EXPECT_TRUE(outcome.Logged("Server bug prevents key re-exchange (at user request)"));
  EXPECT_EQ(outcome.kex_count, 1);
}

}  // namespace
