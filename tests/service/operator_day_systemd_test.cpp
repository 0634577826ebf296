// An operator's day under a real systemd as PID 1 (booted in namespaces of its own, nothing
// installed on this machine): root registers MirvaleSrv as the README says, from a program
// folder whose path holds a "$"; a member of the operators' group opens the desktop program on
// Xvfb, which starts the unit through systemd and polkit, then hands over settings (control code 134 after writing
// Mirvale.ini) and starts a scan of snmpd (136) whose values reach Mirvale.db; an outsider can do none of it, and
// neither may stop the service.
#include <filesystem>
#include <thread>

#include <gtest/gtest.h>

#include "common/database_files.h"
#include "common/settings_file.h"
#include "platform/atomic_file.h"
#include "tests/support/booted_systemd.h"
#include "tests/support/lab_pools.h"

namespace mirvale {
namespace {

using namespace std::chrono_literals;
using testing_support::BootedSystemd;

constexpr const char* kProgramFolder = "/opt/mir$vale";

// A control client: the answer, or "refused <reason>" when the socket cannot be reached.
constexpr const char* kControlClient = R"py(import socket, struct, sys
s = socket.socket(socket.AF_UNIX)
try:
    s.connect("/run/mirvale/control")
except OSError as error:
    print("refused", error.strerror); sys.exit(2)
s.sendall(struct.pack("<I", int(sys.argv[1])))
print(struct.unpack("<I", s.recv(4))[0])
)py";

std::string LabSettings() {
  return EncodeSettings(testing_support::SnmpLocationScanSettings("127.0.0.1", "255.255.255.255", "alice"));
}

class OperatorDay : public ::testing::Test {
 protected:
  BootedSystemd::Result Do(const std::string& command, const std::string& account = "root") {
    return machine_.Run(command, account);
  }
  std::string Control(int code, const std::string& account) {
    return Do("python3 " + machine_.InputFolder() + "/control.py " + std::to_string(code), account).output;
  }
  std::string Mode(const std::string& path) { return Do("stat -c '%a %U %G' " + path).output; }
  std::string Journal() { return Do("journalctl -u oskavel-mirvale --no-pager").output; }
  // A file of the program folder as the account reads it, copied out of the machine.
  std::string ReadAs(const std::string& name, const std::string& account) {
    const std::string copy = machine_.OutputFolder() + "/" + name + ".copy";
    unlink(copy.c_str());
    machine_.Run(std::string("cat '") + kProgramFolder + "/" + name + "'", account, 30s,
                 "> '" + copy + "' 2>/dev/null");
    return platform::ReadWholeFile(copy).value_or("");
  }

  BootedSystemd machine_;
};

TEST_F(OperatorDay, AMemberStartsTheUnitHandsOverSettingsAndScansAndAnOutsiderCannot) {
  ASSERT_EQ(geteuid(), 0u) << "boots systemd in namespaces";
  const std::string input = machine_.InputFolder();
  ASSERT_TRUE(platform::WriteFileAtomically(input + "/control.py", kControlClient, 0644));
  ASSERT_TRUE(platform::WriteFileAtomically(input + "/Mirvale.ini", LabSettings(), 0644));
  ASSERT_TRUE(platform::WriteFileAtomically(
      input + "/snmpd.conf", "rocommunity public 127.0.0.1\nsysLocation Operators room\nsysName day-device\n", 0644));
  for (const char* name : {"MirvaleSrv", "Mirvale"})
    std::filesystem::copy_file(std::string(MIRVALE_BINARY_DIR) + "/bin/" + name, input + "/" + name);
  ASSERT_TRUE(machine_.Boot()) << machine_.Problem();
  const std::string program = std::string("'") + kProgramFolder + "'";
  ASSERT_EQ(Do("mkdir -p " + program + " && cp " + input + "/MirvaleSrv " + input + "/Mirvale " + program +
               " && useradd -M -s /bin/sh alice && useradd -M -s /bin/sh bob")
                .status,
            0);

  // Root installs as the README says, then lets alice in.
  auto registered = Do(program + "/MirvaleSrv -Service");
  ASSERT_EQ(registered.status, 0) << registered.output;
  ASSERT_EQ(Do("usermod -a -G mirvale alice").status, 0);
  EXPECT_EQ(Mode("/var/lib/Oskavel"), "755 root root");
  EXPECT_EQ(Mode("/var/lib/Oskavel/Mirvale"), "3770 root mirvale");
  EXPECT_EQ(Do("systemctl is-enabled oskavel-mirvale").output, "enabled");
  // The start shares the folders again inside systemd's sandbox, as an earlier version left them.
  ASSERT_EQ(Do("chmod 0700 /var/lib/Oskavel /var/lib/Oskavel/Mirvale && chgrp root /var/lib/Oskavel/Mirvale").status,
            0);

  // Only a member may start the unit, and nobody but root may stop it.
  auto outsiderStart = Do("systemctl start oskavel-mirvale", "bob");
  EXPECT_NE(outsiderStart.status, 0);
  EXPECT_NE(outsiderStart.output.find("Interactive authentication required"), std::string::npos)
      << outsiderStart.output;
  EXPECT_EQ(Do("systemctl is-active oskavel-mirvale").output, "inactive");
  // The member opens the desktop program on a display of her own; it starts the unit through
  // systemd and polkit, and its main window comes up.
  ASSERT_EQ(Do("setsid Xvfb :5 -nolisten tcp >/tmp/xvfb.log 2>&1 &", "alice").status, 0);
  ASSERT_EQ(
      Do("sleep 1; DISPLAY=:5 QT_QPA_PLATFORM=xcb HOME=/tmp setsid " + program + "/Mirvale >/tmp/desktop.log 2>&1 &",
         "alice")
          .status,
      0);
  std::string state;
  for (int i = 0; i < 200 && state != "4"; ++i, std::this_thread::sleep_for(100ms)) state = Control(4, "alice");
  ASSERT_EQ(state, "4") << Journal() << Do("cat /tmp/desktop.log").output;
  EXPECT_EQ(Do("systemctl is-active oskavel-mirvale").output, "active");
  bool window = false;
  for (int i = 0; i < 100 && !window; ++i, std::this_thread::sleep_for(200ms))
    window = Do("DISPLAY=:5 xwininfo -root -tree | grep -c '\"Oskavel Mirvale\"'", "alice").output != "0";
  EXPECT_TRUE(window) << Do("cat /tmp/desktop.log").output;
  EXPECT_EQ(Mode("/run/mirvale"), "750 root mirvale");
  EXPECT_EQ(Mode("/var/lib/Oskavel/Mirvale"), "3770 root mirvale");
  EXPECT_NE(Do("systemctl stop oskavel-mirvale", "alice").status, 0);
  EXPECT_NE(Do("systemctl stop oskavel-mirvale", "bob").status, 0);

  // The outsider can neither hand over settings nor reach the control socket.
  EXPECT_NE(Do("cp " + input + "/Mirvale.ini /var/lib/Oskavel/Mirvale/Mirvale.ini", "bob").status, 0);
  EXPECT_EQ(Control(134, "bob"), "refused Permission denied");
  EXPECT_EQ(Control(136, "bob"), "refused Permission denied");

  // The member saves settings and scans snmpd; the values reach Mirvale.db, which she may read.
  ASSERT_EQ(Do("snmpd -C -c " + input + "/snmpd.conf -Lf /tmp/snmpd.log udp:127.0.0.1:161").status, 0);
  ASSERT_EQ(Do("cp " + input + "/Mirvale.ini /var/lib/Oskavel/Mirvale/Mirvale.ini", "alice").status, 0);
  EXPECT_EQ(Control(134, "alice"), "0");
  EXPECT_EQ(Control(136, "alice"), "0");
  bool finished = false;
  for (int i = 0; i < 600 && !finished; ++i, std::this_thread::sleep_for(100ms))
    finished = DecodeScanDatabase(ReadAs("Mirvale.sdb", "alice")).header.m_strScanStatus == "Finished";
  ASSERT_TRUE(finished) << Journal();
  const auto devices = DecodeDeviceDatabase(ReadAs("Mirvale.db", "alice"));
  const CDbItem* device = devices.Find("lab/127.0.0.1");
  ASSERT_TRUE(device) << Journal();
  ASSERT_TRUE(device->m_pQueries.Find("1.3.6.1.2.1.1.6.0"));
  EXPECT_EQ(device->m_pQueries.Find("1.3.6.1.2.1.1.6.0")->m_strValue, "Operators room");
  EXPECT_EQ(ReadAs("Mirvale.db", "bob"), "") << "the outsider reads nothing";

  const std::string journal = Journal();
  EXPECT_NE(journal.find("Service started"), std::string::npos) << journal;
  EXPECT_EQ(journal.find("Couldn't share"), std::string::npos) << journal;

  // Only root unregisters; after the unit file was deleted by hand, no wants link is left.
  auto memberRemoves = Do(program + "/MirvaleSrv -UnregServer", "alice");
  EXPECT_NE(memberRemoves.status, 0);
  EXPECT_NE(memberRemoves.output.find("Couldn't open service manager"), std::string::npos) << memberRemoves.output;
  ASSERT_EQ(Do("rm /etc/systemd/system/oskavel-mirvale.service").status, 0);
  auto removed = Do(program + "/MirvaleSrv -UnregServer");
  EXPECT_EQ(removed.status, 0) << removed.output;
  EXPECT_EQ(Do("ls /etc/systemd/system/multi-user.target.wants | grep -c oskavel").output, "0");
  EXPECT_EQ(Do("systemctl is-active oskavel-mirvale").output, "inactive");
}

}  // namespace
}  // namespace mirvale
