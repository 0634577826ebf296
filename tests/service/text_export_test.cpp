#include <ctime>
#include <filesystem>

#include <gtest/gtest.h>

#include "platform/atomic_file.h"
#include "service/exports/database_export_rows.h"
#include "service/exports/text_export_thread.h"
#include "tests/support/scoped_env.h"

using namespace mirvale;
using testing_support::ScopedEnv;
using testing_support::TempFolder;

namespace {

class TextExport : public ::testing::Test {
 protected:
  void SetUp() override { tzset(); }
  void TearDown() override { tzset(); }

  static DeviceDatabaseMap SampleDatabase() {
    DeviceDatabaseMap database;
    CDbItem& router = database.FindOrAdd(DeviceKey("Core", "10.0.0.1"));
    router.m_strPool = "Core";
    router.m_strAddress = "10.0.0.1";
    router.m_strName = "router1";
    CDbQuery& contact = router.m_pQueries.FindOrAdd("1.3.6.1.2.1.1.4.0");
    contact = {"sysContact.0", "1.3.6.1.2.1.1.4", "1.3.6.1.2.1.1.4.0", "O'Brien, ops", "86400", "nobody", "3600"};
    CDbItem& sw = database.FindOrAdd(DeviceKey("Edge", "10.0.1.2"));
    sw.m_strPool = "Edge";
    sw.m_strAddress = "10.0.1.2";
    sw.m_strName = "switch";
    CDbQuery& line = sw.m_pQueries.FindOrAdd("1");
    line = {"", "", "1", "description \"uplink\"", "0", "", ""};
    return database;
  }

  ScopedEnv utc_{"TZ", "UTC"};
  // As root the file is written with this account's rights.
  ScopedEnv runAccount_{"MIRVALE_RUN_ACCOUNT", "root"};
};

}  // namespace

TEST_F(TextExport, TabFormIsByteExact) {
  EXPECT_EQ(FormatTextExport(CollectExportRows(SampleDatabase()), TextExportForm::Tab),
            "Device Ip\tDevice Name\tDevice Pool\tQuery Name\tQuery Oid\tQuery Value\tQuery Date\t"
            "Previous Value\tPrevious Date\r\n"
            "10.0.0.1\trouter1\tCore\tsysContact.0\t1.3.6.1.2.1.1.4.0\tO'Brien, ops\t1970-01-02 00:00:00\t"
            "nobody\t1970-01-01 01:00:00\r\n"
            "10.0.1.2\tswitch\tEdge\t\t1\tdescription \"uplink\"\t1970-01-01 00:00:00\r\n");
}

TEST_F(TextExport, CommaFormQuotesOnlyFieldsThatNeedIt) {
  EXPECT_EQ(FormatTextExport(CollectExportRows(SampleDatabase()), TextExportForm::Comma),
            "Device Ip,Device Name,Device Pool,Query Name,Query Oid,Query Value,Query Date,"
            "Previous Value,Previous Date\r\n"
            "10.0.0.1,router1,Core,sysContact.0,1.3.6.1.2.1.1.4.0,\"O'Brien, ops\",1970-01-02 00:00:00,"
            "nobody,1970-01-01 01:00:00\r\n"
            "10.0.1.2,switch,Edge,,1,\"description \"\"uplink\"\"\",1970-01-01 00:00:00\r\n");
  EXPECT_EQ(CsvField("two\r\nlines"), "\"two\r\nlines\"");
  EXPECT_EQ(CsvField("plain text"), "plain text");
}

TEST_F(TextExport, TabFormKeepsEachRecordOnOneLine) {
  ExportValueRow row;
  row.address = "10.0.0.9";
  row.value = "banner\twith tab\r\nand a second line";
  std::string text = FormatTextExport({row}, TextExportForm::Tab);
  std::string record = text.substr(text.find("\r\n") + 2);
  EXPECT_EQ(record, "10.0.0.9\t\t\t\t\tbanner with tab  and a second line\t\r\n");
}

TEST_F(TextExport, AnEmptyDatabaseGivesTheHeaderAlone) {
  EXPECT_EQ(FormatTextExport({}, TextExportForm::Tab),
            "Device Ip\tDevice Name\tDevice Pool\tQuery Name\tQuery Oid\tQuery Value\tQuery Date\t"
            "Previous Value\tPrevious Date\r\n");
}

TEST_F(TextExport, BothSwitchesWriteOnlyTheCsvFile) {
  TempFolder folder;
  CConfigurationExportText both({true, true, folder.path()}, CollectExportRows(SampleDatabase()));
  ASSERT_TRUE(both.Run());
  EXPECT_TRUE(platform::FileExists(folder / "Mirvale.csv"));
  EXPECT_FALSE(platform::FileExists(folder / "Mirvale.txt"));

  CConfigurationExportText tab({true, false, folder.path()}, {});
  ASSERT_TRUE(tab.Run());
  EXPECT_EQ(platform::ReadWholeFile(folder / "Mirvale.txt")->substr(0, 10), "Device Ip\t");
  int entries = 0;
  for (auto& entry : std::filesystem::directory_iterator(folder.path())) {
    (void)entry;
    ++entries;
  }
  EXPECT_EQ(entries, 2);  // no temporary file left behind
}

TEST_F(TextExport, AMissingFolderOrNoSwitchWritesNothing) {
  TempFolder folder;
  EXPECT_FALSE(CConfigurationExportText({true, false, folder / "absent"}, {}).Run());
  EXPECT_FALSE(CConfigurationExportText({false, false, folder.path()}, {}).Run());
  EXPECT_FALSE(CConfigurationExportText({true, false, ""}, {}).Run());
  EXPECT_TRUE(std::filesystem::is_empty(folder.path()));
}
