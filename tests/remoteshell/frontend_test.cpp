#include "remoteshell/core/frontend.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "platform/atomic_file.h"
#include "remoteshell/core/host_key_cache.h"
#include "remoteshell/core/session_log.h"
#include "tests/support/scoped_env.h"

namespace {

using testing_support::ScopedEnv;
using testing_support::TempFolder;

// The service has no console: questions are answered without standard input.
class UnattendedFrontEnd : public testing::Test {
 protected:
  void SetUp() override { ASSERT_NE(std::freopen("/dev/null", "r", stdin), nullptr); }
  std::string event_log() { return platform::ReadWholeFile(folder_ / "events.log").value_or(""); }
  TempFolder folder_;
  ScopedEnv registry_{"MIRVALE_REGISTRY_ROOT", folder_ / "registry"};
  ScopedEnv events_{"MIRVALE_EVENTLOG", folder_ / "events.log"};
  // As root, session logs are written with this account's rights.
  ScopedEnv account_{"MIRVALE_RUN_ACCOUNT", "root"};
};

TEST_F(UnattendedFrontEnd, UnknownHostKeyIsStoredAndLogged) {
  EXPECT_EQ(host_key_check_prompt(nullptr, "router1", 22, "rsa2", "0x23,0x99", "ssh-rsa 1024 aa:bb", nullptr, nullptr), 1);
  EXPECT_EQ(host_key_cache_lookup("router1", 22, "rsa2", "0x23,0x99"), 0);
  std::string log = event_log();
  EXPECT_NE(log.find("The server's host key is not cached in the registry."), std::string::npos);
  EXPECT_NE(log.find("ssh-rsa 1024 aa:bb"), std::string::npos);
  EXPECT_NE(log.find("Store key in cache? (y/n) y"), std::string::npos);

  // Now cached: no question, nothing logged.
  size_t before = event_log().size();
  EXPECT_EQ(host_key_check_prompt(nullptr, "router1", 22, "rsa2", "0x23,0x99", "fp", nullptr, nullptr), 1);
  EXPECT_EQ(event_log().size(), before);
}

TEST_F(UnattendedFrontEnd, ChangedHostKeyAbandonsWithTheWarning) {
  host_key_cache_store("router1", 22, "rsa2", "0x23,0x99");
  EXPECT_EQ(host_key_check_prompt(nullptr, "router1", 22, "rsa2", "0x23,0x98", "new fp", nullptr, nullptr), 0);
  EXPECT_EQ(host_key_cache_lookup("router1", 22, "rsa2", "0x23,0x99"), 0);  // the cache keeps the old key
  std::string log = event_log();
  EXPECT_NE(log.find("WARNING - POTENTIAL SECURITY BREACH!"), std::string::npos);
  EXPECT_NE(log.find("The new rsa2 key fingerprint is: new fp"), std::string::npos);
  EXPECT_NE(log.find("Connection abandoned."), std::string::npos);
}

TEST_F(UnattendedFrontEnd, WeakAlgorithmAbandonsAndExistingLogAppends) {
  EXPECT_EQ(weak_algorithm_prompt(nullptr, "cipher", "single-DES", nullptr, nullptr), 0);
  EXPECT_NE(event_log().find("The first cipher supported by the server is single-DES,"), std::string::npos);
  EXPECT_EQ(log_file_exists_prompt(nullptr, "/var/log/x.log", nullptr, nullptr), 1);
  EXPECT_NE(event_log().find("The session log file \"/var/log/x.log\" already exists."), std::string::npos);
}

std::string fatal_message;
void remember_fatal(void*, const char* message) { fatal_message = message; }

TEST_F(UnattendedFrontEnd, ConnectionFatalErrorReturnsToTheCaller) {
  set_connection_fatal_handler(remember_fatal);
  connection_fatal_exit(nullptr, "%s", "Network error: Connection reset by peer");
  set_connection_fatal_handler(nullptr);
  EXPECT_EQ(fatal_message, "Network error: Connection reset by peer");
  EXPECT_NE(event_log().find("FATAL ERROR: Network error: Connection reset by peer"), std::string::npos);
}

TEST_F(UnattendedFrontEnd, EventLinesGoToTheRememberedLogOnly) {
  SessionConfig settings{};
  settings.log_type = kLogPackets;
  settings.log_file_clash = 1;
  std::snprintf(settings.log_file_name.path, sizeof settings.log_file_name.path, "%s", (folder_ / "s.log").c_str());
  log_event(nullptr, "before any log");
  EXPECT_FALSE(platform::FileExists(folder_ / "s.log"));
  SessionLog* log = logging_open_context(nullptr, &settings);
  console_set_log_context(log);
  log_event(nullptr, "Connecting to 127.0.0.1 port 23");
  console_set_log_context(nullptr);
  log_event(nullptr, "after");
  logging_free_context(log);
  std::string text = platform::ReadWholeFile(folder_ / "s.log").value_or("");
  EXPECT_NE(text.find("Event Log: Connecting to 127.0.0.1 port 23\r\n"), std::string::npos);
  EXPECT_EQ(text.find("before any log"), std::string::npos);
  EXPECT_EQ(text.find("after"), std::string::npos);
}

TEST(PlatformDefaults, FontsFilesAndNumbers) {
  FontSpec font = platform_default_font("Font");
  EXPECT_STREQ(font.name, "Courier New");
  EXPECT_EQ(font.height, 10);
  EXPECT_STREQ(platform_default_font("BoldFont").name, "");
  Filename log = platform_default_file("LogFileName");
  EXPECT_STREQ(filename_text(&log), "mirsh.log");
  Filename other = platform_default_file("PublicKeyFile");
  EXPECT_TRUE(filename_is_empty(&other));
  EXPECT_EQ(platform_default_int("Any", 7), 7);
  Filename cut = filename_from_text(std::string(400, 'n').c_str());
  EXPECT_EQ(std::string(filename_text(&cut)).size(), 259u);
}

}  // namespace
