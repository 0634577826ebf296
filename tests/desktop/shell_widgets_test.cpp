// The shell's own widgets on the offscreen platform: the main view's registration seam and
// scrolling hosts, the colour list's marks and search highlights, the flat splitter, the splash.
#include <QElapsedTimer>
#include <QHeaderView>
#include <QLabel>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include "desktop/shell/color_list.h"
#include "desktop/shell/command_ids.h"
#include "desktop/shell/flat_splitter.h"
#include "desktop/shell/mirvale_app.h"
#include "desktop/shell/mirvale_view.h"
#include "desktop/shell/placeholder_pane.h"
#include "desktop/shell/splash_dialog.h"
#include "tests/desktop/support/qt_environment.h"
#include "tests/support/scoped_env.h"

namespace mirvale {
namespace {

static auto* const qt = testing_support::UseQtApplication();

// A pane built 900 pixels high.
class TallPane : public QWidget {
 public:
  explicit TallPane(QWidget* parent) : QWidget(parent) {}
  QSize sizeHint() const override { return QSize(400, 900); }
};

TEST(MirvaleView, CreatesRegisteredPanesOnceAndScrollsToolsWhenLowerThanBuilt) {
  testing_support::TempFolder folder;
  testing_support::ScopedEnv program("MIRVALE_PROGRAM_FOLDER", folder.path());
  testing_support::ScopedEnv common("MIRVALE_COMMON_APPDATA", folder.path());
  AppOptions options;
  options.fileRetry.attempts = 1;
  CMirvaleApp app(options);
  PaneRegistry registry;
  int built = 0;
  registry.RegisterPane(PaneSlot::Tools, [&](const PaneContext&, QWidget* parent) {
    ++built;
    return new TallPane(parent);
  });
  registry.DescribePending(PaneSlot::Scan, "The Scan pane will list the pools.");
  CMirvaleView view(app, registry, [](int) {});
  view.resize(800, 1200);
  view.show();
  view.dispatchCommand(kCommandTools);
  view.dispatchCommand(kCommandHome);
  view.dispatchCommand(kCommandTools);
  EXPECT_EQ(built, 1);
  auto* placeholder = qobject_cast<PlaceholderPane*>(view.Pane(PaneSlot::Scan));
  ASSERT_TRUE(placeholder);
  EXPECT_EQ(placeholder->findChild<QLabel*>("placeholderText")->text(), "The Scan pane will list the pools.");

  auto* scroller = qobject_cast<QScrollArea*>(view.Pane(PaneSlot::Tools)->parentWidget()->parentWidget());
  ASSERT_TRUE(scroller);
  QTest::qWait(20);
  EXPECT_TRUE(scroller->verticalScrollBar()->isVisible());
  EXPECT_EQ(scroller->verticalScrollBar()->maximum(), 0);  // taller than built: nothing to scroll
  view.resize(800, 500);
  QTest::qWait(20);
  EXPECT_EQ(scroller->verticalScrollBar()->maximum(), 900 - scroller->viewport()->height());
}

// The list's own hover shading may tint a row slightly: colours are compared within a margin.
bool Near(const QColor& seen, const QColor& expected) {
  return std::abs(seen.red() - expected.red()) < 40 && std::abs(seen.green() - expected.green()) < 40 &&
         std::abs(seen.blue() - expected.blue()) < 40;
}

TEST(ColorList, MarkedColumnsGetTheMarkColourAndSearchTextIsHighlightedOnTop) {
  CColorListCtrl list;
  list.setColumnCount(2);
  list.resize(400, 200);
  auto* first = new QTreeWidgetItem(&list, QStringList{"ab ab", "xxxx ab"});
  new QTreeWidgetItem(&list, QStringList{"plain", "plain"});
  list.m_clrMark = QColor(255, 0, 0);
  list.m_arrMarkedRows = {0};
  list.m_arrMarkedCols = {1};
  list.m_strSearch = "AB";
  list.show();
  QTest::qWait(20);
  const QImage image = list.viewport()->grab().toImage();
  const QRect cell0 = list.visualItemRect(first);
  const QRect cell1(list.header()->sectionPosition(1), cell0.top(), list.header()->sectionSize(1), cell0.height());
  const QColor highlight = list.palette().color(QPalette::Highlight);
  // Column 1 of the marked row is red at its right end (beyond the text); column 0 stays plain.
  EXPECT_TRUE(Near(image.pixelColor(cell1.right() - 3, cell1.center().y()), QColor(255, 0, 0)));
  EXPECT_TRUE(Near(image.pixelColor(cell0.left() + list.header()->sectionSize(0) - 3, cell0.center().y()),
                   list.palette().color(QPalette::Base)));
  // Both occurrences in column 0 and the one in column 1 are highlighted.
  int highlightedRuns = 0;
  bool inRun = false;
  for (int x = 0; x < image.width(); ++x) {
    bool lit = Near(image.pixelColor(x, cell0.bottom() - 1), highlight);  // below the letters
    if (lit && !inRun) ++highlightedRuns;
    inRun = lit;
  }
  EXPECT_EQ(highlightedRuns, 3);
}

TEST(FlatSplitter, PaintsItsBarFlat) {
  CFlatSplitterWnd splitter;
  splitter.addWidget(new QWidget);
  splitter.addWidget(new QWidget);
  splitter.resize(300, 100);
  splitter.show();
  QTest::qWait(20);
  QSplitterHandle* handle = splitter.handle(1);
  EXPECT_EQ(handle->width(), 5);
  const QImage bar = handle->grab().toImage();
  EXPECT_EQ(bar.pixelColor(2, 50), QColor(196, 218, 250));
  EXPECT_EQ(bar.pixelColor(0, 50), QColor(127, 157, 185));
}

TEST(Splash, StaysTheWholeDelayAndClosesOnlyAfterTheLoading) {
  std::atomic<bool> loaded{false};
  CSplashDlg splash(std::chrono::milliseconds(300), [&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    loaded = true;
  });
  QSignalSpy finished(&splash, &CSplashDlg::loadingFinished);
  QElapsedTimer clock;
  clock.start();
  splash.open();
  // Neither Escape nor a close request ends the splash before the loading.
  QTest::keyClick(&splash, Qt::Key_Escape);
  EXPECT_FALSE(splash.close());
  EXPECT_TRUE(splash.isVisible());
  ASSERT_TRUE(finished.wait(5000));
  EXPECT_GE(clock.elapsed(), 600);
  EXPECT_TRUE(loaded);
  EXPECT_FALSE(splash.isVisible());
}

}  // namespace
}  // namespace mirvale
