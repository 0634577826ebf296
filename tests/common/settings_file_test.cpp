// Loading and saving Mirvale.ini in both programs, with their retries and the defaults of a
// new file.
#include "common/settings_file.h"

#include <filesystem>

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "common/archive_error.h"
#include "platform/atomic_file.h"
#include "tests/common/archive_test_support.h"
#include "tests/common/counting_retry_policy.h"
#include "tests/common/empty_restore_requests.h"
#include "tests/common/record_samples.h"
#include "tests/support/aside_copies.h"
#include "tests/support/scoped_env.h"

using archive_test::Hex;
using namespace mirvale;
using namespace record_samples;
using testing_support::AsideCopies;
using testing_support::ScopedEnv;
using testing_support::TempFolder;

namespace {

// The 182 bytes of a new file (sha256 cf883793...cb5843).
const char kDefaultsHex[] =
    "03322e310000000000000000000000000000000000000000000000000000000000000002323500000131000049"
    "506f6f6c3a2024706f6f6c0d0a416374696f6e3a2024616374696f6e0d0a4465766963653a2024646576696365"
    "0d0a4e616d653a20246e616d650d0a446174653a2024646174650d0a244f736b6176656c204d697276616c6520"
    "6d6573736167652066726f6d202464657669636500000000000000000000000000000000000000000000000000"
    "0000";

std::string Slurp(const std::string& path) { return platform::ReadWholeFile(path).value_or("<missing>"); }

}  // namespace

TEST(ServiceSettings, FirstStartWritesTheDefaults) {
  TempFolder folder;
  CMirvaleDoc doc;
  ASSERT_EQ(ServiceLoadSettings(doc, folder.path()), SettingsLoad::Defaults);
  std::string bytes = Slurp(folder / "Mirvale.ini");
  EXPECT_EQ(bytes.size(), 182u);
  EXPECT_EQ(Hex(bytes), kDefaultsHex);
  EXPECT_EQ(doc.m_strDocName, "2.1");
  EXPECT_EQ(doc.m_strSmtpPort, "25");
  EXPECT_TRUE(doc.m_mapPools.empty() && doc.m_mapActions.empty());
  // Started again, the service still runs on defaults, not on settings someone made.
  ASSERT_EQ(ServiceLoadSettings(doc, folder.path()), SettingsLoad::Defaults);
  EXPECT_EQ(Slurp(folder / "Mirvale.ini"), bytes);
}

TEST(ServiceSettings, ReadsAnExistingFile) {
  TempFolder folder;
  ASSERT_TRUE(platform::WriteFileAtomically(folder / "Mirvale.ini", EncodeSettings(SampleDocument())));
  CMirvaleDoc doc;
  ASSERT_EQ(ServiceLoadSettings(doc, folder.path()), SettingsLoad::Read);
  EXPECT_EQ(doc, SampleDocument());
  EXPECT_EQ(Slurp(folder / "Mirvale.ini"), EncodeSettings(SampleDocument()));
}

TEST(ServiceSettings, UnparsableFileIsMovedAsideAndLogged) {
  TempFolder folder;
  ScopedEnv eventLog("MIRVALE_EVENTLOG", folder / "events.log");
  std::string good = EncodeSettings(SampleDocument());
  std::string truncated = good.substr(0, good.size() - 5);
  ASSERT_TRUE(platform::WriteFileAtomically(folder / "Mirvale.ini", truncated));

  CMirvaleDoc doc = SampleDocument();
  doc.m_bExportText = 1;
  ASSERT_EQ(ServiceLoadSettings(doc, folder.path()), SettingsLoad::Defaults);
  auto aside = AsideCopies(folder.path(), "Mirvale.ini");
  ASSERT_EQ(aside.size(), 1u);
  EXPECT_EQ(Slurp(aside[0]), truncated);
  EXPECT_NE(Slurp(folder / "events.log").find(aside[0]), std::string::npos);
  // Defaults over what the document held; the broken file is not half-applied.
  EXPECT_EQ(doc.m_bExportText, 0u);
  EXPECT_EQ(doc.m_strSmtpPort, "25");
  EXPECT_EQ(doc.m_strScanUser, "alice");
  EXPECT_EQ(doc.m_mapPools.size(), 2u);
  EXPECT_EQ(DecodeSettings(Slurp(folder / "Mirvale.ini")), doc);
}

TEST(ServiceSettings, SaveReplacesTheWholeFile) {
  TempFolder folder;
  CMirvaleDoc big = SampleDocument();
  ASSERT_TRUE(ServiceSaveSettings(big, folder.path()));
  CMirvaleDoc small;
  ASSERT_TRUE(ServiceSaveSettings(small, folder.path()));
  EXPECT_EQ(Slurp(folder / "Mirvale.ini"), EncodeSettings(small));
}

TEST(ServiceSettings, SaveRetriesThenFails) {
  CountingPolicy counting;
  EXPECT_FALSE(ServiceSaveSettings(SampleDocument(), "/nonexistent/mirvale", counting.policy()));
  EXPECT_EQ(counting.pauses, 4);
}

TEST(ServiceSettings, TakeOverOfTheDesktopFile) {
  TempFolder program, data;
  CMirvaleDoc edited = SampleDocument();
  edited.m_bExportCsv = 1;
  ASSERT_TRUE(platform::WriteFileAtomically(data / "Mirvale.ini", EncodeSettings(edited)));

  auto bytes = ServiceTakeOverSettings(program.path(), data / "Mirvale.ini", std::nullopt);
  ASSERT_TRUE(bytes);
  EXPECT_EQ(DecodeSettings(*bytes), edited);
  EXPECT_EQ(Slurp(program / "Mirvale.ini"), EncodeSettings(edited));
  EXPECT_FALSE(std::filesystem::exists(data / "Mirvale.ini"));
}

TEST(ServiceSettings, TakeOverWithoutDesktopFileChangesNothing) {
  TempFolder program, data;
  ASSERT_TRUE(ServiceSaveSettings(SampleDocument(), program.path()));
  EXPECT_FALSE(ServiceTakeOverSettings(program.path(), data / "Mirvale.ini", std::nullopt));
  EXPECT_EQ(Slurp(program / "Mirvale.ini"), EncodeSettings(SampleDocument()));
}

// The file is checked whole before it replaces anything, also past the end of its first map and
// inside a record's own maps.
TEST(ServiceSettings, TakeOverOfABrokenDesktopFileKeepsTheWorkingSettings) {
  const std::string whole = EncodeSettings(SampleDocument());
  for (const std::string& broken : {std::string("\x05" "ab"), whole.substr(0, whole.size() - 1),
                                    whole.substr(0, whole.size() / 2)}) {
    TempFolder program, data;
    ScopedEnv eventLog("MIRVALE_EVENTLOG", program / "events.log");
    ASSERT_TRUE(ServiceSaveSettings(SampleDocument(), program.path()));
    ASSERT_TRUE(platform::WriteFileAtomically(data / "Mirvale.ini", broken));
    EXPECT_FALSE(ServiceTakeOverSettings(program.path(), data / "Mirvale.ini", std::nullopt));
    EXPECT_EQ(Slurp(program / "Mirvale.ini"), whole);
    EXPECT_EQ(AsideCopies(data.path(), "Mirvale.ini").size(), 1u);
  }
}

// Records are counted before they are built: a file of more than a reader can keep is refused
// whatever its size, one at the cap still reads.
TEST(ServiceSettings, RestoreRequestsBeyondTheCapAreRefusedBeforeTheyAreBuilt) {
  EXPECT_EQ(DecodeSettings(archive_test::SettingsWithEmptyRestoreRequests(262144)).m_mapRestore.size(), 262144u);
  try {
    DecodeSettings(archive_test::SettingsWithEmptyRestoreRequests(262145));
    ADD_FAILURE() << "read";
  } catch (const ArchiveError& error) {
    EXPECT_STREQ(error.what(), "more than 262144 records of class CRestoreItem");
  }
}

TEST(DesktopSettings, LoadReadsAtOnceWhenTheFileIsThere) {
  TempFolder folder;
  ASSERT_TRUE(platform::WriteFileAtomically(folder / "Mirvale.ini", EncodeSettings(SampleDocument())));
  CountingPolicy counting;
  CMirvaleDoc doc;
  EXPECT_TRUE(DesktopLoadSettings(doc, folder.path(), counting.policy()));
  EXPECT_EQ(doc, SampleDocument());
  EXPECT_EQ(counting.pauses, 0);
}

TEST(DesktopSettings, FailedLoadKeepsTheDocumentAndNeverTouchesTheFile) {
  TempFolder folder;
  std::string broken = EncodeSettings(SampleDocument()).substr(0, 100);
  ASSERT_TRUE(platform::WriteFileAtomically(folder / "Mirvale.ini", broken));
  CountingPolicy counting;
  CMirvaleDoc doc;
  doc.m_strScanUser = "kept";
  EXPECT_FALSE(DesktopLoadSettings(doc, folder.path(), counting.policy()));
  EXPECT_EQ(counting.pauses, 4);
  EXPECT_EQ(doc.m_strScanUser, "kept");
  EXPECT_EQ(Slurp(folder / "Mirvale.ini"), broken);
}

TEST(DesktopSettings, SaveWritesTheDataFolderAndSignals) {
  TempFolder root;
  std::string data = root / "Oskavel/Mirvale";
  int signals = 0;
  CountingPolicy counting;
  EXPECT_TRUE(DesktopSaveSettings(SampleDocument(), data, [&] { return ++signals == 2; }, counting.policy()));
  EXPECT_EQ(signals, 2);
  EXPECT_EQ(counting.pauses, 1);
  EXPECT_EQ(Slurp(data + "/Mirvale.ini." + std::to_string(geteuid())), EncodeSettings(SampleDocument()));
}

TEST(DesktopSettings, SaveWithTheServiceStoppedFailsAfterFiveAttempts) {
  TempFolder data;
  int signals = 0;
  CountingPolicy counting;
  EXPECT_FALSE(DesktopSaveSettings(CMirvaleDoc{}, data.path(), [&] { return ++signals < 0; }, counting.policy()));
  EXPECT_EQ(signals, 5);
  EXPECT_EQ(counting.pauses, 4);
  // Reported as failed, it is not carried out later: the file the service did not take goes.
  EXPECT_TRUE(std::filesystem::is_empty(data.path()));
}

TEST(ServiceSettings, FileThatCannotBeOpenedIsMovedAsideNotOverwritten) {
  TempFolder folder;
  ScopedEnv eventLog("MIRVALE_EVENTLOG", folder / "events.log");
  // A folder in the file's place cannot be read, whoever runs the test.
  std::filesystem::create_directory(folder / "Mirvale.ini");
  CMirvaleDoc doc;
  ASSERT_EQ(ServiceLoadSettings(doc, folder.path()), SettingsLoad::Defaults);
  auto aside = AsideCopies(folder.path(), "Mirvale.ini");
  ASSERT_EQ(aside.size(), 1u);
  EXPECT_TRUE(std::filesystem::is_directory(aside[0]));
  EXPECT_EQ(Slurp(folder / "Mirvale.ini").size(), 182u);
}

TEST(ServiceSettings, LinksAndFifosAreRefusedAndEveryBadCopyIsKept) {
  TempFolder folder;
  ScopedEnv eventLog("MIRVALE_EVENTLOG", folder / "events.log");
  std::filesystem::create_symlink("/dev/zero", folder / "Mirvale.ini");
  CMirvaleDoc doc;
  ASSERT_EQ(ServiceLoadSettings(doc, folder.path()), SettingsLoad::Defaults);
  std::filesystem::remove(folder / "Mirvale.ini");
  ASSERT_EQ(mkfifo((folder / "Mirvale.ini").c_str(), 0600), 0);
  ASSERT_EQ(ServiceLoadSettings(doc, folder.path()), SettingsLoad::Defaults);
  auto aside = AsideCopies(folder.path(), "Mirvale.ini");
  ASSERT_EQ(aside.size(), 2u) << "a second bad start kept the first copy";
  EXPECT_TRUE(std::filesystem::is_symlink(aside[0]));
  EXPECT_TRUE(std::filesystem::is_fifo(aside[1]));
  const std::string events = Slurp(folder / "events.log");
  EXPECT_NE(events.find("symbolic link"), std::string::npos) << events;
  EXPECT_NE(events.find("not a regular file"), std::string::npos) << events;
}
