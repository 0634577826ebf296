#include <gtest/gtest.h>

#include "service/host/command_line.h"
#include "service/host/local_time_text.h"
#include "service/host/worker_threads.h"
#include "tests/support/scoped_env.h"

using namespace mirvale;

TEST(CommandLine, WordsEndTheLineAfterADashOrSlashInAnyCase) {
  EXPECT_EQ(FindCommandWord("-Service"), CommandWord::Service);
  EXPECT_EQ(FindCommandWord("/sErViCe"), CommandWord::Service);
  EXPECT_EQ(FindCommandWord("-Service x"), CommandWord::None);
  EXPECT_EQ(FindCommandWord("Service"), CommandWord::None);
  EXPECT_EQ(FindCommandWord("-x -RegServer"), CommandWord::RegServer);
  EXPECT_EQ(FindCommandWord("/unregserver"), CommandWord::UnregServer);
  EXPECT_EQ(FindCommandWord(""), CommandWord::None);
  char program[] = "MirvaleSrv", a[] = "-Service", b[] = "x";
  char* argv[] = {program, a, b};
  EXPECT_EQ(JoinArguments(3, argv), "-Service x");
}

TEST(WorkerThreads, FailedCreationIsLoggedAndDropped) {
  testing_support::TempFolder temp;
  testing_support::ScopedEnv mirror("MIRVALE_EVENTLOG", temp / "events.log");
  WorkerThreads threads;
  threads.SimulateCreationFailure(true);
  bool ran = false;
  EXPECT_FALSE(threads.Start("CConfigurationEmailThread", [&] { ran = true; }));
  EXPECT_EQ(threads.Running(), 0);
  threads.SimulateCreationFailure(false);
  std::atomic<int> count{0};
  for (int i = 0; i < 8; ++i) EXPECT_TRUE(threads.Start("CConfigurationTrapThread", [&] { ++count; }));
  EXPECT_TRUE(threads.WaitForAll(std::chrono::seconds(10)));
  EXPECT_EQ(count.load(), 8);
  EXPECT_FALSE(ran);
}

TEST(WorkerThreads, BoundedWaitReportsThreadsStillRunning) {
  WorkerThreads threads;
  std::atomic<bool> release{false};
  threads.Start("CConfigurationRunThread", [&] {
    while (!release) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  });
  EXPECT_FALSE(threads.WaitForAll(std::chrono::milliseconds(20)));
  release = true;
  EXPECT_TRUE(threads.WaitForAll(std::chrono::seconds(10)));
}

TEST(LocalTimeText, RoundTripAndRejects) {
  testing_support::ScopedEnv tz("TZ", "UTC");
  EXPECT_EQ(FormatLocalDateTime(1765274400), "2025-12-09 10:00:00");
  EXPECT_EQ(ParseLocalDateTime("2025-12-09 10:00:00\tSystem"), 1765274400);
  EXPECT_FALSE(ParseLocalDateTime("Date\tUser"));
  EXPECT_FALSE(ParseLocalDateTime("2025-13-09 10:00:00"));
  EXPECT_FALSE(ParseLocalDateTime("2025-12-09"));
}
