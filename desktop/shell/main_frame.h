#pragma once
// CMainFrame: the main window "Oskavel Mirvale": the tool band on top, the main view below. Its
// first showing runs the splash (which performs the start-up loading) and then opens the first
// pane: Home when the settings hold a pool, else Scan.
#include <QMainWindow>
#include <QPointer>
#include <memory>

class QMenu;

namespace mirvale {

class CMirvaleApp;
class CMirvaleView;
class CMainToolBand;
class CSplashDlg;
class PaneRegistry;
class WaitingWidgets;

class CMainFrame : public QMainWindow {
  Q_OBJECT
 public:
  CMainFrame(CMirvaleApp& app, const PaneRegistry& registry, QWidget* parent = nullptr);
  ~CMainFrame() override;

  // Every command of the program enters here: About and Exit are the frame's, the rest the view's.
  bool dispatchCommand(int command);

  CMirvaleView& View() const { return *view_; }
  CMainToolBand& ToolBand() const { return *band_; }
  QMenu& HelpMenu() const { return *helpMenu_; }
  CSplashDlg* Splash() const;
  bool StartupFinished() const { return startupFinished_; }

  // A later start asked this copy to come forward: restore it when minimised and activate it.
  void BringForward();

 signals:
  void startupDone(int firstCommand);

 protected:
  void showEvent(QShowEvent* event) override;
  // During the splash a close waits for the loading (the splash says so), then ends the program.
  // The splash blocks no window: a modal one would make the toolkit drop the window's close.
  void closeEvent(QCloseEvent* event) override;

 private:
  void RunSplash();
  void FinishStartup();
  void ShowHelpMenu(const QRect& buttonRect);

  CMirvaleApp& app_;
  const PaneRegistry& registry_;
  CMainToolBand* band_;
  CMirvaleView* view_;
  QMenu* helpMenu_;
  QPointer<CSplashDlg> splash_;
  std::unique_ptr<WaitingWidgets> splashGate_;  // the window takes no input while the splash shows
  bool shownOnce_ = false;
  bool closeAsked_ = false;   // while loading
  bool loadingDone_ = false;
  bool startupFinished_ = false;
};

}  // namespace mirvale
