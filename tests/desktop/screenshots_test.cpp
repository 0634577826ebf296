// Screenshots of the desktop program on a private Xvfb display, against a real MirvaleSrv, kept as
// PNG files under <build>/screenshots. Every pane is taken by
// EveryPaneDrawsItsTitleAndNoControlLiesOverAnother (pane-<name>.png), which also checks what a
// user would see: the title drawn, no control over another; a dialog or a pane in a particular
// state adds a TEST of its own: Open(), bring it to that state, Save("<name>").
#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QTextEdit>
#include <set>

#include <gtest/gtest.h>

#include "common/settings_file.h"
#include "desktop/shell/command_ids.h"
#include "desktop/shell/help_window.h"
#include "desktop/shell/splash_dialog.h"
#include "platform/atomic_file.h"
#include "tests/desktop/support/desktop_harness.h"
#include "tests/desktop/support/qt_environment.h"

namespace mirvale {
namespace {

using testing_support::DesktopHarness;
using testing_support::SaveScreenshot;
using testing_support::ServiceProcess;

static auto* const qt = testing_support::UseQtApplication(testing_support::Display::Xvfb);

// The controls a user reads or works, outermost only (a combo box's own line edit is part of it).
void CollectControls(QWidget& parent, QWidget& window, std::vector<QWidget*>& controls) {
  for (QWidget* child : parent.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    if (!child->isVisibleTo(&window) || child->isWindow()) continue;
    auto* label = qobject_cast<QLabel*>(child);
    const bool control = (label && !label->text().isEmpty()) || qobject_cast<QAbstractButton*>(child) ||
                         qobject_cast<QComboBox*>(child) || qobject_cast<QLineEdit*>(child) ||
                         qobject_cast<QAbstractSpinBox*>(child) || qobject_cast<QAbstractItemView*>(child) ||
                         qobject_cast<QTextEdit*>(child);
    if (control)
      controls.push_back(child);
    else
      CollectControls(*child, window, controls);
  }
}

QRect InWindow(QWidget& widget, QWidget& window) { return QRect(widget.mapTo(&window, QPoint(0, 0)), widget.size()); }

// The part of the widget on screen: what its ancestors (a scrolled view's viewport) do not clip.
QRect ShownPart(QWidget& widget, QWidget& window) {
  QRect shown = InWindow(widget, window);
  for (QWidget* ancestor = widget.parentWidget(); ancestor && ancestor != &window; ancestor = ancestor->parentWidget())
    shown &= InWindow(*ancestor, window);
  return shown;
}

// No control of the window lies over another one.
void ExpectNoControlOverlaps(QWidget& window, const std::string& name) {
  std::vector<QWidget*> controls;
  CollectControls(window, window, controls);
  for (size_t a = 0; a < controls.size(); ++a)
    for (size_t b = a + 1; b < controls.size(); ++b)
      EXPECT_FALSE(ShownPart(*controls[a], window).intersects(ShownPart(*controls[b], window)))
          << name << ": " << controls[a]->metaObject()->className() << " \""
          << controls[a]->property("text").toString().toStdString() << "\" over "
          << controls[b]->metaObject()->className() << " \"" << controls[b]->property("text").toString().toStdString()
          << "\"";
}

// The title is shown on the picture: its label is visible and its rectangle in the picture
// holds the text's colour beside the background's.
void ExpectTitleDrawn(QWidget& window, const QImage& image, const QString& title) {
  QLabel* shown = nullptr;
  for (QLabel* label : window.findChildren<QLabel*>())
    if (label->isVisibleTo(&window) && label->text() == title) shown = label;
  ASSERT_TRUE(shown) << title.toStdString() << " is not shown";
  const QRect area =
      InWindow(*shown, window).translated(window.geometry().topLeft() - window.frameGeometry().topLeft());
  ASSERT_TRUE(image.rect().contains(area)) << title.toStdString() << " lies outside the window";
  std::set<QRgb> colours;
  for (int y = area.top(); y <= area.bottom(); ++y)
    for (int x = area.left(); x <= area.right(); ++x) colours.insert(image.pixel(x, y));
  EXPECT_GT(colours.size(), 1u) << title.toStdString() << " is not drawn";
}

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

  // The main window at the top left of the screen, 1000 x 680, after the start-up loading.
  DesktopHarness& Open() {
    desktop_ = std::make_unique<DesktopHarness>(service_);
    desktop_->Frame().resize(1000, 680);
    EXPECT_TRUE(desktop_->Start());
    desktop_->Frame().move(0, 0);
    return *desktop_;
  }

  // Saves the main window (or another window) as <build>/screenshots/<name>.png.
  std::string Save(const std::string& name, QWidget* window = nullptr) {
    std::string path = SaveScreenshot(window ? *window : desktop_->Frame(), name);
    EXPECT_FALSE(path.empty()) << name;
    return path;
  }

  ServiceProcess service_;
  std::unique_ptr<DesktopHarness> desktop_;
};

TEST_F(Screenshots, MainWindowOnHome) {
  Open().Command(kCommandHome);
  QImage image(QString::fromStdString(Save("main-window-home")));
  ASSERT_EQ(image.size(), QSize(1000, 680));
  // The band's left edge and the view's panel are painted, not left black.
  EXPECT_EQ(image.pixelColor(0, 2), QColor(1, 103, 204));
  EXPECT_EQ(image.pixelColor(500, 200), QColor(255, 255, 255));
}

TEST_F(Screenshots, EveryPaneDrawsItsTitleAndNoControlLiesOverAnother) {
  DesktopHarness& desktop = Open();
  struct Shown {
    int command;
    const char* name;
    const char* title;
  };
  const Shown panes[] = {{kCommandScan, "scan", "Scan"},
                         {kCommandReports, "reports", "Reports"},
                         {kCommandTools, "tools", "Tools and Settings"},
                         {kCommandOptions, "options", "Options"},
                         {kCommandActions, "actions", "Actions"},
                         {kCommandExport, "export", "Export"}};
  for (const Shown& pane : panes) {
    desktop.Command(pane.command);
    const std::string name = std::string("pane-") + pane.name;
    ExpectTitleDrawn(desktop.Frame(), QImage(QString::fromStdString(Save(name))), QString::fromLatin1(pane.title));
    ExpectNoControlOverlaps(desktop.Frame(), name);
  }
  // And at the smallest window the program allows.
  desktop.Frame().resize(790, 560);
  desktop.Command(kCommandHome);
  Save("small-pane-home");
  ExpectNoControlOverlaps(desktop.Frame(), "small-pane-home");
  for (const Shown& pane : panes) {
    desktop.Command(pane.command);
    const std::string name = std::string("small-pane-") + pane.name;
    ExpectTitleDrawn(desktop.Frame(), QImage(QString::fromStdString(Save(name))), QString::fromLatin1(pane.title));
    ExpectNoControlOverlaps(desktop.Frame(), name);
  }
}

TEST_F(Screenshots, HelpWindow) {
  Open().Command(kCommandHelp);
  ASSERT_TRUE(desktop_->View().Help());
  desktop_->View().Help()->move(0, 0);
  Save("help", desktop_->View().Help());
}

TEST_F(Screenshots, SplashWhileStarting) {
  mirvale::AppOptions options = testing_support::QuickAppOptions();
  options.splashDelay = std::chrono::milliseconds(3000);
  desktop_ = std::make_unique<DesktopHarness>(service_, options);
  desktop_->Frame().show();
  ASSERT_TRUE(QTest::qWaitFor([&] { return desktop_->Frame().Splash() && desktop_->Frame().Splash()->isVisible(); }));
  Save("splash", desktop_->Frame().Splash());
  EXPECT_TRUE(QTest::qWaitFor([&] { return desktop_->Frame().StartupFinished(); }, 20000));
}

}  // namespace
}  // namespace mirvale
