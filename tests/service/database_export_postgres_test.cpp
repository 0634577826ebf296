// The database export of the real MirvaleSrv into a live PostgreSQL 15 server, through the
// drivers as the README registers them: a temporary cluster, run as the "postgres" account on
// 127.0.0.1:5432 of the test's own network namespace, removed with the test's folder.
#include <cstdlib>
#include <filesystem>

#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include "common/database_files.h"
#include "common/settings_file.h"
#include "platform/atomic_file.h"
#include "platform/service_control_codes.h"
#include "service/exports/odbc_connection.h"
#include "tests/support/odbc_drivers.h"
#include "tests/support/service_process.h"
#include "tests/support/snmp_agent.h"
#include "tests/support/wait_for.h"

using namespace std::chrono_literals;
using testing_support::ServiceProcess;

namespace {

constexpr char kPostgresBin[] = "/usr/lib/postgresql/15/bin/";
constexpr char kPassword[] = "Pg-s3cret";

using Rows = std::vector<std::vector<std::optional<std::string>>>;

// The server's answers are polled less often than files: each poll is a new connection.
template <typename Condition>
bool WaitFor(Condition condition) {
  return testing_support::WaitFor(condition, 30s, 50ms);
}

// A cluster of its own in folder/data, owned by the "postgres" account (the server refuses to
// run as root), with one password-protected superuser "mirvale"; stopped when it goes.
class TemporaryCluster {
 public:
  explicit TemporaryCluster(const std::string& folder) : folder_(folder), data_(folder + "/data") {
    const passwd* account = getpwnam("postgres");
    std::string passwordFile = folder + "/password";
    if (account == nullptr || chmod(folder.c_str(), 0755) != 0 || mkdir(data_.c_str(), 0700) != 0 ||
        chown(data_.c_str(), account->pw_uid, account->pw_gid) != 0 ||
        !platform::WriteFileAtomically(passwordFile, std::string(kPassword) + "\n", 0644))
      return;
    std::string initdb = AsPostgres("initdb") +
                         " --no-sync --no-locale -E UTF8 -A scram-sha-256 -U mirvale --pwfile=" + passwordFile +
                         " -D " + data_ + " >" + folder + "/initdb.log 2>&1";
    if (std::system(initdb.c_str()) != 0) return;
    server_ = std::make_unique<testing_support::ChildProcess>(std::vector<std::string>{
        "/usr/bin/setpriv", "--reuid=postgres", "--regid=postgres", "--init-groups",
        std::string(kPostgresBin) + "postgres", "-D", data_, "-h", "127.0.0.1", "-p", "5432", "-k", ""});
  }
  ~TemporaryCluster() {
    if (!server_) return;
    std::string stop = AsPostgres("pg_ctl") + " stop -m fast -w -D " + data_ + " >/dev/null 2>&1";
    int ignored = std::system(stop.c_str());
    (void)ignored;
  }
  TemporaryCluster(const TemporaryCluster&) = delete;
  TemporaryCluster& operator=(const TemporaryCluster&) = delete;

  bool Started() const { return server_ && server_->Running(); }
  std::string InitLog() const { return platform::ReadWholeFile(folder_ + "/initdb.log").value_or(""); }

 private:
  static std::string AsPostgres(const std::string& tool) {
    return "/usr/bin/setpriv --reuid=postgres --regid=postgres --init-groups " + std::string(kPostgresBin) + tool;
  }

  std::string folder_;
  std::string data_;
  std::unique_ptr<testing_support::ChildProcess> server_;
};

class PostgresExport : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!testing_support::EnterPrivateNetwork()) GTEST_SKIP() << "needs root for a private network namespace";
    std::string driver = testing_support::OdbcDriverPath("psqlodbcw.so");
    ASSERT_FALSE(driver.empty()) << "the PostgreSQL ODBC driver (odbc-postgresql) is not installed";
    ASSERT_TRUE(platform::FileExists(std::string(kPostgresBin) + "postgres")) << "postgresql is not installed";
    cluster_ = std::make_unique<TemporaryCluster>(folder_.path());
    ASSERT_TRUE(cluster_->Started()) << cluster_->InitLog();
    ASSERT_TRUE(platform::CreateFolderLevels(folder_ / "odbc"));
    ASSERT_TRUE(testing_support::RegisterOdbcDriver(folder_ / "odbc", "MirvaleServer", driver));
    ASSERT_TRUE(WaitFor([&] { return Connect().has_value(); })) << "the server did not accept connections";
  }

  std::optional<mirvale::odbc::Connection> Connect() const {
    return mirvale::odbc::Connection::Open(
        "Driver={MirvaleServer};Server=127.0.0.1;Port=5432;Database=postgres;UID=mirvale;PWD=" +
            std::string(kPassword) + ";",
        nullptr);
  }

  Rows Query(const std::string& sql, int columns) const {
    auto connection = Connect();
    return connection ? connection->Query(sql, {}, columns).value_or(Rows{}) : Rows{};
  }

  testing_support::TempFolder folder_;
  testing_support::ScopedEnv sysIni_{"ODBCSYSINI", folder_ / "odbc"};
  testing_support::ScopedEnv userIni_{"ODBCINI", folder_ / "odbc/odbc.ini"};
  std::unique_ptr<TemporaryCluster> cluster_;
};

mirvale::CMirvaleDoc CoreSettings(bool exportOn) {
  mirvale::CMirvaleDoc settings;
  mirvale::ApplyServiceDefaults(settings);
  mirvale::CPoolItem& pool = settings.m_mapPools.FindOrAdd("core");
  pool.m_pQueries.FindOrAdd("1.3.6.1.2.1.1.5") = mirvale::CQueryItem{"1.3.6.1.2.1.1.5", "sysName", ""};
  pool.m_pQueries.FindOrAdd("1.3.6.1.2.1.1.6") = mirvale::CQueryItem{"1.3.6.1.2.1.1.6", "sysLocation", ""};
  pool.m_pDevices.FindOrAdd("10.0.0.0") = mirvale::CDeviceItem{"10.0.0.0", "255.255.255.0"};
  settings.m_bExportSql = exportOn ? 1 : 0;
  settings.m_strExportDatabase = "SERVER=127.0.0.1;DATABASE=postgres;UID=mirvale;PWD=" + std::string(kPassword);
  return settings;
}

}  // namespace

TEST_F(PostgresExport, CreatesTheTableWritesValuesAndDeletesVanishedOnes) {
  ServiceProcess service;
  service.SetEnv("ODBCSYSINI", folder_ / "odbc");
  service.SetEnv("ODBCINI", folder_ / "odbc/odbc.ini");
  service.SetEnv("TZ", "UTC");
  ASSERT_TRUE(service.Register());  // so that its warnings reach the event log
  mirvale::DeviceDatabaseMap database;
  mirvale::CDbItem& device = database.FindOrAdd(mirvale::DeviceKey("core", "10.0.0.7"));
  device.m_strPool = "core";
  device.m_strAddress = "10.0.0.7";
  device.m_strName = "edge";
  device.m_pQueries.Set("1", mirvale::CDbQuery{"", "", "1", "banner O'Brien", "0", "", ""});
  device.m_pQueries.Set("1.3.6.1.2.1.1.5.0", mirvale::CDbQuery{"sysName", "1.3.6.1.2.1.1.5", "1.3.6.1.2.1.1.5.0",
                                                               std::string(251, 'x'), "0", "", ""});
  device.m_pQueries.Set("1.3.6.1.2.1.1.6.0", mirvale::CDbQuery{"sysLocation", "1.3.6.1.2.1.1.6", "1.3.6.1.2.1.1.6.0",
                                                               "Lab 2", "86400", "Lab 1", "3600"});
  ASSERT_TRUE(mirvale::SaveDeviceDatabaseFile(service.ProgramFile("Mirvale.db"), database));
  ASSERT_TRUE(
      platform::WriteFileAtomically(service.DataFile("Mirvale.ini"), mirvale::EncodeSettings(CoreSettings(false))));
  ASSERT_TRUE(service.Start());

  // Turning the export on exports: the value too long for its column is logged, the rest goes on.
  ASSERT_TRUE(
      platform::WriteFileAtomically(service.DataFile("Mirvale.ini"), mirvale::EncodeSettings(CoreSettings(true))));
  ASSERT_EQ(service.Control(platform::ControlReloadSettings), platform::kControlDone);
  ASSERT_TRUE(WaitFor([&] {
    for (const auto& line : service.EventLines())
      if (line.find("Database export: value 1.3.6.1.2.1.1.5.0 of 10.0.0.7 not written") != std::string::npos)
        return Query("Select QueryOid from \"Mirvale\"", 1).size() == 2;
    return false;
  })) << platform::ReadWholeFile(service.EventLogPath()).value_or("");

  EXPECT_EQ(Query("Select column_name, data_type, character_maximum_length from information_schema.columns "
                  "where table_name = 'Mirvale' order by ordinal_position",
                  3),
            (Rows{{"deviceip", "character varying", "250"},
                  {"devicename", "character varying", "250"},
                  {"devicepool", "character varying", "250"},
                  {"queryname", "character varying", "250"},
                  {"queryoid", "character varying", "250"},
                  {"queryvalue", "character varying", "250"},
                  {"querydate", "character varying", "250"},
                  {"previousvalue", "character varying", "250"},
                  {"previousdate", "character varying", "250"}}));
  EXPECT_EQ(
      Query("Select DeviceIp, DeviceName, DevicePool, QueryName, QueryOid, QueryValue, QueryDate, PreviousValue, "
            "PreviousDate from \"Mirvale\" order by QueryOid",
            9),
      (Rows{{"10.0.0.7", "edge", "core", "", "1", "banner O'Brien", "1970-01-01 00:00:00", std::nullopt, std::nullopt},
            {"10.0.0.7", "edge", "core", "sysLocation", "1.3.6.1.2.1.1.6.0", "Lab 2", "1970-01-02 00:00:00", "Lab 1",
             "1970-01-01 01:00:00"}}));
  for (const auto& line : service.EventLines()) EXPECT_EQ(line.find(kPassword), std::string::npos) << line;

  // A query taken out of the pool: the prune drops its value, and the export that follows its row.
  mirvale::CMirvaleDoc pruned = CoreSettings(true);
  pruned.m_mapPools.FindOrAdd("core").m_pQueries.Remove("1.3.6.1.2.1.1.6");
  ASSERT_TRUE(platform::WriteFileAtomically(service.DataFile("Mirvale.ini"), mirvale::EncodeSettings(pruned)));
  ASSERT_EQ(service.Control(platform::ControlReloadSettings), platform::kControlDone);
  ASSERT_EQ(service.Control(platform::ControlPruneDatabase), platform::kControlDone);
  EXPECT_TRUE(WaitFor([&] { return Query("Select QueryOid from \"Mirvale\"", 1) == Rows{{"1"}}; }))
      << platform::ReadWholeFile(service.EventLogPath()).value_or("");
  EXPECT_TRUE(service.Stop());
}
