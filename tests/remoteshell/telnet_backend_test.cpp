// The telnet back end against a loopback server played by the test.
#include <gtest/gtest.h>

#include "remoteshell/terminal/telnet_backend.h"
#include "tests/remoteshell/backend_test_support.h"

namespace {

using backend_testing::bytes;
using backend_testing::Connection;
using backend_testing::test_config;

constexpr int IAC = 255, DONT = 254, DO = 253, WONT = 252, WILL = 251, SB = 250, SE = 240;

TEST(TelnetNegotiation, ActiveSessionOffersItsOptionsInTableOrder) {
  Connection c(telnet_backend);
  ASSERT_EQ(c.error_, nullptr);
  EXPECT_EQ(c.Read(), bytes({IAC, WILL, 31, IAC, WILL, 32, IAC, WILL, 24, IAC, WILL, 39, IAC, DO, 1, IAC, WILL, 3,
                             IAC, DO, 3}));
  EXPECT_TRUE(c.Logged("client:\tWILL NAWS"));
  EXPECT_TRUE(c.Logged("client:\tWILL NEW-ENVIRON") || c.Logged("client:\tWILL NEW_ENVIRON"));
  EXPECT_TRUE(c.Logged("Connecting to 127.0.0.1 port " + std::to_string(c.peer_.port())));
}

TEST(TelnetNegotiation, PassiveSessionWaitsForTheServersFirstWord) {
  SessionConfig config = test_config();
  config.passive_telnet = 1;
  Connection c(telnet_backend, config);
  EXPECT_EQ(c.Read(), "");
  c.Write(bytes({IAC, DO, 24}));
  EXPECT_EQ(c.Read(), bytes({IAC, WILL, 24, IAC, DO, 1, IAC, WILL, 3, IAC, DO, 3}));
}

TEST(TelnetNegotiation, TerminalTypeAndSpeedRequestsAreAnswered) {
  Connection c(telnet_backend);
  c.Read();
  c.Write(bytes({IAC, DO, 24, IAC, SB, 24, 1, IAC, SE}));
  EXPECT_EQ(c.Read(), bytes({IAC, SB, 24, 0}) + "XTERM" + bytes({IAC, SE}));
  EXPECT_TRUE(c.Logged("server:\tDO TTYPE"));
  EXPECT_TRUE(c.Logged("server:\tSB TTYPE SEND"));
  EXPECT_TRUE(c.Logged("client:\tSB TTYPE IS XTERM"));
  c.Write(bytes({IAC, DO, 32, IAC, SB, 32, 1, IAC, SE}));
  EXPECT_EQ(c.Read(), bytes({IAC, SB, 32, 0}) + "38400,38400" + bytes({IAC, SE}));
  EXPECT_TRUE(c.Logged("client:\tSB TSPEED IS 38400,38400"));
}

TEST(TelnetNegotiation, MalformedRequestsAreLoggedNotAnswered) {
  Connection c(telnet_backend);
  c.Read();
  // IAC IAC inside a subnegotiation is one 255 of its data: a two-byte request here.
  c.Write(bytes({IAC, SB, 24, 1, IAC, IAC, IAC, SE, IAC, SB, 32, IAC, SE}));
  EXPECT_EQ(c.Read(), "");
  EXPECT_TRUE(c.Logged("server:\tSB TTYPE <something weird>\r\n"));
  EXPECT_TRUE(c.Logged("server:\tSB TSPEED <something weird>"));
}

TEST(TelnetNegotiation, EnvironmentReplyCarriesUserAndDoublesIac) {
  SessionConfig config = test_config();
  const char entries[] = "LANG\ten\xff\0";
  std::memcpy(config.environment, entries, sizeof entries);
  Connection c(telnet_backend, config);
  c.Read();
  c.Write(bytes({IAC, DO, 39, IAC, SB, 39, 1, IAC, SE}));
  EXPECT_EQ(c.Read(), bytes({IAC, SB, 39, 0, 0}) + "LANG" + bytes({1}) + "en" + bytes({255, 255, 0}) + "USER" +
                          bytes({1}) + "alice" + bytes({IAC, SE}));
  EXPECT_TRUE(c.Logged("server:\tSB NEW_ENVIRON SEND"));
  EXPECT_TRUE(c.Logged("client:\tSB NEW_ENVIRON IS USER=alice <stuff>"));
}

TEST(TelnetNegotiation, RefusedNewEnvironFallsBackToOldEnviron) {
  SessionConfig config = test_config();
  config.user_name[0] = '\0';
  Connection c(telnet_backend, config);
  c.Read();
  c.Write(bytes({IAC, DONT, 39}));
  EXPECT_EQ(c.Read(), bytes({IAC, WILL, 36}));
  c.Write(bytes({IAC, DO, 36, IAC, SB, 36, 1, IAC, SE}));
  // Old-style codes: VAR 1, VALUE 0 unless the server shows otherwise; nothing to tell.
  EXPECT_EQ(c.Read(), bytes({IAC, SB, 36, 0, IAC, SE}));
  EXPECT_TRUE(c.Logged("client:\tSB OLD_ENVIRON IS <nothing>"));
}

TEST(TelnetNegotiation, UnknownOptionsAreRefused) {
  Connection c(telnet_backend);
  c.Read();
  c.Write(bytes({IAC, WILL, 99, IAC, DO, 98, IAC, WONT, 97}));
  EXPECT_EQ(c.Read(), bytes({IAC, DONT, 99, IAC, WONT, 98}));
  EXPECT_TRUE(c.Logged("server:\tWILL <unknown>"));
}

TEST(TelnetNegotiation, WindowSizeDoublesIacBytes) {
  Connection c(telnet_backend);
  c.Read();
  c.Write(bytes({IAC, DO, 31}));
  EXPECT_EQ(c.Read(), bytes({IAC, SB, 31, 0, 80, 0, 24, IAC, SE}));
  telnet_backend.resize(c.handle_, 255, 40);
  EXPECT_EQ(c.Read(), bytes({IAC, SB, 31, 0, 255, 255, 0, 40, IAC, SE}));
  EXPECT_TRUE(c.Logged("client:\tSB NAWS 255,40"));
}

TEST(TelnetNegotiation, EchoStateFollowsTheServer) {
  Connection c(telnet_backend);
  c.Read();
  EXPECT_EQ(telnet_backend.line_option(c.handle_, 1), 1);
  c.Write(bytes({IAC, WILL, 1, IAC, WILL, 3}));
  EXPECT_EQ(telnet_backend.line_option(c.handle_, 1), 0);
  EXPECT_EQ(telnet_backend.line_option(c.handle_, 0), 0);
  // An option once active and then withdrawn is answered with the negative verb.
  c.Write(bytes({IAC, WONT, 1}));
  EXPECT_EQ(c.Read(), bytes({IAC, DONT, 1}));
  EXPECT_EQ(telnet_backend.line_option(c.handle_, 1), 1);
}

TEST(TelnetText, CarriageReturnsAndDoubledIacArriveAsText) {
  Connection c(telnet_backend);
  c.Read();
  c.Write("a\r" + bytes({0}) + "b\r\nc" + bytes({IAC, IAC}) + "d" + bytes({IAC, 241}) + "e");
  EXPECT_EQ(c.capture_.output, "a\rb\r\nc\xff" "de");
}

TEST(TelnetText, SentTextEscapesIacAndCarriageReturn) {
  Connection c(telnet_backend);
  c.Read();
  telnet_backend.send(c.handle_, "x\r\xffy", 4);
  EXPECT_EQ(c.Read(), "x\r" + bytes({0, 255, 255}) + "y");
}

TEST(TelnetText, SpecialCommands) {
  Connection c(telnet_backend);
  c.Read();
  telnet_backend.send_special(c.handle_, kSpecialAreYouThere);
  telnet_backend.send_special(c.handle_, kSpecialInterruptProcess);
  telnet_backend.send_special(c.handle_, kSpecialNewLine);
  // The keep-alive ping needs the server's SGA.
  telnet_backend.send_special(c.handle_, kSpecialKeepAlive);
  EXPECT_EQ(c.Read(), bytes({IAC, 246, IAC, 244, '\r', '\n'}));
  const SpecialEntry* list = telnet_backend.special_list(c.handle_);
  int count = 0;
  while (list[count].code != kSpecialEndOfMenu) ++count;
  EXPECT_EQ(count, 15);
}

TEST(TelnetText, SynchKeepsItsIacWhenTheSocketIsBackedUp) {
  Connection c(telnet_backend);
  c.Read();
  int on = 1;
  setsockopt(c.server_, SOL_SOCKET, SO_OOBINLINE, &on, sizeof on);
  std::string block(65536, 'x');
  int backlog = 0;
  for (int i = 0; i < 400 && backlog == 0; ++i)
    backlog = telnet_backend.send(c.handle_, block.data(), static_cast<int>(block.size()));
  ASSERT_GT(backlog, 0);  // the data waits in the queue: the socket takes no more
  telnet_backend.send_special(c.handle_, kSpecialSynch);
  std::string tail;
  for (int turn = 0; turn < 200 && tail.find('\xF2') == std::string::npos; ++turn) {
    tail += c.Read();
    if (tail.size() > 16) tail.erase(0, tail.size() - 16);
  }
  EXPECT_EQ(tail.substr(tail.size() - 2), bytes({IAC, 242}));
}

TEST(TelnetText, FrozenWhileTheFrontEndHoldsTooMuch) {
  Connection c(telnet_backend);
  c.Read();
  c.capture_.held = 5000;
  c.Write("first");
  c.capture_.held = 0;
  c.Write("second");
  EXPECT_EQ(c.capture_.output, "first");
  telnet_backend.unthrottle(c.handle_, 0);
  c.Pump(50);
  EXPECT_EQ(c.capture_.output, "firstsecond");
}

TEST(TelnetText, ServerCloseEndsTheSession) {
  Connection c(telnet_backend);
  c.Read();
  EXPECT_EQ(telnet_backend.exit_code(c.handle_), -1);
  close(c.server_);
  c.server_ = -1;
  c.Pump(50);
  EXPECT_EQ(telnet_backend.is_connected(c.handle_), 0);
  EXPECT_EQ(telnet_backend.exit_code(c.handle_), 0);
}

}  // namespace
