// The desktop program started and closed again and again in this process against a real
// MirvaleSrv and a database of 1,000 devices, while the service's notices arrive: every start
// must reach the main pane and every close must end cleanly (an abort ends the test program).
#include <QSignalSpy>
#include <atomic>
#include <cstdlib>
#include <thread>

#include <gtest/gtest.h>

#include "common/database_files.h"
#include "common/settings_file.h"
#include "common/status_texts.h"
#include "platform/atomic_file.h"
#include "platform/notice_socket.h"
#include "tests/desktop/support/desktop_harness.h"
#include "tests/desktop/support/qt_environment.h"

namespace mirvale {
namespace {

using testing_support::DesktopHarness;
using testing_support::ServiceProcess;

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

TEST(DesktopStartRepeat, StartsAndClosesEveryTimeWithAThousandDevices) {
  const char* configured = std::getenv("MIRVALE_DESKTOP_STARTS");
  const int starts = configured ? std::atoi(configured) : 200;
  ServiceProcess service;
  WriteThousandDevices(service);
  ASSERT_TRUE(service.Start());
  // Notices as a busy service sends them, so start-up meets reloads on the listener's thread.
  std::atomic<bool> done{false};
  std::thread notices([&] {
    while (!done) {
      platform::SendNotice(std::string(kUpdateDatabaseNotice), service.NoticeSocket());
      std::this_thread::sleep_for(std::chrono::milliseconds(7));
    }
  });
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
  done = true;
  notices.join();
}

}  // namespace
}  // namespace mirvale
