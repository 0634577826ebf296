// Exports started by the real MirvaleSrv when a settings reload (control code 134) turns their
// switches on: the text export and the database export into a SQLite file.
#include <gtest/gtest.h>

#include "common/database_files.h"
#include "common/settings_file.h"
#include "platform/atomic_file.h"
#include "platform/service_control_codes.h"
#include "service/exports/database_export_connection_text.h"
#include "service/exports/odbc_connection.h"
#include "tests/support/odbc_drivers.h"
#include "tests/support/service_process.h"
#include "tests/support/wait_for.h"

using namespace std::chrono_literals;
using testing_support::ServiceProcess;

using testing_support::WaitFor;

TEST(TextExportService, TurningTheExportsOnExportsTheDeviceDatabase) {
  std::string driver = testing_support::SqliteOdbcDriverPath();
  ASSERT_FALSE(driver.empty()) << "the SQLite ODBC driver (libsqliteodbc) is not installed";
  ServiceProcess service;
  std::string odbcFolder = service.Root() + "/odbc";
  ASSERT_TRUE(platform::CreateFolderLevels(odbcFolder));
  ASSERT_TRUE(testing_support::RegisterOdbcDriver(odbcFolder, "MirvaleFile", driver));
  service.SetEnv("ODBCSYSINI", odbcFolder);
  service.SetEnv("ODBCINI", odbcFolder + "/odbc.ini");
  service.SetEnv("TZ", "UTC");

  mirvale::DeviceDatabaseMap database;
  mirvale::CDbItem& device = database.FindOrAdd(mirvale::DeviceKey("core", "10.0.0.7"));
  device.m_strPool = "core";
  device.m_strAddress = "10.0.0.7";
  device.m_strName = "edge, west";
  device.m_pQueries.Set("1", mirvale::CDbQuery{"", "", "1", "banner O'Brien", "0", "", ""});
  ASSERT_TRUE(mirvale::SaveDeviceDatabaseFile(service.ProgramFile("Mirvale.db"), database));
  ASSERT_TRUE(service.Start());

  mirvale::CMirvaleDoc settings;
  mirvale::ApplyServiceDefaults(settings);
  settings.m_bExportCsv = 1;
  settings.m_bExportAccess = 1;
  settings.m_strExportFolder = service.Root();
  settings.m_strExportDatabase = "DBQ=" + service.Root() + "/export.mdb";
  ASSERT_TRUE(platform::WriteFileAtomically(service.DataFile("Mirvale.ini"), mirvale::EncodeSettings(settings)));
  EXPECT_EQ(service.Control(platform::ControlReloadSettings), platform::kControlDone);

  std::string csv = service.Root() + "/Mirvale.csv";
  ASSERT_TRUE(WaitFor([&] { return platform::FileExists(csv); }));
  EXPECT_EQ(*platform::ReadWholeFile(csv),
            "Device Ip,Device Name,Device Pool,Query Name,Query Oid,Query Value,Query Date,Previous Value,"
            "Previous Date\r\n10.0.0.7,\"edge, west\",core,,1,banner O'Brien,1970-01-01 00:00:00\r\n");

  testing_support::ScopedEnv sysIni("ODBCSYSINI", odbcFolder);
  testing_support::ScopedEnv userIni("ODBCINI", odbcFolder + "/odbc.ini");
  std::optional<std::string> exported;
  ASSERT_TRUE(WaitFor([&] {
    auto connection = mirvale::odbc::Connection::Open(
        mirvale::BuildExportConnectionText(settings.m_strExportDatabase), nullptr);
    if (!connection) return false;
    auto rows = connection->Query("Select QueryValue from Mirvale", {}, 1);
    if (!rows || rows->empty()) return false;
    exported = (*rows)[0][0];
    return true;
  }));
  EXPECT_EQ(exported, "banner O'Brien");
  EXPECT_TRUE(service.Stop());
}
