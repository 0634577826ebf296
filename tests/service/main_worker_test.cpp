#include <gtest/gtest.h>

#include "common/settings_file.h"
#include "platform/atomic_file.h"
#include "platform/folders.h"
#include "service/host/mirvale_frm.h"
#include "service/store/audit_entries.h"
#include "service/store/audit_lines.h"
#include "tests/support/scoped_env.h"

using namespace mirvale;

namespace {

class MainWorker : public ::testing::Test {
 protected:
  MainWorker() {
    platform::CreateFolderLevels(temp / "program");
    platform::CreateFolderLevels(temp / "data");
  }
  void NewSettings(const std::function<void(CMirvaleDoc&)>& change) {
    CMirvaleDoc doc;
    ApplyServiceDefaults(doc);
    change(doc);
    ASSERT_TRUE(platform::WriteFileAtomically(temp / "data/Mirvale.ini", EncodeSettings(doc)));
    frm.ReloadSettings();
    frm.Threads().WaitForAll(std::chrono::seconds(10));
  }

  testing_support::ScopedEnv tz{"TZ", "UTC"};
  // As root the audit file is written with this account's rights.
  testing_support::ScopedEnv runAccount{"MIRVALE_RUN_ACCOUNT", "root"};
  testing_support::TempFolder temp;
  std::atomic<int> textExports{0};
  std::atomic<int> databaseExports{0};
  ServiceJobs jobs = [this] {
    ServiceJobs hooks;
    hooks.textExport = [this](CMirvaleFrm&) { ++textExports; };
    hooks.databaseExport = [this](CMirvaleFrm&) { ++databaseExports; };
    return hooks;
  }();
  std::shared_ptr<ManualEvent> stop = std::make_shared<ManualEvent>();
  CMirvaleFrm frm{temp / "program", temp / "data", stop, jobs};
};

}  // namespace

TEST_F(MainWorker, ReloadStartsOnlyExportsThatWereSwitchedOn) {
  NewSettings([](CMirvaleDoc& doc) { doc.m_bExportText = 1; });
  EXPECT_EQ(textExports.load(), 1);
  NewSettings([](CMirvaleDoc& doc) { doc.m_bExportText = 1, doc.m_bExportCsv = 1; });
  EXPECT_EQ(textExports.load(), 1) << "CSV switched on while text was on";
  NewSettings([](CMirvaleDoc& doc) { doc.m_bExportSql = 1; });
  EXPECT_EQ(textExports.load(), 1);
  EXPECT_EQ(databaseExports.load(), 1);
  EXPECT_EQ(frm.Settings()->m_bExportSql, 1u);
  frm.ReloadSettings();  // no data-folder file: nothing changes
  EXPECT_EQ(frm.Settings()->m_bExportSql, 1u);
}

TEST_F(MainWorker, AuditLinesQueueByTheirSwitchAndFlushEveryMinuteAndAtTheEnd) {
  NewSettings([&](CMirvaleDoc& doc) {
    doc.m_bScanLog = 1;
    doc.m_bLogText = 1;
    doc.m_strLogFile = temp / "audit.log";
  });
  const CRestoreItem request{.m_strPool = "core",
                             .m_strAddress = "10.0.0.1",
                             .m_strName = "r1",
                             .m_strQuery = "",
                             .m_strOid = "1.3",
                             .m_strValue = "x",
                             .m_strResult = "Successful",
                             .m_strUser = "bob"};
  QueueSetAudit(frm.Audit(), *frm.Settings(), 1000, request);  // changes log off
  QueueScanAudit(frm.Audit(), *frm.Settings(), 1000, "System", "core", "10.0.0.1", "r1", "Finished without changes");
  EXPECT_EQ(frm.Audit().Size(), 1u);
  frm.Tick(100000);
  EXPECT_EQ(frm.Audit().Size(), 0u);
  QueueScanAudit(frm.Audit(), *frm.Settings(), 1000, "System", "core", "10.0.0.2", "r2", "Finished with changes");
  frm.Tick(100059);
  EXPECT_EQ(frm.Audit().Size(), 1u) << "less than 60 seconds since the last flush";
  frm.Tick(100060);
  EXPECT_EQ(frm.Audit().Size(), 0u);

  QueueScanAudit(frm.Audit(), *frm.Settings(), 1000, "System", "core", "10.0.0.3", "r3", "Finished with changes");
  std::thread worker([&] { frm.Run(); });
  ASSERT_TRUE(frm.WaitUntilLoaded());
  stop->Set();
  worker.join();
  EXPECT_EQ(frm.Audit().Size(), 0u) << "the loop's end flushes once";
  std::string file = platform::ReadWholeFile(temp / "audit.log").value_or("");
  EXPECT_EQ(file.rfind("Date\tUser\tOperation\tPool\tIp\tName\tStatus\r\n", 0), 0u);
  EXPECT_NE(file.find("\t10.0.0.3\tr3\t"), std::string::npos);
}

TEST_F(MainWorker, PruneStartsTheEnabledExports) {
  NewSettings([](CMirvaleDoc& doc) { doc.m_bExportAccess = 1; });
  int before = databaseExports;
  frm.PruneDatabase();
  frm.Threads().WaitForAll(std::chrono::seconds(10));
  EXPECT_EQ(databaseExports.load(), before + 1);
  EXPECT_TRUE(platform::FileExists(temp / "program/Mirvale.db"));
  EXPECT_TRUE(platform::FileExists(temp / "program/Mirvale.sdb"));
}
