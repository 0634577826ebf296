// The desktop program started and closed again and again against a real MirvaleSrv and a
// database of 1,000 devices, while the service's notices arrive: in this process, where every
// start must reach the main pane and every close must end cleanly (an abort ends the test
// program), and as the real program on a display of its own, closed by its window as a user
// closes it, where process start-up, the application's teardown and static destruction run too.
#include <QSignalSpy>
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <numeric>
#include <thread>

#include <gtest/gtest.h>

#include "common/database_files.h"
#include "common/settings_file.h"
#include "common/status_texts.h"
#include "platform/atomic_file.h"
#include "platform/notice_socket.h"
#include "platform/unix_socket.h"
#include "tests/desktop/support/desktop_harness.h"
#include "tests/desktop/support/desktop_process.h"
#include "tests/desktop/support/qt_environment.h"
#include "tests/desktop/support/x_window_client.h"
#include "tests/desktop/support/xvfb_server.h"
#include "tests/support/wait_for.h"

namespace mirvale {
namespace {

using testing_support::DesktopHarness;
using testing_support::DesktopProcess;
using testing_support::ServiceProcess;
using testing_support::TopWindow;
using testing_support::XvfbServer;
using testing_support::XWindowClient;

static auto* const qt = testing_support::UseQtApplication();

constexpr int kDevices = 1000;

void WriteThousandDevices(const ServiceProcess& service) {
  CMirvaleDoc doc;
  ApplyServiceDefaults(doc);
  CPoolItem& pool = doc.m_mapPools.FindOrAdd("big");
  pool.m_bSnmpV1 = 1;
  pool.m_strReadCommunity = "public";
  DeviceDatabaseMap devices;
  ScanDatabase scan;
  scan.header = {"1765274400", "big", "Finished", std::to_string(kDevices)};
  for (int i = 0; i < kDevices; ++i) {
    const std::string address = "10.1." + std::to_string(i / 250) + "." + std::to_string(i % 250 + 1);
    pool.m_pDevices.Set(address, CDeviceItem{address, "255.255.255.255"});
    CDbItem& device = devices.FindOrAdd("big/" + address);
    device =
        CDbItem{"big", address, "device" + std::to_string(i), "1765274400", "Finished with changes", "1;2;", "", {}};
    for (int q = 1; q <= 5; ++q) {
      const std::string oid = "1.3.6.1.2.1.1." + std::to_string(q);
      device.m_pQueries.Set(oid + ".0", CDbQuery{"q", oid, oid + ".0", "value", "1765274400", "old", "1765270000"});
    }
    scan.map.Set("big/" + address, CScanDbItem{"big", address, "device", "Finished with changes"});
  }
  ASSERT_TRUE(platform::WriteFileAtomically(service.ProgramFile("Mirvale.ini"), EncodeSettings(doc)));
  ASSERT_TRUE(SaveDeviceDatabaseFile(service.ProgramFile(kDeviceDatabaseFileName), devices));
  ASSERT_TRUE(SaveScanDatabaseFile(service.ProgramFile(kScanDatabaseFileName), scan.header, scan.map));
}

// How many times each test starts the program: the environment's variable, or the default.
int ConfiguredStarts(const char* variable, int otherwise) {
  const char* configured = std::getenv(variable);
  return configured ? std::atoi(configured) : otherwise;
}

// Notices as a busy service sends them, so start-up meets reloads on the listener's thread.
class BusyServiceNotices {
 public:
  explicit BusyServiceNotices(const ServiceProcess& service)
      : thread_([this, folder = service.DataFolder()] {
          while (!done_) {
            platform::NotifyEveryNoticeSocket(folder, kUpdateDatabaseNotice);
            std::this_thread::sleep_for(std::chrono::milliseconds(7));
          }
        }) {}
  ~BusyServiceNotices() {
    done_ = true;
    thread_.join();
  }

 private:
  std::atomic<bool> done_{false};
  std::thread thread_;
};

std::string Titles(const std::vector<TopWindow>& windows) {
  return std::accumulate(windows.begin(), windows.end(), std::string("windows:"),
                         [](std::string text, const TopWindow& window) { return text + " \"" + window.title + "\""; });
}

// A real MirvaleSrv with 1,000 devices, busy sending notices, for every start of a test.
class DesktopStartRepeat : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteThousandDevices(service);
    ASSERT_TRUE(service.Start());
    notices = std::make_unique<BusyServiceNotices>(service);
  }
  void TearDown() override { notices.reset(); }

  ServiceProcess service;
  std::unique_ptr<BusyServiceNotices> notices;
};

TEST_F(DesktopStartRepeat, StartsAndClosesEveryTimeWithAThousandDevices) {
  const int starts = ConfiguredStarts("MIRVALE_DESKTOP_STARTS", 200);
  for (int i = 0; i < starts; ++i) {
    SCOPED_TRACE("start " + std::to_string(i + 1));
    DesktopHarness desktop(service);
    QSignalSpy reloaded(&desktop.App(), &CMirvaleApp::databaseReloaded);
    ASSERT_TRUE(desktop.Start());
    ASSERT_TRUE(reloaded.count() > 0 || reloaded.wait(10000));
    ScanDatabaseMap scan;
    desktop.App().Store().CopyScanMap(scan);
    ASSERT_EQ(scan.size(), static_cast<size_t>(kDevices));
    ASSERT_TRUE(desktop.View().Pane(PaneSlot::Home)->isVisible());
  }
}

// The real program, each start on a display of its own, is closed once it has loaded: the splash
// has closed on the main window alone (a message box would stand beside it) and the program
// listens for the service's notices, which it begins after loading both databases.
TEST_F(DesktopStartRepeat, ProgramClosedByItsWindowExitsCleanlyEveryTime) {
  // The real splash stays 3 s a start: fewer starts than in-process keep the run short.
  const int starts = ConfiguredStarts("MIRVALE_DESKTOP_PROGRAM_STARTS", 50);
  for (int i = 0; i < starts; ++i) {
    SCOPED_TRACE("start " + std::to_string(i + 1));
    XvfbServer display;
    ASSERT_TRUE(display.Running());
    XWindowClient windows(display.DisplayName());
    ASSERT_TRUE(windows.Connected());
    DesktopProcess program(service, display.DisplayName(), service.Root() + "/desktop.out");
    ASSERT_TRUE(program.Started());
    // What the program shows and said, and how it ended, for any failure below.
    auto report = [&] {
      return Titles(windows.MappedTopWindows()) + "\n" + program.Outcome() + "\n" + program.Output();
    };
    std::vector<TopWindow> mapped;
    const bool loaded = testing_support::WaitFor(
        [&] {
          mapped = windows.MappedTopWindows();
          return program.Ended(std::chrono::milliseconds(0)) ||
                 (mapped.size() == 1 && mapped.front().title == "Oskavel Mirvale" &&
                  platform::NotifyEveryNoticeSocket(service.DataFolder(), "") > 0);
        },
        std::chrono::seconds(60));
    ASSERT_TRUE(loaded && !program.Ended(std::chrono::milliseconds(0))) << report();
    ASSERT_TRUE(windows.AskToClose(mapped.front().id));
    ASSERT_TRUE(program.Ended(std::chrono::seconds(20))) << "not ended after its window was closed; " << report();
    ASSERT_EQ(program.Outcome(), "exit code 0") << report();
  }
}

}  // namespace
}  // namespace mirvale

namespace mirvale {
namespace {

// The names in the data folder that one desktop copy of this account makes for itself.
std::vector<std::string> OwnSocketsIn(const std::string& folder) {
  const std::string notice = "OskavelMirvale." + std::to_string(geteuid()) + ".";
  const std::string raise = "MirvaleDesktop." + std::to_string(geteuid());
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    const std::string name = entry.path().filename();
    if (name.rfind(notice, 0) == 0 || name == raise) names.push_back(name);
  }
  return names;
}

// A logout takes the display away: the toolkit ends the program at once, without unwinding, and
// still its sockets go.
TEST_F(DesktopStartRepeat, ProgramWhoseDisplayGoesAwayLeavesNoSocketBehind) {
  auto display = std::make_unique<XvfbServer>();
  ASSERT_TRUE(display->Running());
  // Ended by exit() from inside the toolkit, the program joins none of its finished threads:
  // under ThreadSanitizer that is no fault of this ending, so it is not reported.
  std::map<std::string, std::string> extra;
  if (const char* tsan = std::getenv("TSAN_OPTIONS")) extra["TSAN_OPTIONS"] = std::string(tsan) + " report_thread_leaks=0";
  DesktopProcess program(service, display->DisplayName(), service.Root() + "/desktop.out", extra);
  ASSERT_TRUE(program.Started());
  ASSERT_TRUE(testing_support::WaitFor(
      [&] { return program.Ended(std::chrono::milliseconds(0)) || OwnSocketsIn(service.DataFolder()).size() == 2; },
      std::chrono::seconds(60)))
      << ::testing::PrintToString(OwnSocketsIn(service.DataFolder())) << program.Output();
  display.reset();
  ASSERT_TRUE(program.Ended(std::chrono::seconds(20))) << program.Output();
  EXPECT_EQ(OwnSocketsIn(service.DataFolder()), std::vector<std::string>{}) << program.Output();
}

}  // namespace
}  // namespace mirvale
