// The Set Devices dialog against a real MirvaleSrv and snmpd with a read-write community in the
// test's own network namespace: the picker merges the pool's stored results, and Set Changes
// changes the agent's value on every ticked device.
#include <QApplication>
#include <QComboBox>
#include <QFocusEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <functional>
#include <vector>

#include <gtest/gtest.h>

#include "common/settings_file.h"
#include "desktop/results/result_widgets.h"
#include "desktop/results/set_devices_dialog.h"
#include "desktop/shell/color_list.h"
#include "platform/atomic_file.h"
#include "tests/desktop/support/combo_choice.h"
#include "tests/desktop/support/desktop_harness.h"
#include "tests/desktop/support/qt_environment.h"
#include "tests/desktop/support/recording_prompter.h"
#include "tests/support/command_output.h"
#include "tests/support/lab_pools.h"
#include "tests/support/snmp_agent.h"

namespace mirvale {
namespace {

using testing_support::Choose;
using testing_support::CommandOutput;
using testing_support::RecordingPrompter;
using testing_support::ServiceProcess;

static auto* const qt = testing_support::UseQtApplication();

constexpr char kSysContact[] = "1.3.6.1.2.1.1.4.0";

std::string AgentContact() { return CommandOutput("snmpget -v1 -c public -Oqv 127.0.0.1 1.3.6.1.2.1.1.4.0"); }

QTreeWidgetItem* Find(QTreeWidget& tree, const QString& text) {
  auto found = tree.findItems(text, Qt::MatchExactly | Qt::MatchRecursive);
  return found.isEmpty() ? nullptr : found.front();
}

CDbQuery Line(const std::string& key, const std::string& value) { return CDbQuery{"", "", key, value, "2000", "", ""}; }

TEST(SetDevices, PicksFromTheMergedResultsAndSetsTheValueOnTheAgent) {
  ASSERT_TRUE(testing_support::EnterPrivateNetwork()) << "needs root";
  testing_support::SnmpAgent agent({"rocommunity public default", "rwcommunity private default"}, "udp:127.0.0.1:161");
  ASSERT_TRUE(agent.Ready()) << agent.LogText();
  CMirvaleDoc settings;
  ApplyServiceDefaults(settings);
  CPoolItem& lab = testing_support::AddSnmpV1Pool(settings, "lab");
  lab.m_pQueries.Set("1.3.6.1.2.1.1.4", CQueryItem{"1.3.6.1.2.1.1.4", "sysContact", "Who to call"});
  settings.m_mapPools.FindOrAdd("sw").m_bTelnet = 1;
  DeviceDatabaseMap devices;
  CDbItem& agentDevice = devices.FindOrAdd("lab/127.0.0.1");
  agentDevice = CDbItem{"lab", "127.0.0.1", "agent", "2000", "", "", "", {}};
  agentDevice.m_pQueries.Set(kSysContact,
                             CDbQuery{"sysContact", "1.3.6.1.2.1.1.4", kSysContact, "nobody", "2000", "", ""});
  // Two switches whose interface holds different sub-lines: one picker entry with both below it.
  for (const auto& [address, sub] : {std::pair{"10.0.0.1", " shutdown"}, {"10.0.0.2", " description core"}}) {
    CDbItem& sw = devices.FindOrAdd(std::string("sw/") + address);
    sw = CDbItem{"sw", address, "switch", "2000", "", "", "", {}};
    for (const CDbQuery& line : {Line("1", "interface e0"), Line("2", sub), Line("3", "!"), Line("4", "router rip")})
      sw.m_pQueries.Set(line.m_strKey, line);
  }
  ServiceProcess service;
  ASSERT_TRUE(platform::WriteFileAtomically(service.ProgramFile("Mirvale.ini"), EncodeSettings(settings)));
  ASSERT_TRUE(platform::WriteFileAtomically(service.ProgramFile("Mirvale.db"), EncodeDeviceDatabase(devices)));
  ASSERT_TRUE(service.Start());
  testing_support::ServiceFolders folders(service);
  CMirvaleApp app(testing_support::QuickAppOptions());
  ASSERT_TRUE(app.Store().LoadDatabase());
  RecordingPrompter prompter;

  CConfigurationSetDevices dialog(app);
  Choose(dialog.PoolCombo(), "sw");
  dialog.OnDropdownCommand();
  ASSERT_EQ(dialog.Picker().topLevelItemCount(), 2);
  QTreeWidgetItem* interface = dialog.Picker().topLevelItem(0);
  ASSERT_EQ(interface->text(0), "interface e0");
  ASSERT_EQ(interface->childCount(), 2);
  EXPECT_EQ(interface->child(0)->text(0), "description core");
  EXPECT_EQ(interface->child(1)->text(0), "shutdown");
  dialog.Pick(interface->child(1));
  EXPECT_EQ(dialog.Picked(), "interface e0\\rshutdown");
  EXPECT_EQ(dialog.CommandCombo().currentText(), "interface e0");
  EXPECT_EQ(dialog.ValueEdit().text(), "shutdown");
  EXPECT_EQ(CellText(dialog.List(), 0, 2), "interface e0\\rshutdown");
  EXPECT_EQ(CellText(dialog.List(), 1, 2), "");
  // The picker closes without a pick on Escape, on a click outside it and on focus loss.
  dialog.show();
  for (const auto& close : std::vector<std::function<void()>>{
           [&] { QTest::keyClick(&dialog.Picker(), Qt::Key_Escape); },
           [&] { QTest::mouseClick(&dialog.Picker(), Qt::LeftButton, {}, QPoint(-20, -20)); },
           [&] {
             QFocusEvent away(QEvent::FocusOut, Qt::ActiveWindowFocusReason);
             QApplication::sendEvent(&dialog.Picker(), &away);
           }}) {
    dialog.OnDropdownCommand();
    ASSERT_TRUE(dialog.Picker().isVisible());
    close();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !dialog.Picker().isVisible(); }, 2000));
    EXPECT_EQ(dialog.Picked(), "interface e0\\rshutdown");
  }

  Choose(dialog.PoolCombo(), "lab");
  dialog.OnDropdownCommand();
  QTreeWidgetItem* contact = Find(dialog.Picker(), "sysContact");
  ASSERT_TRUE(contact);
  EXPECT_EQ(contact->childCount(), 0) << "a scalar named like its query adds no child";
  dialog.Pick(contact);
  EXPECT_EQ(CellText(dialog.List(), 0, 3), "nobody");
  SetTicked(dialog.List(), 0, true);
  EXPECT_FALSE(dialog.SetButton().isEnabled()) << "no value yet";
  dialog.ValueEdit().setText("ops@lab");
  ASSERT_TRUE(dialog.SetButton().isEnabled());
  dialog.OnSetChanges();
  EXPECT_EQ(prompter.Texts(), QStringList{"Are you sure you would like to set the selected changes?"});
  EXPECT_EQ(AgentContact(), "\"ops@lab\"");
  EXPECT_EQ(CellText(dialog.List(), 0, 3), "ops@lab");
  EXPECT_EQ(CellText(dialog.List(), 0, 5), "nobody");
  EXPECT_FALSE(IsTicked(dialog.List(), 0));
}

}  // namespace
}  // namespace mirvale
