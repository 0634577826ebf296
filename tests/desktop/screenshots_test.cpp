// Screenshots of the desktop program on a private Xvfb display, against a real MirvaleSrv, kept
// as PNG files under <build>/screenshots. A new pane adds one TEST here: start, send its
// command, SaveScreenshot(frame, "<pane>").
#include <QImage>

#include <gtest/gtest.h>

#include "common/settings_file.h"
#include "desktop/shell/command_ids.h"
#include "platform/atomic_file.h"
#include "tests/desktop/support/desktop_harness.h"
#include "tests/desktop/support/qt_environment.h"

namespace mirvale {
namespace {

using testing_support::DesktopHarness;
using testing_support::SaveScreenshot;
using testing_support::ServiceProcess;

static auto* const qt = testing_support::UseQtApplication(testing_support::Display::Xvfb);

// A running service whose settings hold one pool, so the program opens on Home.
class Screenshots : public ::testing::Test {
 protected:
  void SetUp() override {
    CMirvaleDoc doc;
    ApplyServiceDefaults(doc);
    CPoolItem& pool = doc.m_mapPools.FindOrAdd("office");
    pool.m_bSnmpV1 = 1;
    pool.m_pDevices.FindOrAdd("127.0.0.1") = CDeviceItem{"127.0.0.1", "255.255.255.255"};
    ASSERT_TRUE(platform::WriteFileAtomically(service_.ProgramFile("Mirvale.ini"), EncodeSettings(doc)));
    ASSERT_TRUE(service_.Start());
  }

  ServiceProcess service_;
};

TEST_F(Screenshots, MainWindowOnHome) {
  DesktopHarness desktop(service_);
  desktop.Frame().resize(1000, 680);
  ASSERT_TRUE(desktop.Start());
  desktop.Frame().move(0, 0);
  desktop.Command(kCommandHome);
  std::string path = SaveScreenshot(desktop.Frame(), "main-window-home");
  ASSERT_FALSE(path.empty());
  QImage image(QString::fromStdString(path));
  ASSERT_EQ(image.size(), QSize(1000, 680));
  // The band's left edge and the view's panel are painted, not left black.
  EXPECT_EQ(image.pixelColor(0, 2), QColor(1, 103, 204));
  EXPECT_EQ(image.pixelColor(500, 200), QColor(255, 255, 255));
}

}  // namespace
}  // namespace mirvale
