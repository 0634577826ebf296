// The Restore Devices dialog against a real MirvaleSrv in the test's own network namespace: an
// SNMP value put back on snmpd (read back with snmpget), and the changed lines of one interface
// put back on the fake device's command line over telnet and over SSH-2, in one request.
#include <QComboBox>
#include <QPushButton>

#include <gtest/gtest.h>

#include "common/settings_file.h"
#include "desktop/results/restore_devices_dialog.h"
#include "desktop/results/restore_view.h"
#include "desktop/results/result_widgets.h"
#include "desktop/shell/color_list.h"
#include "platform/atomic_file.h"
#include "tests/desktop/support/combo_choice.h"
#include "tests/desktop/support/desktop_harness.h"
#include "tests/desktop/support/qt_environment.h"
#include "tests/desktop/support/recording_prompter.h"
#include "tests/support/command_output.h"
#include "tests/support/fake_device.h"
#include "tests/support/lab_pools.h"
#include "tests/support/snmp_agent.h"
#include "tests/support/ssh_device.h"

namespace mirvale {
namespace {

using testing_support::Choose;
using testing_support::CommandOutput;
using testing_support::RecordingPrompter;
using testing_support::ServiceProcess;

static auto* const qt = testing_support::UseQtApplication();

constexpr char kSysLocation[] = "1.3.6.1.2.1.1.6.0";

std::string AgentLocation() {
  return CommandOutput(std::string("snmpget -v1 -c public -Oqv 127.0.0.1 ") + kSysLocation);
}

CDbQuery Line(const std::string& key, const std::string& value, const std::string& prev = "") {
  return CDbQuery{"", "", key, value, "2000", prev, prev.empty() ? "" : "1000"};
}

class RestoreDevicesTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(testing_support::EnterPrivateNetwork()) << "needs root"; }

  void StartService(const CMirvaleDoc& settings, const DeviceDatabaseMap& devices) {
    ASSERT_TRUE(platform::WriteFileAtomically(service.ProgramFile("Mirvale.ini"), EncodeSettings(settings)));
    ASSERT_TRUE(platform::WriteFileAtomically(service.ProgramFile("Mirvale.db"), EncodeDeviceDatabase(devices)));
    ASSERT_TRUE(service.Start());
    folders = std::make_unique<testing_support::ServiceFolders>(service);
    app = std::make_unique<CMirvaleApp>(testing_support::QuickAppOptions());
    ASSERT_TRUE(app->Store().LoadDatabase());
  }

  ServiceProcess service;
  std::unique_ptr<testing_support::ServiceFolders> folders;
  std::unique_ptr<CMirvaleApp> app;
  RecordingPrompter prompter;
};

TEST_F(RestoreDevicesTest, PutsThePreviousSnmpValueBackOnTheAgent) {
  testing_support::SnmpAgent agent({"rocommunity public default", "rwcommunity private default"}, "udp:127.0.0.1:161");
  ASSERT_TRUE(agent.Ready()) << agent.LogText();
  CommandOutput(std::string("snmpset -v1 -c private 127.0.0.1 ") + kSysLocation + " s 'Moved away'");
  ASSERT_EQ(AgentLocation(), "\"Moved away\"");

  CMirvaleDoc settings;
  ApplyServiceDefaults(settings);
  testing_support::AddSnmpV1Pool(settings, "lab");
  DeviceDatabaseMap devices;
  CDbItem& device = devices.FindOrAdd("lab/127.0.0.1");
  device = CDbItem{"lab", "127.0.0.1", "agent", "2000", "", "", "", {}};
  device.m_pQueries.Set(kSysLocation, CDbQuery{"sysLocation", "1.3.6.1.2.1.1.6", kSysLocation, "Moved away", "2000",
                                               "Server room", "1000"});
  device.m_pQueries.Set("1.3.6.1.2.1.1.5.0",
                        CDbQuery{"sysName", "1.3.6.1.2.1.1.5", "1.3.6.1.2.1.1.5.0", "agent", "2000", "", ""});
  StartService(settings, devices);

  CConfigurationRestoreDevices dialog(*app);
  Choose(dialog.PoolCombo(), "lab");
  Choose(dialog.DeviceCombo(), "127.0.0.1");
  ASSERT_EQ(dialog.List().topLevelItemCount(), 2);
  EXPECT_FALSE(dialog.RestoreButton().isEnabled());
  emit dialog.SelectLink().clicked();
  EXPECT_EQ(dialog.SelectLink().text(), "Unselect Changes");
  ASSERT_EQ(CellText(dialog.List(), 0, 0), "sysLocation") << "rows sorted by query";
  EXPECT_TRUE(IsTicked(dialog.List(), 0));
  EXPECT_FALSE(IsTicked(dialog.List(), 1)) << "sysName has no previous value";
  ASSERT_TRUE(dialog.RestoreButton().isEnabled());

  dialog.OnRestoreChanges();
  EXPECT_EQ(prompter.Texts(), QStringList{"Are you sure you would like to restore the selected changes?"});
  EXPECT_EQ(AgentLocation(), "\"Server room\"");
  EXPECT_EQ(CellText(dialog.List(), 0, 1), "Server room") << "the row shows the reloaded value";
  EXPECT_FALSE(IsTicked(dialog.List(), 0));
  EXPECT_FALSE(dialog.RestoreButton().isEnabled());
}

class RestoreShellLines : public RestoreDevicesTest, public ::testing::WithParamInterface<std::string> {};

TEST_P(RestoreShellLines, PutsSeveralChangedLinesOfOneInterfaceBack) {
  using testing_support::FakeDevice;
  FakeDevice fake(testing_support::FakeDeviceOptions{
      .mode = GetParam(),
      .page = 100,
      .config = {"hostname Router", "interface GigabitEthernet0/1", " description core", " no shutdown", "end"}});
  CMirvaleDoc settings;
  ApplyServiceDefaults(settings);
  CPoolItem& pool = testing_support::AddFakeDeviceTelnetPool(settings, "sw", fake);
  std::unique_ptr<testing_support::SshDeviceServer> sshd;
  if (GetParam() == "ssh") {
    sshd = std::make_unique<testing_support::SshDeviceServer>(fake.Command());
    ASSERT_TRUE(sshd->ready());
    sshd->Serve(pool);
  }
  DeviceDatabaseMap devices;
  CDbItem& device = devices.FindOrAdd("sw/127.0.0.1");
  device = CDbItem{"sw", "127.0.0.1", "Router", "2000", "", "", "", {}};
  for (const CDbQuery& line :
       {Line("1", "hostname Router"), Line("2", "interface GigabitEthernet0/1"),
        Line("3", " description core", " description old"), Line("4", " no shutdown", " shutdown")})
    device.m_pQueries.Set(line.m_strKey, line);
  StartService(settings, devices);

  CConfigurationRestoreDevices dialog(*app);
  Choose(dialog.PoolCombo(), "sw");
  Choose(dialog.DeviceCombo(), "127.0.0.1");
  EXPECT_EQ(dialog.PreviousView().Rows(), (std::vector<std::string>{"hostname Router", "interface GigabitEthernet0/1",
                                                                    " description old", " shutdown"}));
  EXPECT_EQ(dialog.CurrentView().Rows().size(), 4u);
  emit dialog.SelectLink().clicked();
  EXPECT_EQ(dialog.PreviousView().TickedRows(), (std::set<size_t>{2, 3}));
  ASSERT_TRUE(dialog.RestoreButton().isEnabled());

  dialog.OnRestoreChanges();
  EXPECT_EQ(prompter.Texts().size(), 1) << prompter.Texts().join("|").toStdString();
  const std::string received = fake.Received();
  EXPECT_NE(received.find("configure terminal\rinterface GigabitEthernet0/1\rdescription old\rshutdown\rend\r"),
            std::string::npos)
      << received;
  // The service collected the device again; the views show what it holds now.
  EXPECT_EQ(dialog.CurrentView().Rows().front(), "show running-config");
  EXPECT_FALSE(dialog.RestoreButton().isEnabled());
}

INSTANTIATE_TEST_SUITE_P(Protocols, RestoreShellLines, ::testing::Values("telnet", "ssh"),
                         [](const auto& info) { return info.param; });

}  // namespace
}  // namespace mirvale
