// The raw and rlogin back ends and the back-end list.
#include <gtest/gtest.h>

#include "platform/atomic_file.h"
#include "remoteshell/backend_list.h"
#include "remoteshell/core/frontend.h"
#include "remoteshell/core/session_log.h"
#include "remoteshell/terminal/raw_backend.h"
#include "remoteshell/terminal/rlogin_backend.h"
#include "tests/remoteshell/backend_test_support.h"
#include "tests/support/scoped_env.h"
#include "tests/support/snmp_agent.h"

namespace {

using backend_testing::bytes;
using backend_testing::Connection;
using backend_testing::test_config;

TEST(BackendList, ProtocolsFindTheirBackEndsAndAnUnknownOneFailsCleanly) {
  EXPECT_EQ(backend_for_protocol(kProtocolTelnet)->default_port, 23);
  EXPECT_NE(backend_for_protocol(kProtocolRaw), nullptr);
  EXPECT_NE(backend_for_protocol(kProtocolRlogin), nullptr);
  EXPECT_EQ(backend_for_protocol(kProtocolSsh)->default_port, 22);
  EXPECT_EQ(backend_for_protocol(7), nullptr);
  EXPECT_STREQ(backend_list[0].name, "ssh");
  EXPECT_EQ(backend_list[4].name, nullptr);
}

TEST(RawBackend, BytesPassUntouchedBothWays) {
  Connection c(raw_backend);
  ASSERT_EQ(c.error_, nullptr);
  raw_backend.send(c.handle_, "a\r\xff", 3);
  EXPECT_EQ(c.Read(), "a\r\xff");
  c.Write(bytes({0, 255, 13}) + "x");
  EXPECT_EQ(c.capture_.output, bytes({0, 255, 13}) + "x");
  EXPECT_EQ(raw_backend.line_option(c.handle_, 0), 1);
  EXPECT_EQ(raw_backend.line_option(c.handle_, 1), 1);
  EXPECT_EQ(raw_backend.line_option(c.handle_, 2), 0);
}

TEST(RawBackend, FreezesAboveTheFrontEndsThresholdAndThawsOnUnthrottle) {
  Connection c(raw_backend);
  c.capture_.held = 4097;
  c.Write("one");
  c.capture_.held = 4096;
  c.Write("two");
  EXPECT_EQ(c.capture_.output, "one");
  raw_backend.unthrottle(c.handle_, 4096);
  c.Pump(50);
  EXPECT_EQ(c.capture_.output, "onetwo");
}

std::string fatal_message;

TEST(RawBackend, ConnectionErrorsAreReturnedAndLoggedOnce) {
  int port = net_testing::unused_port();
  testing_support::ScopedEnv runAccount{"MIRVALE_RUN_ACCOUNT", "root"};  // whose rights write the session log
  backend_testing::Capture capture;
  backend_testing::capture = &capture;
  backend_set_event_sink(backend_testing::capture_event);
  set_connection_fatal_handler([](void*, const char* message) { fatal_message = message; });
  net_startup();
  SessionConfig config = test_config();
  testing_support::TempFolder folder;
  config.log_type = kLogPackets;
  std::strcpy(config.log_file_name.path, (folder / "session.log").c_str());
  SessionLog* log = logging_open_context(nullptr, &config);
  console_set_log_context(log);
  void* handle = nullptr;
  char* canonical = nullptr;
  raw_backend.open(nullptr, &handle, &config, "127.0.0.1", port, &canonical, 0, 0);
  std::free(canonical);
  net_testing::run_until([&] { return raw_backend.is_connected(handle) == 0; });
  EXPECT_EQ(raw_backend.exit_code(handle), 0);
  bool failed = false;
  for (const auto& line : capture.events) failed |= line.rfind("Failed to connect to 127.0.0.1: ", 0) == 0;
  EXPECT_TRUE(failed);
  EXPECT_EQ(capture.events.front(), "Looking up host \"127.0.0.1\"");
  raw_backend.free(handle);
  net_shutdown();
  console_set_log_context(nullptr);
  logging_free_context(log);
  set_connection_fatal_handler(nullptr);
  backend_set_event_sink(nullptr);
  backend_testing::capture = nullptr;
  // The fatal error's event line is in the session log once.
  ASSERT_FALSE(fatal_message.empty());
  std::string text = platform::ReadWholeFile(folder / "session.log").value_or("");
  std::string line = "Event Log: " + fatal_message + "\r\n";
  size_t first = text.find(line);
  ASSERT_NE(first, std::string::npos) << text;
  EXPECT_EQ(text.find(line, first + line.size()), std::string::npos) << text;
}

class RloginBackend : public ::testing::Test {
 protected:
  void SetUp() override {
    // rlogin binds a privileged source port: in a network namespace of its own, no other
    // test's connection holds one.
    if (!testing_support::EnterPrivateNetwork()) GTEST_SKIP() << "needs root for a private network namespace";
  }
};

TEST_F(RloginBackend, HandshakeCarriesNamesTerminalAndFirstSpeed) {
  Connection c(rlogin_backend);
  ASSERT_EQ(c.error_, nullptr);
  EXPECT_EQ(c.Read(), bytes({0}) + "svc" + bytes({0}) + "alice" + bytes({0}) + "xterm/38400" + bytes({0}));
}

TEST_F(RloginBackend, FirstZeroByteIsDroppedLaterOnesDelivered) {
  Connection c(rlogin_backend);
  c.Read();
  c.Write(bytes({0}) + "ab");
  c.Write(bytes({0}) + "c");
  EXPECT_EQ(c.capture_.output, "ab" + bytes({0}) + "c");
}

TEST_F(RloginBackend, WindowSizeOnlyAfterTheServerAsks) {
  Connection c(rlogin_backend);
  c.Read();
  rlogin_backend.resize(c.handle_, 100, 30);
  EXPECT_EQ(c.Read(), "");
  c.Write("\x80", MSG_OOB);
  EXPECT_EQ(c.Read(), bytes({255, 255, 's', 's', 0, 30, 0, 100, 0, 0, 0, 0}));
  rlogin_backend.resize(c.handle_, 132, 50);
  EXPECT_EQ(c.Read(), bytes({255, 255, 's', 's', 0, 50, 0, 132, 0, 0, 0, 0}));
  EXPECT_EQ(rlogin_backend.line_option(c.handle_, 1), 0);
}

}  // namespace
