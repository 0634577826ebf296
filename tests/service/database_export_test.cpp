// The database export through unixODBC into a SQLite file, with the drivers registered in an
// ini file of the test's own (never the machine's).
#include <ctime>
#include <filesystem>

#include <gtest/gtest.h>

#include "platform/atomic_file.h"
#include "service/exports/database_export_connection_text.h"
#include "service/exports/database_export_thread.h"
#include "tests/support/odbc_drivers.h"
#include "tests/support/scoped_env.h"

using namespace mirvale;
using testing_support::ScopedEnv;
using testing_support::TempFolder;

namespace {

using Table = std::vector<std::vector<std::optional<std::string>>>;

class DatabaseExport : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string driver = testing_support::SqliteOdbcDriverPath();
    ASSERT_FALSE(driver.empty()) << "the SQLite ODBC driver (libsqliteodbc) is not installed";
    tzset();
    ASSERT_TRUE(testing_support::RegisterOdbcDriver(ini_.path(), "MirvaleFile", driver));
  }
  void TearDown() override { tzset(); }

  std::string ConnectionText() const { return "DBQ=" + ini_ / "export.mdb"; }

  DatabaseExportSummary Export(const DeviceDatabaseMap& database) const {
    return CConfigurationExportDb(ConnectionText(), CollectExportRows(database)).Run();
  }

  Table ReadTable() const {
    auto connection = odbc::Connection::Open(BuildExportConnectionText(ConnectionText()), nullptr);
    if (!connection) return {};
    return connection
        ->Query("Select DeviceIp, DeviceName, DevicePool, QueryName, QueryOid, QueryValue, QueryDate, "
                "PreviousValue, PreviousDate from Mirvale order by DeviceIp, QueryOid",
                {}, 9)
        .value_or(Table{});
  }

  static CDbItem& Device(DeviceDatabaseMap& database, const std::string& pool, const std::string& address,
                         const std::string& name) {
    CDbItem& device = database.FindOrAdd(DeviceKey(pool, address));
    device.m_strPool = pool;
    device.m_strAddress = address;
    device.m_strName = name;
    return device;
  }

  static DeviceDatabaseMap Sample() {
    DeviceDatabaseMap database;
    CDbItem& router = Device(database, "Core", "10.0.0.1", "router1");
    router.m_pQueries.Set("1", CDbQuery{"", "", "1", "hostname O'Brien", "86400", "", ""});
    router.m_pQueries.Set("2", CDbQuery{"", "", "2", "x'); Drop Table Mirvale; --", "86400", "", ""});
    CDbItem& sw = Device(database, "Core", "10.0.0.2", "switch");
    sw.m_pQueries.Set("1.3.6.1.2.1.1.5.0",
                      CDbQuery{"sysName.0", "1.3.6.1.2.1.1.5", "1.3.6.1.2.1.1.5.0", "sw-new", "7200", "sw-old", "3600"});
    return database;
  }

  TempFolder ini_;
  ScopedEnv sysIni_{"ODBCSYSINI", ini_.path()};
  ScopedEnv userIni_{"ODBCINI", ini_ / "odbc.ini"};
  ScopedEnv utc_{"TZ", "UTC"};
  // As root the driver opens the database file with this account's rights.
  ScopedEnv runAccount_{"MIRVALE_RUN_ACCOUNT", "root"};
};

}  // namespace

TEST_F(DatabaseExport, EveryValueArrivesIntactInARowOfItsOwn) {
  DatabaseExportSummary summary = Export(Sample());
  EXPECT_TRUE(summary.connected);
  EXPECT_EQ(summary.inserted, 3);
  EXPECT_EQ(summary.failed, 0);
  Table expected = {
      {"10.0.0.1", "router1", "Core", "", "1", "hostname O'Brien", "1970-01-02 00:00:00", std::nullopt, std::nullopt},
      {"10.0.0.1", "router1", "Core", "", "2", "x'); Drop Table Mirvale; --", "1970-01-02 00:00:00", std::nullopt,
       std::nullopt},
      {"10.0.0.2", "switch", "Core", "sysName.0", "1.3.6.1.2.1.1.5.0", "sw-new", "1970-01-01 02:00:00", "sw-old",
       "1970-01-01 01:00:00"},
  };
  EXPECT_EQ(ReadTable(), expected);
}

TEST_F(DatabaseExport, TheNextExportUpdatesChangedValuesAndDeletesVanishedOnes) {
  DeviceDatabaseMap database = Sample();
  ASSERT_EQ(Export(database).inserted, 3);

  database.Find(DeviceKey("Core", "10.0.0.1"))->m_pQueries.Remove("2");
  CDbQuery& name = *database.Find(DeviceKey("Core", "10.0.0.2"))->m_pQueries.Find("1.3.6.1.2.1.1.5.0");
  name.m_strPrevValue = name.m_strValue;
  name.m_strPrevTime = name.m_strTime;
  name.m_strValue = "it's renamed";
  name.m_strTime = "10800";
  DatabaseExportSummary summary = Export(database);
  EXPECT_EQ(summary.updated, 2);
  EXPECT_EQ(summary.deleted, 1);
  EXPECT_EQ(summary.inserted, 0);
  Table table = ReadTable();
  ASSERT_EQ(table.size(), 2u);
  EXPECT_EQ(table[1][5], "it's renamed");
  EXPECT_EQ(table[1][7], "sw-new");

  database.Remove(DeviceKey("Core", "10.0.0.2"));
  EXPECT_EQ(Export(database).deleted, 1);
  EXPECT_EQ(ReadTable().size(), 1u);

  EXPECT_EQ(Export(DeviceDatabaseMap{}).deleted, 1);
  EXPECT_TRUE(ReadTable().empty());
}

TEST_F(DatabaseExport, ATableOfTheSameNameInOtherLettersIsUsed) {
  auto connection = odbc::Connection::Open(BuildExportConnectionText(ConnectionText()), nullptr);
  ASSERT_TRUE(connection);
  ASSERT_TRUE(connection->Execute(
      "Create Table mirvale (DeviceIp VARCHAR(250), DeviceName VARCHAR(250), DevicePool VARCHAR(250), "
      "QueryName VARCHAR(250), QueryOid VARCHAR(250), QueryValue VARCHAR(250), QueryDate VARCHAR(250), "
      "PreviousValue VARCHAR(250), PreviousDate VARCHAR(250))",
      {}));
  EXPECT_EQ(FindExportTable(*connection), "mirvale");
  EXPECT_EQ(Export(Sample()).inserted, 3);
  EXPECT_EQ(ReadTable().size(), 3u);
}

TEST_F(DatabaseExport, NoConnectionExportsNothingAndNeverLogsThePassword) {
  testing::internal::CaptureStdout();
  DatabaseExportSummary summary =
      CConfigurationExportDb("Server=127.0.0.1;UID=u;PWD=TopSecret42", CollectExportRows(Sample())).Run();
  std::string output = testing::internal::GetCapturedStdout();
  EXPECT_FALSE(summary.connected);
  EXPECT_EQ(output.find("TopSecret42"), std::string::npos);
}
