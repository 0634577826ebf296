// The settings panes in the whole desktop program against a real MirvaleSrv (offscreen): Save
// commits what the pane shows and the service's copy follows byte for byte, Cancel keeps the
// file; the action and e-mail pages refuse as they must and keep their dialog open; the test
// e-mail reaches a real SMTP sink; the Export pane sets up a data source isql can open.
#include <QDialog>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <cstdlib>
#include <fstream>

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "common/settings_file.h"
#include "desktop/shell/action_properties_page.h"
#include "desktop/shell/actions_pane.h"
#include "desktop/shell/auto_scan_page.h"
#include "desktop/shell/command_ids.h"
#include "desktop/shell/data_source_setup_dialog.h"
#include "desktop/shell/email_server_page.h"
#include "desktop/shell/email_test_page.h"
#include "desktop/shell/entry_list_page.h"
#include "desktop/shell/export_pane.h"
#include "desktop/shell/home_pane.h"
#include "desktop/shell/options_pane.h"
#include "desktop/shell/run_command_page.h"
#include "desktop/shell/save_cancel_bar.h"
#include "desktop/shell/settings_widgets.h"
#include "desktop/shell/tools_pane.h"
#include "platform/atomic_file.h"
#include "platform/service_control.h"
#include "tests/desktop/support/desktop_harness.h"
#include "tests/desktop/support/qt_environment.h"
#include "tests/desktop/support/recording_prompter.h"
#include "tests/service/email_sink_process.h"
#include "tests/support/fake_systemctl.h"

namespace mirvale {
namespace {

using testing_support::DesktopHarness;
using testing_support::RecordingPrompter;
using testing_support::ServiceProcess;

static auto* const qt = testing_support::UseQtApplication();

// Dialogs the panes open are worked by the test's steps, in order; each step gets the dialog and
// answers its result (a refusal is seen by the dialog staying unaccepted).
class ScriptedDialogs {
 public:
  using Step = std::function<int(QDialog&)>;
  explicit ScriptedDialogs(std::vector<Step> steps) : steps_(std::move(steps)) {
    previous_ = InstallDialogRunner([this](QDialog& dialog) {
      if (next_ >= steps_.size()) return static_cast<int>(QDialog::Rejected);
      return steps_[next_++](dialog);
    });
  }
  ~ScriptedDialogs() { InstallDialogRunner(std::move(previous_)); }
  size_t Used() const { return next_; }

 private:
  std::vector<Step> steps_;
  size_t next_ = 0;
  DialogRunner previous_;
};

// Presses OK the way the dialog's button would; the result tells whether it closed.
int PressOk(QDialog& dialog) {
  dialog.setResult(QDialog::Rejected);
  dialog.accept();
  return dialog.result();
}

class SettingsFlow : public ::testing::Test {
 protected:
  void SetUp() override {
    CMirvaleDoc doc;
    ApplyServiceDefaults(doc);
    doc.m_mapPools.FindOrAdd("office").m_bSnmpV1 = 1;
    doc.m_mapPools.FindOrAdd("lab").m_bSnmpV1 = 1;
    ASSERT_TRUE(platform::WriteFileAtomically(service_.ProgramFile("Mirvale.ini"), EncodeSettings(doc)));
  }

  DesktopHarness& Open() {
    EXPECT_TRUE(service_.Start());
    desktop_ = std::make_unique<DesktopHarness>(service_);
    EXPECT_TRUE(desktop_->Start());
    return *desktop_;
  }
  template <typename Pane>
  Pane& PaneIn(PaneSlot slot) {
    return *dynamic_cast<Pane*>(desktop_->View().Pane(slot));
  }
  CConfigurationToolsSave& Bar() { return PaneIn<CConfigurationToolsSave>(PaneSlot::SaveBar); }
  // The service's own copy: on 134 it takes the committed file from the data folder.
  std::string ServiceIni() { return platform::ReadWholeFile(service_.ProgramFile("Mirvale.ini")).value_or(""); }
  // The service's copy is the desktop program's document, byte for byte.
  bool ServiceHasTheDocument() { return ServiceIni() == EncodeSettings(desktop_->App().Document()); }

  ServiceProcess service_;
  std::unique_ptr<DesktopHarness> desktop_;
  RecordingPrompter prompter_;
};

TEST_F(SettingsFlow, OptionsSaveCommitsScheduleLoggingAndStartModeAndCancelKeepsTheFile) {
  ASSERT_TRUE(service_.Register());  // starts automatically
  DesktopHarness& desktop = Open();
  desktop.Command(kCommandTools);
  desktop.Command(kCommandOptions);
  auto& options = PaneIn<CConfigurationToolsOptions>(PaneSlot::Options);
  ASSERT_TRUE(options.isVisible());
  EXPECT_FALSE(Bar().SaveEnabled());
  EXPECT_TRUE(options.automaticRadio->isChecked());
  // Choosing what the service already does changes nothing.
  options.automaticRadio->click();
  EXPECT_FALSE(Bar().SaveEnabled());

  options.autoScanCheck->click();
  EXPECT_TRUE(Bar().SaveEnabled());
  {
    ScriptedDialogs dialogs({[](QDialog& d) {
                               // No pool chosen: refused, the sheet stays.
                               EXPECT_NE(PressOk(d), QDialog::Accepted);
                               auto& page = dynamic_cast<CConfigurationToolsOptionsScan&>(d);
                               page.PoolBox()->setCurrentText("office");
                               page.TimeBox()->setCurrentText("07:00");
                               return PressOk(d);
                             },
                             [](QDialog& d) {
                               auto& page = dynamic_cast<CConfigurationToolsOptionsScan&>(d);
                               page.PoolBox()->setCurrentText("office");
                               return PressOk(d);  // refused: already listed
                             }});
    options.Add();
    options.Add();
    EXPECT_EQ(dialogs.Used(), 2u);
  }
  EXPECT_EQ(prompter_.Texts(),
            (QStringList{"Pool not selected, please try again.", "Pool already exists, please try again."}));
  ASSERT_EQ(options.scanList->topLevelItemCount(), 1);
  options.scanLogCheck->click();
  EXPECT_TRUE(options.textRadio->isChecked());
  options.fileEdit->setText("/tmp/mirvale-audit.log");
  options.removalCheck->click();
  EXPECT_EQ(options.keepSpin->value(), 1);
  EXPECT_EQ(options.unitCombo->currentText(), "Days");
  options.manualRadio->click();

  const std::string before = ServiceIni();
  QTest::mouseClick(Bar().findChild<QPushButton*>("saveButton"), Qt::LeftButton);
  EXPECT_TRUE(desktop.View().Switcher().Visible(PaneSlot::Tools));
  EXPECT_FALSE(options.isVisible());
  EXPECT_TRUE(ServiceHasTheDocument());
  const std::string committed = ServiceIni();
  CMirvaleDoc saved = DecodeSettings(committed);
  EXPECT_EQ(saved.m_bAutoScan, 1u);
  ASSERT_NE(saved.m_mapAutoScan.Find("office"), nullptr);
  EXPECT_EQ(*saved.m_mapAutoScan.Find("office"), (CAutoScanItem{1, "office", 7, 0}));
  EXPECT_EQ(saved.m_bScanLog, 1u);
  EXPECT_EQ(saved.m_bLogText, 1u);
  EXPECT_EQ(saved.m_strLogFile, "/tmp/mirvale-audit.log");
  EXPECT_EQ(saved.m_nLogKeep, 1u);
  EXPECT_EQ(saved.m_nLogKeepUnit, 2u);
  EXPECT_NE(committed, before);
  auto registration = platform::QueryServiceRegistration(platform::kMirvaleServiceName);
  ASSERT_TRUE(registration);
  EXPECT_EQ(registration->startType, platform::StartType::OnDemand);

  // Cancel after edits leaves the file as it was; showing the pane again shows the old values.
  desktop.Command(kCommandOptions);
  EXPECT_TRUE(options.manualRadio->isChecked());
  options.scanLogCheck->click();
  EXPECT_FALSE(options.fileEdit->isEnabled());
  EXPECT_TRUE(options.fileEdit->text().isEmpty());
  QTest::mouseClick(Bar().findChild<QPushButton*>("cancelButton"), Qt::LeftButton);
  EXPECT_EQ(ServiceIni(), committed);
  desktop.Command(kCommandOptions);
  EXPECT_EQ(options.fileEdit->text(), "/tmp/mirvale-audit.log");
  EXPECT_EQ(options.scanList->topLevelItem(0)->text(1), "Daily");
  // The stored age of 1 shows as "1"; with removal off the box is empty.
  EXPECT_EQ(options.keepSpin->text(), "1");
  options.removalCheck->click();
  EXPECT_EQ(options.keepSpin->text().trimmed(), "");
}

// Another member's saves: the Options pane on screen shows them while it holds no edit; with an
// edit open they are not loaded under it, and Save asks where both changed. Dropping the edit
// leaves the other member's settings whole.
TEST_F(SettingsFlow, AnotherMembersSaveIsShownUnlessAnEditIsOpenAndSaveAsksWhereBothChanged) {
  DesktopHarness& desktop = Open();
  desktop.Command(kCommandTools);
  desktop.Command(kCommandOptions);
  auto& options = PaneIn<CConfigurationToolsOptions>(PaneSlot::Options);
  const auto otherMemberSaves = [&](const std::string& logFile, const std::string& pool) {
    CMirvaleDoc theirs = DecodeSettings(ServiceIni());
    theirs.m_bScanLog = 1;
    theirs.m_bLogText = 1;
    theirs.m_strLogFile = logFile;
    theirs.m_mapPools.FindOrAdd(pool).m_bSnmpV1 = 1;
    ASSERT_TRUE(platform::WriteFileAtomically(service_.DataFile("Mirvale.ini"), EncodeSettings(theirs)));
    ASSERT_EQ(service_.Control(platform::ControlReloadSettings), platform::kControlDone);
  };
  ASSERT_NO_FATAL_FAILURE(otherMemberSaves("/tmp/theirs.log", "core"));
  EXPECT_TRUE(QTest::qWaitFor([&] { return options.fileEdit->text() == "/tmp/theirs.log"; }, 20000));
  EXPECT_TRUE(desktop.App().Document().m_mapPools.Contains("core"));

  options.fileEdit->clear();
  QTest::keyClicks(options.fileEdit, "/tmp/mine.log");
  ASSERT_TRUE(Bar().SaveEnabled());
  ASSERT_NO_FATAL_FAILURE(otherMemberSaves("/tmp/other.log", "edge"));
  QTest::qWait(1500);  // the notice came and went: the edit stays on screen
  EXPECT_EQ(options.fileEdit->text(), "/tmp/mine.log");
  prompter_.Answer(QMessageBox::No);
  QTest::mouseClick(Bar().findChild<QPushButton*>("saveButton"), Qt::LeftButton);
  EXPECT_EQ(prompter_.Texts(),
            QStringList{"Another member changed the settings since you opened them, also where you made changes: the "
                        "audit log settings.\n\nYes: keep your changes on top of the current settings (theirs are "
                        "replaced where both changed).\nNo: drop your changes and show the current settings."});
  const CMirvaleDoc kept = DecodeSettings(ServiceIni());
  EXPECT_EQ(kept.m_strLogFile, "/tmp/other.log");
  EXPECT_TRUE(kept.m_mapPools.Contains("edge"));
  EXPECT_TRUE(ServiceHasTheDocument());
}

TEST_F(SettingsFlow, UnderSystemdStartAndStartModeGoThroughItWithoutFreezingAndItsRefusalsAreShown) {
  ASSERT_TRUE(service_.Register());  // the stored start type says automatic
  desktop_ = std::make_unique<DesktopHarness>(service_);
  testing_support::ScopedFakeSystemctl systemctl;
  systemctl.Refuse("start", "Failed to start oskavel-mirvale.service: Access denied");
  ASSERT_TRUE(desktop_->Start());
  EXPECT_EQ(prompter_.Texts(), QStringList{"Failed to start oskavel-mirvale.service: Access denied"});
  EXPECT_EQ(systemctl.TakeCalls(), "start oskavel-mirvale.service\n");

  // The radios show systemd's enablement; a refused change is shown, the rest is still saved.
  // systemctl answers late, as behind a polkit authentication: the window goes on painting.
  ASSERT_TRUE(service_.Start());
  desktop_->Command(kCommandTools);
  int ticks = 0;
  QTimer ticker;
  QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
  ticker.start(20);
  systemctl.Slow("is-enabled", 1);
  desktop_->Command(kCommandOptions);
  EXPECT_GT(ticks, 10) << "the window froze while systemd told the start mode";
  auto& options = PaneIn<CConfigurationToolsOptions>(PaneSlot::Options);
  EXPECT_TRUE(options.manualRadio->isChecked());
  options.automaticRadio->click();
  options.scanLogCheck->click();
  systemctl.Refuse("enable", "Failed to enable unit: Access denied");
  systemctl.Slow("enable", 1);
  ticks = 0;
  QTest::mouseClick(Bar().findChild<QPushButton*>("saveButton"), Qt::LeftButton);
  EXPECT_GT(ticks, 10) << "the window froze while systemd changed the start mode";
  EXPECT_EQ(prompter_.Texts().back(), "Failed to enable unit: Access denied");
  EXPECT_EQ(systemctl.TakeCalls(),
            "is-enabled oskavel-mirvale.service\nenable oskavel-mirvale.service\nis-enabled oskavel-mirvale.service\n");
  EXPECT_TRUE(options.manualRadio->isChecked()) << "the radios show what systemd kept, not the refused choice";
  EXPECT_TRUE(ServiceHasTheDocument());
  EXPECT_EQ(DecodeSettings(ServiceIni()).m_bScanLog, 1u);
}

TEST_F(SettingsFlow, ActionPagesRefuseAndSaveKeepsTheListsCheckState) {
  DesktopHarness& desktop = Open();
  desktop.Command(kCommandActions);
  auto& actions = PaneIn<CConfigurationToolsActions>(PaneSlot::Actions);
  {
    ScriptedDialogs dialogs({[](QDialog& d) {
                               auto& page = dynamic_cast<CConfigurationToolsAction&>(d);
                               page.name->setText("Mail on change");
                               EXPECT_NE(PressOk(d), QDialog::Accepted);  // no pool
                               page.pool->setCurrentText("office");
                               page.OpenRow(1, /*onCheckBox=*/false);  // the recipients page
                               EXPECT_EQ(page.todo->item(1)->checkState(), Qt::Checked);
                               return PressOk(d);
                             },
                             [](QDialog& d) {
                               auto& list = dynamic_cast<EntryListPage&>(d);
                               EXPECT_NE(PressOk(d), QDialog::Accepted);  // empty list
                               for (const char* address : {"noc@example.net", "noc@example.net", "NOC@example.net"}) {
                                 list.input->setText(address);
                                 list.AddEntry();
                               }
                               EXPECT_EQ(list.list->count(), 2);
                               return PressOk(d);
                             },
                             [](QDialog& d) {
                               auto& page = dynamic_cast<CConfigurationToolsAction&>(d);
                               page.name->setText("Mail on change");
                               page.pool->setCurrentText("lab");
                               return PressOk(d);  // the name exists
                             }});
    actions.Add();
    actions.Add();
    EXPECT_EQ(dialogs.Used(), 3u);
  }
  EXPECT_EQ(prompter_.Texts(), (QStringList{"Invalid action properties, please set appropriate name and pool.",
                                            "Invalid email recipients, please try again.", "Recipient already exists",
                                            "Action name already exist, please use another name."}));
  ASSERT_EQ(actions.list->count(), 1);
  EXPECT_TRUE(Bar().SaveEnabled());
  actions.list->item(0)->setCheckState(Qt::Unchecked);
  QTest::mouseClick(Bar().findChild<QPushButton*>("saveButton"), Qt::LeftButton);
  EXPECT_TRUE(ServiceHasTheDocument());
  CMirvaleDoc saved = DecodeSettings(ServiceIni());
  const CActionItem* action = saved.m_mapActions.Find("Mail on change");
  ASSERT_NE(action, nullptr);
  EXPECT_EQ(*action,
            (CActionItem{0, "office", "0.0.0.0", "0", "*", "*", 1, "", "NOC@example.net;noc@example.net;", ""}));

  // Editing keeps the name and shows only the last line of a two-line command path; unticking
  // "Send Email Message" empties the recipients.
  RecordMap<CActionItem> work;
  work.Set("Shell", CActionItem{1, "office", "10.0.0.0", "8", "interface eth1\\r description up", "*", 0, "",
                                "a@example.net;", ""});
  CConfigurationToolsAction page(desktop.App(), work, "Shell", nullptr);
  EXPECT_FALSE(page.name->isEnabled());
  EXPECT_EQ(page.command->currentText(), " description up");
  EXPECT_FALSE(page.changesOnly->isChecked());
  page.OpenRow(1, /*onCheckBox=*/true);  // a ticked box only unticks
  EXPECT_EQ(PressOk(page), QDialog::Accepted);
  EXPECT_EQ(work.Find("Shell")->m_strQuery, "interface eth1\\r description up");
  EXPECT_EQ(work.Find("Shell")->m_strMailRecipients, "");

  // Input that could not work is not taken: a manager address of three numbers, a ";" inside
  // a run-command field (the stored text separates the fields with it).
  const qsizetype shown = prompter_.Texts().size();
  EntryListPage managers(EntryListPage::Kind::TrapManagers, "Snmp Trap", "", nullptr);
  managers.input->setText("10.0.0");
  EXPECT_FALSE(managers.addButton->isEnabled());
  managers.AddEntry();
  EXPECT_EQ(managers.list->count(), 0);
  CConfigurationToolsActionCmdRun run("", nullptr);
  run.command->setText("/usr/local/bin/notify");
  run.parameters->setText("$device;$pool");
  EXPECT_NE(PressOk(run), QDialog::Accepted);
  EXPECT_EQ(prompter_.Texts().mid(shown),
            QStringList{"Run command fields can't include ';' character, please try again."});
}

TEST_F(SettingsFlow, TestEmailReachesARealSmtpSink) {
  email_testing::SmtpSinkProcess sink;
  ASSERT_GT(sink.port(), 0);
  DesktopHarness& desktop = Open();
  desktop.Command(kCommandActions);
  auto& actions = PaneIn<CConfigurationToolsActions>(PaneSlot::Actions);
  ScriptedDialogs dialogs({[&](QDialog& d) {
                             auto& page = dynamic_cast<CConfigurationToolsActionsServer&>(d);
                             page.server->setText("127.0.0.1");
                             page.port->setText("99999999");
                             EXPECT_NE(PressOk(d), QDialog::Accepted);
                             page.server->setText("no such host!");
                             page.port->setText(QString::number(sink.port()));
                             EXPECT_NE(PressOk(d), QDialog::Accepted);
                             page.server->setText("127.0.0.1");
                             page.sender->setText("mirvale@example.net");
                             page.timeout->setValue(page.timeout->maximum());
                             return PressOk(d);
                           },
                           [](QDialog& d) {
                             auto& page = dynamic_cast<CConfigurationToolsActionsTest&>(d);
                             EXPECT_NE(PressOk(d), QDialog::Accepted);
                             page.input->setText("admin@example.net");
                             page.AddEntry();
                             // Apply sends the test as OK does, and the sheet stays.
                             EXPECT_TRUE(page.applyButton->isEnabled());
                             page.applyButton->click();
                             EXPECT_FALSE(page.applyButton->isEnabled());
                             d.reject();
                             return d.result();
                           }});
  actions.OpenServer();
  EXPECT_EQ(DecodeSettings(ServiceIni()).m_strSmtpTimeout, "10");
  actions.OpenTest();
  EXPECT_EQ(prompter_.Texts(),
            (QStringList{"Invalid SMTP port, please try again.", "Invalid SMTP server, please try again.",
                         "No recipients selected, please add recipient."}));
  EXPECT_EQ(DecodeSettings(ServiceIni()).m_strTestRecipients, "admin@example.net;");
  ASSERT_TRUE(QTest::qWaitFor([&] { return !sink.Messages().empty(); }, 20000)) << "no test e-mail arrived";
  const auto mails = sink.Messages();
  EXPECT_NE(mails[0].envelope.find("admin@example.net"), std::string::npos) << mails[0].envelope;
}

TEST_F(SettingsFlow, ExportSetsUpADataSourceThatIsqlOpens) {
  // A private unixODBC set-up: the file driver registered under its export name, user data
  // sources in the test's folder.
  const std::string odbc = service_.Root() + "/odbc";
  std::filesystem::create_directories(odbc);
  std::ofstream(odbc + "/odbcinst.ini") << "[MirvaleFile]\nDriver=/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so\n";
  // The user keeps the file elsewhere and links it: the link stays, the file it names is used.
  std::ofstream(odbc + "/kept.ini") << "";
  std::filesystem::create_symlink(odbc + "/kept.ini", odbc + "/odbc.ini");
  testing_support::ScopedEnv sysIni("ODBCSYSINI", odbc);
  testing_support::ScopedEnv userIni("ODBCINI", odbc + "/odbc.ini");
  testing_support::ScopedEnv home("HOME", odbc);
  DesktopHarness& desktop = Open();
  desktop.Command(kCommandExport);
  auto& exportPane = PaneIn<CConfigurationToolsExport>(PaneSlot::Export);
  exportPane.textCheck->click();
  EXPECT_TRUE(exportPane.textRadio->isChecked());
  exportPane.folderEdit->setText("/srv/exports");
  exportPane.csvRadio->click();
  EXPECT_TRUE(exportPane.folderEdit->text().isEmpty());
  exportPane.folderEdit->setText("/srv/exports");
  exportPane.databaseCheck->click();
  exportPane.fileRadio->click();
  const std::string database = odbc + "/export.mdb";
  {
    ScriptedDialogs dialogs({[](QDialog&) { return static_cast<int>(QDialog::Rejected); },
                             [&](QDialog& d) {
                               dynamic_cast<DataSourceSetupDialog&>(d).file->setText("/no/such/folder/x.mdb");
                               return PressOk(d);
                             },
                             [&](QDialog& d) {
                               dynamic_cast<DataSourceSetupDialog&>(d).file->setText(QString::fromStdString(database));
                               return PressOk(d);
                             }});
    exportPane.SetUpDataSource();  // cancelled: nothing changes
    EXPECT_TRUE(exportPane.databaseEdit->text().isEmpty());
    EXPECT_TRUE(prompter_.Texts().isEmpty());
    exportPane.SetUpDataSource();
    EXPECT_EQ(prompter_.Texts(), QStringList{"Failed open database, please check your settings and try again."});
    EXPECT_TRUE(exportPane.databaseEdit->text().isEmpty());
    EXPECT_EQ(platform::ReadWholeFile(odbc + "/odbc.ini"), "") << "a failed connection leaves the file as it was";
    EXPECT_TRUE(std::filesystem::is_symlink(odbc + "/odbc.ini"));
    exportPane.SetUpDataSource();
  }
  struct stat info {};
  ASSERT_EQ(stat((odbc + "/odbc.ini").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u) << "the file holds the password";
  EXPECT_TRUE(std::filesystem::is_symlink(odbc + "/odbc.ini"));
  const QString connection = exportPane.databaseEdit->text();
  EXPECT_TRUE(connection.contains("DSN=MirvaleDB")) << connection.toStdString();
  EXPECT_TRUE(connection.contains(QString::fromStdString("DBQ=" + database))) << connection.toStdString();
  const std::string isql = "echo 'select 1;' | isql -b MirvaleDB > " + odbc + "/isql.out 2>&1";
  EXPECT_EQ(std::system(isql.c_str()), 0) << platform::ReadWholeFile(odbc + "/isql.out").value_or("");

  QTest::mouseClick(Bar().findChild<QPushButton*>("saveButton"), Qt::LeftButton);
  CMirvaleDoc saved = DecodeSettings(ServiceIni());
  EXPECT_EQ(saved.m_bExportCsv, 1u);
  EXPECT_EQ(saved.m_strExportFolder, "/srv/exports");
  EXPECT_EQ(saved.m_bExportAccess, 1u);
  EXPECT_EQ(saved.m_strExportDatabase, connection.toStdString());
}

TEST_F(SettingsFlow, ToolsLinksOpenSettingsPanesAndHomeSummarisesTheStoredScan) {
  ScanDatabaseMap scan;
  scan.Set("office/10.0.0.1", CScanDbItem{"office", "10.0.0.1", "", "Device unreachable"});
  scan.Set("office/10.0.0.2", CScanDbItem{"office", "10.0.0.2", "", "No response from device"});
  ASSERT_TRUE(platform::WriteFileAtomically(service_.ProgramFile("Mirvale.sdb"),
                                            EncodeScanDatabase({"1765260000", "office", "Finished", "2"}, scan)));
  DesktopHarness& desktop = Open();
  desktop.Command(kCommandHome);
  auto& home = PaneIn<CConfigurationHome>(PaneSlot::Home);
  EXPECT_EQ(home.State(), HomeState::AllFailed);
  EXPECT_EQ(home.findChild<QLabel*>("homeCount2")->text(), "1");
  EXPECT_EQ(home.findChild<QLabel*>("homeCount3")->text(), "1");
  EXPECT_EQ(home.findChild<QLabel*>("homeStatus3")->text(), "Running");
  EXPECT_FALSE(home.findChild<QPushButton*>("startScanNow")->isVisible());

  desktop.Command(kCommandTools);
  auto& tools = PaneIn<CConfigurationTools>(PaneSlot::Tools);
  for (const char* link : {"optionsLink", "actionsLink", "exportLink"}) {
    QLabel* label = tools.findChild<QLabel*>(link);
    ASSERT_NE(label, nullptr) << link;
    QTest::mouseClick(label, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_TRUE(Bar().isVisible()) << link;
    QTest::mouseClick(Bar().findChild<QPushButton*>("cancelButton"), Qt::LeftButton);
    EXPECT_TRUE(tools.isVisible()) << link;
  }
}

}  // namespace
}  // namespace mirvale
