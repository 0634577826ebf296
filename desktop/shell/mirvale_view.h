#pragma once
// CMirvaleView: the main window's client area. It creates the eight panes once (from the pane
// registry, in slot order), lays them out, shows and hides them on the pane commands, opens the
// registered dialogs and the help, and paints the blue background with the white panel.
#include <QPointer>
#include <QWidget>
#include <array>
#include <functional>

#include "desktop/shell/pane_registry.h"
#include "desktop/shell/pane_switcher.h"

namespace mirvale {

class CMirvaleApp;
class HelpWindow;

class CMirvaleView : public QWidget {
  Q_OBJECT
 public:
  // route is the frame's command path, handed to the panes (it comes back here for view commands).
  CMirvaleView(CMirvaleApp& app, const PaneRegistry& registry, std::function<void(int)> route,
               QWidget* parent = nullptr);
  ~CMirvaleView() override;

  // Acts on the view's commands (panes, dialogs, help); false for any other command.
  bool dispatchCommand(int command);

  // The pane in a slot (the pane itself, also when it sits in a scrolling host).
  QWidget* Pane(PaneSlot slot) const { return panes_[PaneIndex(slot)]; }
  const PaneSwitcher& Switcher() const { return switcher_; }
  // What the panes and dialogs are given (also for the frame's own dialogs).
  const PaneContext& Context() const { return context_; }
  HelpWindow* Help() const;

 protected:
  void paintEvent(QPaintEvent*) override;
  void resizeEvent(QResizeEvent*) override;

 private:
  void CreatePanes(const PaneRegistry& registry);
  void ApplyVisibility();
  void OpenDialog(int command);
  void OpenHelp();

  const PaneRegistry& registry_;
  PaneContext context_;
  PaneSwitcher switcher_;
  std::array<QWidget*, 8> panes_{};
  std::array<QWidget*, 8> hosts_{};  // what the layout places: the pane or its scrolling host
  QPointer<HelpWindow> help_;
};

}  // namespace mirvale
