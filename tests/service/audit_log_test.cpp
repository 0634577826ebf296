#include "service/store/audit_log.h"

#include <csignal>

#include <gtest/gtest.h>
#include <sys/resource.h>

#include "platform/atomic_file.h"
#include "platform/folders.h"
#include "service/host/local_time_text.h"
#include "tests/support/scoped_env.h"

using namespace mirvale;

namespace {

constexpr char kTabHeader[] = "Date\tUser\tOperation\tPool\tIp\tName\tStatus\r\n";

constexpr std::time_t kNow = 1765274400;  // 2025-12-09 10:00:00 UTC

class AuditLog : public ::testing::Test {
 protected:
  AuditLog() { settings.file = temp / "audit.log"; }
  std::string File() { return platform::ReadWholeFile(settings.file).value_or("<missing>"); }
  std::string Line(std::time_t when, const std::string& status = "Finished without changes") {
    return ScanAuditLines({true, false}, when, "System", "core", "10.0.0.1", "r1", status)[0];
  }

  bool Flush() {
    std::string reason;
    return FlushAuditLog(queue, settings, kNow, reason);
  }

  testing_support::ScopedEnv tz{"TZ", "UTC"};
  // As root the file is written with this account's rights.
  testing_support::ScopedEnv account{"MIRVALE_RUN_ACCOUNT", "root"};
  testing_support::TempFolder temp;
  AuditLogSettings settings{{true, false}, "", 0, 0};
  AuditQueue queue;
};

}  // namespace

TEST_F(AuditLog, LineFormsInBothSeparators) {
  auto scan = ScanAuditLines({true, true}, kNow, "alice", "core", "10.0.0.1", "r1", "Finished with changes");
  ASSERT_EQ(scan.size(), 2u);
  std::string date = FormatLocalDateTime(kNow);
  EXPECT_EQ(scan[0], date + "\talice\tScan\tcore\t10.0.0.1\tr1\tFinished with changes\r\n");
  EXPECT_EQ(scan[1], date + ",alice,Scan,core,10.0.0.1,r1,Finished with changes\r\n");
  auto set = SetAuditLines({true, true}, kNow, "bob", "1.3.6.1.2.1.1.5.0", "r2", "core", "10.0.0.1", "r1", "Failed");
  EXPECT_EQ(set[0], date + "\tbob\tSet 1.3.6.1.2.1.1.5.0 to r2\tcore\t10.0.0.1\tr1\tFailed\r\n");
  EXPECT_EQ(set[1], date + ",bob,Set 1.3.6.1.2.1.1.5.0 to r2,core,10.0.0.1,r1,Failed\r\n");
  EXPECT_TRUE(ScanAuditLines({false, false}, kNow, "a", "p", "i", "n", "s").empty());
}

TEST_F(AuditLog, ValuesCannotBreakARecord) {
  auto lines = SetAuditLines({true, true}, kNow, "bob", "", "line one\r\nline \"two\", end\t!", "core", "10.0.0.1",
                             "r1", "Successful");
  std::string date = FormatLocalDateTime(kNow);
  EXPECT_EQ(lines[0], date + "\tbob\tSet  to line one  line \"two\", end !\tcore\t10.0.0.1\tr1\tSuccessful\r\n");
  EXPECT_EQ(lines[1], date + ",bob,\"Set  to line one  line \"\"two\"\", end\t!\",core,10.0.0.1,r1,Successful\r\n");
}

TEST_F(AuditLog, NewFileStartsWithTheHeadersCommaFormFirstThenTheQueuedLines) {
  settings.forms = {true, true};
  queue.Append(ScanAuditLines(settings.forms, kNow, "System", "core", "10.0.0.1", "r1", "Finished with changes"));
  Flush();
  auto lines = ScanAuditLines(settings.forms, kNow, "System", "core", "10.0.0.1", "r1", "Finished with changes");
  EXPECT_EQ(File(),
            "Date,User,Operation,Pool,Ip,Name,Status\r\n"
            "Date\tUser\tOperation\tPool\tIp\tName\tStatus\r\n" +
                lines[0] + lines[1]);
  EXPECT_EQ(queue.Size(), 0u);
  queue.Append(lines[0]);
  Flush();
  EXPECT_EQ(File(),
            "Date,User,Operation,Pool,Ip,Name,Status\r\n"
            "Date\tUser\tOperation\tPool\tIp\tName\tStatus\r\n" +
                lines[0] + lines[1] + lines[0]);
}

TEST_F(AuditLog, BlockedFileKeepsTheQueueAndGetsOneHeaderLater) {
  settings.file = temp / "later/audit.log";
  queue.Append(Line(kNow - 30));
  Flush();
  queue.Append(Line(kNow - 20));
  Flush();
  EXPECT_EQ(queue.Size(), 2u);
  ASSERT_TRUE(platform::CreateFolderLevels(temp / "later"));
  queue.Append(Line(kNow - 10));
  Flush();
  EXPECT_EQ(File(), std::string(kTabHeader) + Line(kNow - 30) + Line(kNow - 20) + Line(kNow - 10));
  EXPECT_EQ(queue.Size(), 0u);
}

TEST_F(AuditLog, RetentionInHoursAndDays) {
  EXPECT_FALSE(IsAuditRecordOld(2 * 3600 - 60, 2, 1));
  EXPECT_TRUE(IsAuditRecordOld(2 * 3600, 2, 1));
  EXPECT_FALSE(IsAuditRecordOld(48 * 3600 - 60, 2, 2));
  EXPECT_TRUE(IsAuditRecordOld(48 * 3600, 2, 2));
  EXPECT_FALSE(IsAuditRecordOld(47 * 3600 + 3599, 2, 2)) << "days compare whole hours";
  EXPECT_TRUE(IsAuditRecordOld(600, 10, 0));
  EXPECT_FALSE(IsAuditRecordOld(599, 10, 0));

  settings.keep = 2;
  settings.keepUnit = 1;
  std::string young = Line(kNow - (3600 + 59 * 60));
  std::string old = Line(kNow - 2 * 3600);
  ASSERT_TRUE(platform::WriteFileAtomically(settings.file, std::string(kTabHeader) + old + young, 0640));
  Flush();  // nothing queued: the retention still applies
  EXPECT_EQ(File(), std::string(kTabHeader) + young);

  settings.keep = 2;
  settings.keepUnit = 2;
  std::string day2 = Line(kNow - 48 * 3600);
  std::string day1 = Line(kNow - (47 * 3600 + 59 * 60));
  ASSERT_TRUE(platform::WriteFileAtomically(settings.file, day2 + day1));
  Flush();
  EXPECT_EQ(File(), day1);
}

TEST_F(AuditLog, LongRecordsAreJudgedWhole) {
  settings.keep = 1;
  settings.keepUnit = 1;
  std::string longOld = ScanAuditLines({true, false}, kNow - 7200, "System", "core", "10.0.0.1", std::string(3000, 'n'),
                                       "Finished with changes")[0];
  ASSERT_TRUE(platform::WriteFileAtomically(settings.file, longOld + Line(kNow)));
  Flush();
  EXPECT_EQ(File(), Line(kNow));

  // Records longer than the pieces the file is read in, kept before and after the first old one.
  auto record = [](std::time_t when, size_t nameLength) {
    return ScanAuditLines({true, false}, when, "System", "core", "10.0.0.1", std::string(nameLength, 'n'),
                          "Finished with changes")[0];
  };
  std::string kept1 = record(kNow, 200000);
  std::string kept2 = std::string(5000, 'x') + "\r\n";  // no date anywhere near its start
  std::string kept3 = record(kNow - 60, 70000) + "tail without a line end";
  ASSERT_TRUE(platform::WriteFileAtomically(
      settings.file, std::string(kTabHeader) + kept1 + record(kNow - 7200, 100000) + kept2 + longOld + kept3));
  Flush();
  EXPECT_TRUE(File() == std::string(kTabHeader) + kept1 + kept2 + kept3) << File().size();
}

TEST_F(AuditLog, AFullDiskLeavesWholeLinesAndWritesEachLineOnceLater) {
  queue.Append(Line(kNow - 30));
  ASSERT_TRUE(Flush());
  const std::string before = File();
  // A size limit stands in for a full disk: the write stops part way through the next lines.
  std::signal(SIGXFSZ, SIG_IGN);
  rlimit old{};
  getrlimit(RLIMIT_FSIZE, &old);
  rlimit tight = old;
  tight.rlim_cur = before.size() + 10;
  setrlimit(RLIMIT_FSIZE, &tight);
  queue.Append(Line(kNow - 20));
  queue.Append(Line(kNow - 10));
  bool written = Flush();
  setrlimit(RLIMIT_FSIZE, &old);
  EXPECT_FALSE(written);
  EXPECT_EQ(File(), before);
  EXPECT_EQ(queue.Size(), 2u);
  ASSERT_TRUE(Flush());
  EXPECT_EQ(File(), before + Line(kNow - 20) + Line(kNow - 10));
}
