#include "remoteshell/core/session_log.h"

#include <cstdio>
#include <string>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/atomic_file.h"
#include "remoteshell/core/frontend.h"
#include "tests/support/scoped_env.h"

namespace {

using testing_support::ScopedEnv;
using testing_support::TempFolder;

class SessionLogTest : public testing::Test {
 protected:
  void SetUp() override { ASSERT_NE(std::freopen("/dev/null", "r", stdin), nullptr); }
  SessionLog* open_log(int type, int clash, const std::string& pattern = "&h-&Y.log") {
    settings_ = SessionConfig{};
    settings_.log_type = type;
    settings_.log_file_clash = clash;
    settings_.log_flush = 1;
    std::snprintf(settings_.host, sizeof settings_.host, "router1");
    std::snprintf(settings_.log_file_name.path, sizeof settings_.log_file_name.path, "%s",
                  (pattern[0] == '/' ? pattern : folder_ / pattern).c_str());
    return logging_open_context(nullptr, &settings_);
  }
  // The log's text with the time of its header and the temporary folder blanked.
  std::string normalised(const std::string& name) {
    std::string text = platform::ReadWholeFile(folder_ / name).value_or("<missing>");
    const std::string stamp = "Mirsh log ";  // followed by "YYYY.MM.DD HH:MM:SS"
    for (size_t at = text.find(stamp); at != std::string::npos; at = text.find(stamp, at + 1))
      if (text.size() >= at + stamp.size() + 19 && text[at + stamp.size() + 4] == '.')
        text.replace(at + stamp.size(), 19, "<time>");
    for (size_t at; (at = text.find(folder_.path())) != std::string::npos;)
      text.replace(at, folder_.path().size(), "<dir>");
    return text;
  }
  std::string golden(const std::string& name) {
    return platform::ReadWholeFile(std::string(MIRVALE_SOURCE_DIR) + "/tests/remoteshell/golden/" + name).value_or("");
  }
  SessionConfig settings_{};
  TempFolder folder_;
  ScopedEnv registry_{"MIRVALE_REGISTRY_ROOT", folder_ / "registry"};
  ScopedEnv events_{"MIRVALE_EVENTLOG", folder_ / "events.log"};
  ScopedEnv account_{"MIRVALE_RUN_ACCOUNT", "root"};  // whose rights write the log
};

TEST_F(SessionLogTest, AsciiAndRawGolden) {
  SessionLog* log = open_log(kLogAscii, -1, "router1-ascii.log");
  log_write(log, "login: admin\r\n", 14);
  log_printf(log, "Password: \r\n%s#", "router1");
  logging_free_context(log);
  EXPECT_EQ(normalised("router1-ascii.log"), golden("ascii.log"));
  struct stat info {};
  ASSERT_EQ(stat((folder_ / "router1-ascii.log").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);

  log = open_log(kLogRaw, 1, "router1-raw.log");
  log_write(log, "\x00\x01\xff raw\r\n\x1b[0m", 13);
  logging_free_context(log);
  EXPECT_EQ(normalised("router1-raw.log"), golden("raw.log"));
}

TEST_F(SessionLogTest, PacketDumpGoldenWithBlankedAndOmittedRegions) {
  SessionLog* log = open_log(kLogPackets, 1, "&h-packets.log");
  console_set_log_context(log);
  log_event(nullptr, "Connecting to 127.0.0.1 port 22");
  log_packet(log, kPacketOutgoing, 20, "SSH2_MSG_KEXINIT", "0123456789ABCDEFGHIJ", 20, nullptr, 0);
  unsigned char bytes[16];
  for (int i = 0; i < 16; ++i) bytes[i] = static_cast<unsigned char>(i);
  const LogBlank blanks[] = {{2, 2, kLogBlank}, {5, 5, kLogOmit}, {12, 1, kLogOmit}};
  log_packet(log, kPacketIncoming, 2, "SSH2_MSG_IGNORE", bytes, 16, blanks, 3);
  const LogBlank secret[] = {{2, 3, kLogOmit}};
  log_packet(log, kPacketOutgoing, 50, "SSH2_MSG_USERAUTH_REQUEST", "abpwd", 5, secret, 1);
  console_set_log_context(nullptr);
  logging_free_context(log);
  EXPECT_EQ(normalised("router1-packets.log"), golden("packets.log"));
}

TEST_F(SessionLogTest, LogTypeOffNeverOpensAFile) {
  SessionLog* log = open_log(kLogOff, 1, "off.log");
  log_write(log, "data", 4);
  log_packet(log, kPacketOutgoing, 1, "x", "ab", 2, nullptr, 0);
  log_event_line(log, "event");
  EXPECT_EQ(log->state, kLogNotOpened);
  logging_free_context(log);
  EXPECT_FALSE(platform::FileExists(folder_ / "off.log"));
}

TEST_F(SessionLogTest, ExistingFileIsAppendedWhenNobodyCanBeAsked) {
  ASSERT_TRUE(platform::WriteFileAtomically(folder_ / "old.log", "earlier\r\n"));
  SessionLog* log = open_log(kLogAscii, -1, "old.log");
  log_write(log, "later", 5);
  logging_free_context(log);
  std::string text = normalised("old.log");
  EXPECT_EQ(text.rfind("earlier\r\n", 0), 0u);
  EXPECT_NE(text.find("Mirsh log <time>"), std::string::npos);
  EXPECT_EQ(text.substr(text.size() - 5), "later");
  EXPECT_NE(platform::ReadWholeFile(folder_ / "events.log").value_or("").find("already exists"), std::string::npos);

  log = open_log(kLogAscii, 1, "old.log");  // clash 1 overwrites
  log_write(log, "fresh", 5);
  logging_free_context(log);
  EXPECT_EQ(normalised("old.log").find("earlier"), std::string::npos);
}

TEST_F(SessionLogTest, DataWrittenWhileTheQuestionIsOpenFollowsTheAnswerInOrder) {
  SessionLog* log = open_log(kLogAscii, -1, "pending.log");
  std::snprintf(log->file_name, sizeof log->file_name, "%s", (folder_ / "pending.log").c_str());
  log->state = kLogAwaitingAnswer;
  std::string big(1500, 'q');
  log_write(log, "one ", 4);
  log_write(log, big.data(), static_cast<int>(big.size()));
  log_write(log, " two", 4);
  EXPECT_FALSE(platform::FileExists(folder_ / "pending.log"));
  log_open_done(log, 1);
  log_write(log, " three", 6);
  logging_free_context(log);
  std::string text = normalised("pending.log");
  EXPECT_EQ(text.substr(text.find("=\r\n") + 3), "one " + big + " two three");
}

// A device's text (a disconnect message) cannot start a line of its own; a link or a device at
// the log's name is never opened.
TEST_F(SessionLogTest, EventTextsStayOnOneLineAndOnlyRegularFilesAreOpened) {
  SessionLog* log = open_log(kLogPackets, 1, "events.log-session");
  log_event_line(log, "Disconnection message text: bye\nx::0:0::/root:/bin/sh\r\x1b[2J");
  logging_free_context(log);
  std::string text = normalised("events.log-session");
  EXPECT_NE(text.find("Event Log: Disconnection message text: bye\\nx::0:0::/root:/bin/sh\\r\\x1b[2J\r\n"),
            std::string::npos)
      << text;
  EXPECT_EQ(text.find("\nx::"), std::string::npos);

  ASSERT_TRUE(platform::WriteFileAtomically(folder_ / "target", "kept"));
  ASSERT_EQ(symlink((folder_ / "target").c_str(), (folder_ / "link.log").c_str()), 0);
  for (const char* name : {"link.log", "/dev/null"}) {
    log = open_log(kLogPackets, 1, name);
    log_event_line(log, "event");
    EXPECT_EQ(log->state, kLogDisabled) << name;
    logging_free_context(log);
  }
  EXPECT_EQ(platform::ReadWholeFile(folder_ / "target"), "kept");
  EXPECT_NE(
      platform::ReadWholeFile(folder_ / "events.log").value_or("").find("link.log not opened: it is a symbolic link"),
      std::string::npos);
}

TEST(LogFileName, PatternExpansion) {
  std::tm when{};
  when.tm_year = 111;
  when.tm_mon = 2;
  when.tm_mday = 1;
  when.tm_hour = 9;
  when.tm_min = 5;
  when.tm_sec = 7;
  char out[260];
  log_file_name_expand("&H-&y&m&d.log", "router1", when, out);
  EXPECT_STREQ(out, "router1-20110301.log");
  log_file_name_expand("a&&b", "h", when, out);
  EXPECT_STREQ(out, "a&b");
  log_file_name_expand("a&xb", "h", when, out);
  EXPECT_STREQ(out, "a&xb");
  log_file_name_expand("&T&", "h", when, out);
  EXPECT_STREQ(out, "090507");
  std::string long_host(300, 'h');
  log_file_name_expand("&h.log", long_host.c_str(), when, out);
  EXPECT_EQ(std::string(out), std::string(259, 'h'));
}

}  // namespace
