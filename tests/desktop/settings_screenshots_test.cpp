// Screenshots of the Home pane over a stored scan and of the settings panes with content, on a
// private Xvfb display against a real MirvaleSrv, kept as <build>/screenshots/settings-*.png.
#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QScrollArea>
#include <QScrollBar>

#include <gtest/gtest.h>

#include "common/database_files.h"
#include "common/settings_file.h"
#include "desktop/shell/action_properties_page.h"
#include "desktop/shell/command_ids.h"
#include "desktop/shell/email_server_page.h"
#include "platform/atomic_file.h"
#include "tests/desktop/support/desktop_harness.h"
#include "tests/desktop/support/qt_environment.h"

namespace mirvale {
namespace {

using testing_support::DesktopHarness;
using testing_support::SaveScreenshot;
using testing_support::ServiceProcess;

static auto* const qt = testing_support::UseQtApplication(testing_support::Display::Xvfb);

class SettingsScreenshots : public ::testing::Test {
 protected:
  void SetUp() override {
    CMirvaleDoc doc;
    ApplyServiceDefaults(doc);
    for (const char* name : {"office", "lab"}) {
      CPoolItem& pool = doc.m_mapPools.FindOrAdd(name);
      pool.m_bSnmpV1 = 1;
    }
    doc.m_bAutoScan = 1;
    doc.m_mapAutoScan.Set("office", CAutoScanItem{1, "office", 7, 0});
    doc.m_mapAutoScan.Set("lab", CAutoScanItem{0, "lab", 22, 5});
    doc.m_bScanLog = 1;
    doc.m_bLogCsv = 1;
    doc.m_strLogFile = "/var/log/mirvale/audit.log";
    doc.m_nLogKeep = 30;
    doc.m_nLogKeepUnit = 2;
    CActionItem& action = doc.m_mapActions.FindOrAdd("Mail on change");
    action = CActionItem{1, "office", "10.0.0.0", "8", "*", "*", 1, "", "noc@example.net;", ""};
    doc.m_mapActions.Set("Trap all", CActionItem{0, "lab", "0.0.0.0", "0", "*", "*", 0, "", "", "127.0.0.1;"});
    doc.m_bExportCsv = 1;
    doc.m_strExportFolder = "/srv/exports";
    ASSERT_TRUE(platform::WriteFileAtomically(service_.ProgramFile("Mirvale.ini"), EncodeSettings(doc)));
    ScanDatabaseHeader header{"1765260000", "office", "Finished", "5"};
    ScanDatabaseMap scan;
    const char* statuses[] = {"Finished with changes", "Finished without changes", "Finished without changes",
                              "Device unreachable", "No response from device"};
    for (int i = 0; i < 5; ++i) {
      std::string address = "10.0.0." + std::to_string(i + 1);
      scan.Set(DeviceKey("office", address), CScanDbItem{"office", address, "dev" + std::to_string(i), statuses[i]});
    }
    ASSERT_TRUE(platform::WriteFileAtomically(service_.ProgramFile("Mirvale.sdb"), EncodeScanDatabase(header, scan)));
    ASSERT_TRUE(service_.Start());
    desktop_ = std::make_unique<DesktopHarness>(service_);
    desktop_->Frame().resize(1000, 680);
    ASSERT_TRUE(desktop_->Start());
    desktop_->Frame().move(0, 0);
  }

  QImage Shot(int command, const std::string& name) {
    desktop_->Command(command);
    std::string path = SaveScreenshot(desktop_->Frame(), "settings-" + name);
    EXPECT_FALSE(path.empty()) << name;
    return QImage(QString::fromStdString(path));
  }

  ServiceProcess service_;
  std::unique_ptr<DesktopHarness> desktop_;
};

TEST_F(SettingsScreenshots, HomeToolsOptionsActionsExport) {
  QImage home = Shot(kCommandHome, "home");
  ASSERT_FALSE(home.isNull());
  Shot(kCommandTools, "tools");
  Shot(kCommandOptions, "options");
  Shot(kCommandActions, "actions");
  Shot(kCommandExport, "export");
}

// At the smallest window the settings panes keep every control whole: none overlaps another,
// and a pane taller than the view scrolls.
TEST_F(SettingsScreenshots, SettingsPanesAtTheSmallestWindowScrollWithoutOverlaps) {
  desktop_->Frame().resize(790, 560);
  for (const auto& [command, name] : {std::pair{kCommandOptions, "options"}, std::pair{kCommandActions, "actions"},
                                      std::pair{kCommandExport, "export"}}) {
    SCOPED_TRACE(name);
    Shot(command, std::string("small-") + name);
    QWidget* pane = desktop_->View().Pane(command == kCommandOptions   ? PaneSlot::Options
                                          : command == kCommandActions ? PaneSlot::Actions
                                                                       : PaneSlot::Export);
    auto* scroller = qobject_cast<QScrollArea*>(pane->parentWidget()->parentWidget());
    ASSERT_TRUE(scroller);
    if (pane->minimumHeight() > scroller->viewport()->height()) {
      EXPECT_GE(scroller->verticalScrollBar()->maximum(), pane->minimumHeight() - scroller->viewport()->height());
    }
    std::vector<std::pair<QWidget*, QRect>> controls;
    for (QWidget* child : pane->findChildren<QWidget*>()) {
      const bool control = qobject_cast<QAbstractButton*>(child) || qobject_cast<QLineEdit*>(child) ||
                           qobject_cast<QComboBox*>(child) || qobject_cast<QAbstractSpinBox*>(child) ||
                           qobject_cast<QAbstractItemView*>(child) || qobject_cast<QLabel*>(child);
      if (!control || !child->isVisibleTo(pane) || child->parentWidget() != pane) continue;
      controls.emplace_back(child, child->geometry());
    }
    for (size_t i = 0; i < controls.size(); ++i)
      for (size_t j = i + 1; j < controls.size(); ++j)
        EXPECT_FALSE(controls[i].second.intersects(controls[j].second))
            << controls[i].first->metaObject()->className() << " '"
            << controls[i].first->property("text").toString().toStdString() << "' overlaps "
            << controls[j].first->metaObject()->className() << " '"
            << controls[j].first->property("text").toString().toStdString() << "'";
  }
}

TEST_F(SettingsScreenshots, ActionPropertiesAndEmailServerSheets) {
  CMirvaleDoc doc = desktop_->App().Document();
  CConfigurationToolsAction action(desktop_->App(), doc.m_mapActions, "Mail on change", &desktop_->Frame());
  action.show();
  action.move(0, 0);
  EXPECT_FALSE(SaveScreenshot(action, "settings-action-properties").empty());
  PaneContext context{desktop_->App(), [](int) {}, [] { return kCommandHome; }, nullptr, {}};
  CConfigurationToolsActionsServer server(context, &desktop_->Frame());
  server.show();
  server.move(0, 0);
  EXPECT_FALSE(SaveScreenshot(server, "settings-email-server").empty());
}

}  // namespace
}  // namespace mirvale
