// The e-mail action against a real SMTP server on loopback (aiosmtpd), and against a scripted
// one for replies no well-behaved server sends.
#include <thread>

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "service/actions/email_base64.h"
#include "service/actions/email_thread.h"
#include "service/actions/email_transaction.h"
#include "tests/service/email_sink_process.h"

using namespace mirvale;

using email_testing::SmtpSinkProcess;

namespace {

EmailServerSettings LoopbackServer(int port) {
  EmailServerSettings server;
  server.server = "127.0.0.1";
  server.port = std::to_string(port);
  server.sender = "mirvale@example.org";
  server.timeout = std::chrono::seconds(10);
  return server;
}

// Accepts one connection on a loopback port, sends each reply piece (waiting for a command
// line between the pieces flagged to wait), and keeps everything the client sent.
class ScriptedSmtpServer {
 public:
  struct Step {
    std::string send;
    bool readLineFirst;
  };

  explicit ScriptedSmtpServer(std::vector<Step> steps) {
    listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    listen(listener_, 1);
    thread_ = std::thread([this, steps = std::move(steps)] { Serve(steps); });
  }
  ~ScriptedSmtpServer() {
    shutdown(listener_, SHUT_RDWR);
    thread_.join();
    close(listener_);
  }

  int port() const { return port_; }
  std::string Received() {
    thread_.join();
    thread_ = std::thread([] {});
    return received_;
  }

 private:
  void Serve(const std::vector<Step>& steps) {
    int client = accept(listener_, nullptr, nullptr);
    if (client < 0) return;
    timeval wait{5, 0};
    setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    for (const Step& step : steps) {
      if (step.readLineFirst && !ReadLine(client)) break;
      send(client, step.send.data(), step.send.size(), MSG_NOSIGNAL);
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    while (ReadLine(client)) {
    }
    close(client);
  }
  bool ReadLine(int client) {
    char c;
    while (recv(client, &c, 1, 0) == 1) {
      received_ += c;
      if (c == '\n') return true;
    }
    return false;
  }

  int listener_ = -1;
  int port_ = 0;
  std::thread thread_;
  std::string received_;
};

}  // namespace

TEST(EmailDelivery, DeliversToEachRecipientWithTheBodyIntact) {
  SmtpSinkProcess sink;
  ASSERT_GT(sink.port(), 0);
  std::string body = "Device: 10.0.0.1\r\n.\r\n.hidden\r\nquit\r\nlast";
  CConfigurationEmailThread action(LoopbackServer(sink.port()), body, "Change on $device",
                                   "first@example.org; second@example.org; ;");
  EXPECT_EQ(action.Run(), 2);

  auto mails = sink.Messages();
  ASSERT_EQ(mails.size(), 2u);
  EXPECT_EQ(mails[0].envelope, "mail_from=mirvale@example.org\nrcpt_to=first@example.org\nlogin=\n");
  EXPECT_EQ(mails[1].envelope, "mail_from=mirvale@example.org\nrcpt_to=second@example.org\nlogin=\n");
  EXPECT_EQ(mails[0].content,
            "from:<mirvale@example.org>\r\nto:<first@example.org>\r\nsubject: Change on $device\r\n\r\n"
            "Device: 10.0.0.1\r\n.\r\n.hidden\r\nquit\r\nlast\r\n");
}

TEST(EmailDelivery, LogsInWithAuthLoginWhenCredentialsAreGiven) {
  SmtpSinkProcess sink({"mailer", "s3cret:pass"});
  ASSERT_GT(sink.port(), 0);
  EmailServerSettings server = LoopbackServer(sink.port());
  server.user = "mailer";
  server.password = "s3cret:pass";
  EXPECT_EQ(SendMail(server, "ops@example.org", "s", "b"), MailResult::Sent);

  server.password = "wrong";
  EXPECT_NE(SendMail(server, "ops@example.org", "s", "b"), MailResult::Sent);

  server.password.clear();  // no AUTH at all: the sink then refuses the sender
  EXPECT_EQ(SendMail(server, "ops@example.org", "s", "b"), MailResult::Sender);

  auto mails = sink.Messages();
  ASSERT_EQ(mails.size(), 1u);
  EXPECT_NE(mails[0].envelope.find("login=mailer\n"), std::string::npos);
}

TEST(EmailDelivery, ARefusalThatMentions250IsStillARefusal) {
  SmtpSinkProcess sink;
  ASSERT_GT(sink.port(), 0);
  EXPECT_EQ(SendMail(LoopbackServer(sink.port()), "reject@example.org", "s", "b"), MailResult::Recipient);
  CConfigurationEmailThread action(LoopbackServer(sink.port()), "b", "s", "reject@example.org;ok@example.org");
  EXPECT_EQ(action.Run(), 1);
  EXPECT_EQ(sink.Messages().size(), 1u);
}

TEST(EmailDelivery, RefusesAddressesThatWouldInjectCommands) {
  SmtpSinkProcess sink;
  ASSERT_GT(sink.port(), 0);
  EXPECT_EQ(SendMail(LoopbackServer(sink.port()), "a@x>\r\nrcpt to:<b@y", "s", "b"), MailResult::BadAddress);
  EXPECT_TRUE(sink.Messages().empty());
}

TEST(EmailDelivery, NoServerListeningIsAFailure) {
  // A port held bound but not listening refuses connections for as long as the test runs.
  int holder = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(bind(holder, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  socklen_t length = sizeof address;
  getsockname(holder, reinterpret_cast<sockaddr*>(&address), &length);
  EmailServerSettings server = LoopbackServer(ntohs(address.sin_port));
  EXPECT_EQ(SendMail(server, "a@x", "s", "b"), MailResult::NoConnection);
  server.server = "";
  EXPECT_EQ(SendMail(server, "a@x", "s", "b"), MailResult::NoConnection);
  close(holder);
}

TEST(EmailScriptedServer, AGreetingWithout220EndsBeforeEhlo) {
  ScriptedSmtpServer server({{"554 go away, not 220\r\n", false}});
  EXPECT_EQ(SendMail(LoopbackServer(server.port()), "a@x", "s", "b"), MailResult::Greeting);
  EXPECT_EQ(server.Received(), "");
}

TEST(EmailScriptedServer, RepliesSplitAcrossReadsStayInStep) {
  ScriptedSmtpServer server({
      {"220 ready\r\n", false},
      {"250-first\r\n250-sec", true},
      {"ond\r\n250 last\r\n", false},
      {"334 VXNlcm5hbWU6\r\n", true},
      {"334 UGFzc3dvcmQ6\r\n", true},
      {"235 ok\r\n", true},
      {"250 sender ok\r\n", true},
      {"251 will forward\r\n", true},
      {"354 go on\r\n", true},
      {"250 queued\r\n", true},
      {"221 bye\r\n", true},
  });
  EmailServerSettings settings = LoopbackServer(server.port());
  settings.user = "u";
  settings.password = "p";
  ASSERT_EQ(SendMail(settings, "to@y", "subj", "body"), MailResult::Sent);
  std::string received = server.Received();
  EXPECT_EQ(received.substr(0, 5), "ehlo ");
  EXPECT_NE(received.find("\r\nauth LOGIN\r\ndQ==\r\ncA==\r\nmail from:<mirvale@example.org>\r\n"
                          "rcpt to:<to@y>\r\ndata\r\nfrom:<mirvale@example.org>\r\n"),
            std::string::npos);
  EXPECT_NE(received.find("\r\n\r\nbody\r\n.\r\nquit\r\n"), std::string::npos);
}

TEST(EmailScriptedServer, CredentialsGoOutOnlyWhenTheServerAsksForThem) {
  ScriptedSmtpServer server({
      {"220 ready\r\n", false},
      {"250 hello\r\n", true},
      {"502 no AUTH here\r\n", true},
      {"250 sender ok\r\n", true},
      {"250 rcpt ok\r\n", true},
      {"354 go on\r\n", true},
      {"250 queued\r\n", true},
      {"221 bye\r\n", true},
  });
  EmailServerSettings settings = LoopbackServer(server.port());
  settings.user = "user";
  settings.password = "password";
  ASSERT_EQ(SendMail(settings, "to@y", "s", "b"), MailResult::Sent);
  std::string received = server.Received();
  EXPECT_NE(received.find("auth LOGIN\r\nmail from:"), std::string::npos);
  EXPECT_EQ(received.find(Base64Encode("password")), std::string::npos);
}
