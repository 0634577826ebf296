#include "platform/registry.h"

#include <thread>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/atomic_file.h"
#include "platform/event_log.h"
#include "tests/support/scoped_env.h"

using testing_support::ScopedEnv;
using testing_support::TempFolder;

class Registry : public ::testing::Test {
 protected:
  TempFolder temp;
  ScopedEnv root{"MIRVALE_REGISTRY_ROOT", temp.path() + "/reg"};
};

TEST_F(Registry, ValuesPersistWithTheirTypes) {
  auto key = platform::RegistryKey::Open("Software\\Hollerin\\Mirsh", true);
  ASSERT_TRUE(key);
  EXPECT_TRUE(key->SetString("RandSeedFile", "/tmp/seed\twith\ntabs\\"));
  EXPECT_TRUE(key->SetDword("Port", 22));
  EXPECT_TRUE(key->SetString("", "default value"));

  auto again = platform::RegistryKey::Open("Software\\Hollerin\\Mirsh");
  ASSERT_TRUE(again);
  EXPECT_EQ(again->GetString("RandSeedFile"), "/tmp/seed\twith\ntabs\\");
  EXPECT_EQ(again->GetDword("Port"), 22u);
  EXPECT_EQ(again->GetString(""), "default value");
  // A value of the wrong type reads as missing.
  EXPECT_FALSE(again->GetString("Port"));
  EXPECT_FALSE(again->GetDword("RandSeedFile"));
  EXPECT_EQ(again->ValueNames(), (std::vector<std::string>{"", "Port", "RandSeedFile"}));
  EXPECT_TRUE(again->DeleteValue("Port"));
  EXPECT_FALSE(again->DeleteValue("Port"));
  EXPECT_FALSE(again->GetDword("Port"));

  struct stat info {};
  ASSERT_EQ(stat((temp.path() + "/reg/Software/Hollerin/Mirsh/.values").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
}

TEST_F(Registry, MissingKeysOpenOnlyWithCreate) {
  EXPECT_FALSE(platform::RegistryKey::Open("Software\\Nothing"));
  EXPECT_TRUE(platform::RegistryKey::Open("Software\\Nothing", true));
  EXPECT_TRUE(platform::RegistryKey::Open("Software\\Nothing"));
}

TEST_F(Registry, KeyNamesAreEscapedIntoOneComponent) {
  auto sessions = platform::RegistryKey::Open("Software\\Sessions", true);
  ASSERT_TRUE(platform::RegistryKey::Open("Software\\Sessions\\a/b ..%x", true));
  ASSERT_TRUE(platform::RegistryKey::Open("Software\\Sessions\\..", true));
  EXPECT_EQ(sessions->SubKeyNames(), (std::vector<std::string>{"..", "a/b ..%x"}));
  for (std::string name : {"a/b", "..", ".", "", "%41", "x\ty"}) {
    std::string escaped = platform::EscapeNameComponent(name);
    EXPECT_EQ(escaped.find('/'), std::string::npos);
    EXPECT_NE(escaped, "..");
    EXPECT_NE(escaped, ".");
    EXPECT_EQ(platform::UnescapeNameComponent(escaped), name);
  }
}

TEST_F(Registry, DeleteKeyRemovesSubtreeButNeverTheRoot) {
  ASSERT_TRUE(platform::RegistryKey::Open("A\\B\\C", true)->SetDword("x", 1));
  EXPECT_TRUE(platform::DeleteRegistryKey("A\\B"));
  EXPECT_FALSE(platform::RegistryKey::Open("A\\B\\C"));
  EXPECT_TRUE(platform::RegistryKey::Open("A"));
  EXPECT_FALSE(platform::DeleteRegistryKey(""));
}

TEST_F(Registry, ConcurrentWritersLoseNoValue) {
  auto key = platform::RegistryKey::Open("Software\\Hosts", true);
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t)
    threads.emplace_back([t] {
      auto k = platform::RegistryKey::Open("Software\\Hosts");
      for (int i = 0; i < 20; ++i) k->SetDword("v" + std::to_string(t) + "_" + std::to_string(i), i);
    });
  for (auto& th : threads) th.join();
  EXPECT_EQ(key->ValueNames().size(), 160u);
}

TEST(EventLog, MirrorFileGetsOneLinePerMessage) {
  TempFolder temp;
  ScopedEnv mirror("MIRVALE_EVENTLOG", temp / "events.log");
  platform::ReportEvent("MirvaleSrv", platform::EventType::Information, "Service started");
  platform::ReportEvent("MirvaleSrv", platform::EventType::Error, "two\r\nlines");
  EXPECT_EQ(*platform::ReadWholeFile(temp / "events.log"), "Service started\ntwo  lines\n");
}

// The service reads the store as its own configuration: a folder or file another account could
// change, or a link, reads as missing (and is never written through).
TEST_F(Registry, OnlyWhatRootAloneMayChangeIsUsed) {
  ASSERT_EQ(geteuid(), 0u) << "gives files to another account";
  ScopedEnv events{"MIRVALE_EVENTLOG", temp.path() + "/events.log"};
  EXPECT_FALSE(platform::RegistryKey::Open("Software\\Empty", true)->GetString("a"));
  ASSERT_TRUE(platform::RegistryKey::Open("Software\\Mine", true)->SetString("a", "1"));
  const std::string mine = temp.path() + "/reg/Software/Mine";
  ASSERT_EQ(chown((mine + "/.values").c_str(), 65534, 0), 0);
  EXPECT_FALSE(platform::RegistryKey::Open("Software\\Mine")->GetString("a"));
  EXPECT_FALSE(platform::RegistryKey::Open("Software\\Mine")->SetString("b", "2")) << "the refused file is kept";
  ASSERT_EQ(chown((mine + "/.values").c_str(), 0, 0), 0);
  ASSERT_EQ(chmod(mine.c_str(), 0770), 0);
  EXPECT_FALSE(platform::RegistryKey::Open("Software\\Mine"));
  EXPECT_FALSE(platform::RegistryKey::Open("Software\\Mine", true));
  ASSERT_EQ(chmod(mine.c_str(), 0700), 0);
  EXPECT_EQ(platform::RegistryKey::Open("Software\\Mine")->GetString("a"), "1");

  ASSERT_EQ(symlink(mine.c_str(), (temp.path() + "/reg/Software/Link").c_str()), 0);
  EXPECT_FALSE(platform::RegistryKey::Open("Software\\Link", true));
  ASSERT_EQ(chmod((temp.path() + "/reg").c_str(), 0777), 0);
  EXPECT_FALSE(platform::RegistryKey::Open("Software\\Mine"));
  std::string events_text = platform::ReadWholeFile(temp.path() + "/events.log").value_or("");
  EXPECT_NE(events_text.find(mine + "/.values is not used: it belongs to uid 65534"), std::string::npos) << events_text;
  EXPECT_NE(events_text.find(temp.path() + "/reg is writable by group or others"), std::string::npos) << events_text;
  EXPECT_EQ(events_text.find("Empty"), std::string::npos) << "a key without values is no refusal";
}
