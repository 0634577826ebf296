#pragma once
// How the folders give the main view their panes and dialogs. desktop/main.cpp calls each
// folder's Register...Panes(PaneRegistry&); the view then creates every pane once, in slot
// order, and runs the dialog commands through the registered openers. A slot nobody filled
// gets a placeholder that says what it will hold.
#include <QString>
#include <functional>
#include <map>
#include <utility>

#include "desktop/shell/detail_page_openers.h"
#include "desktop/shell/pane_slots.h"

class QWidget;

namespace mirvale {

class CMirvaleApp;

// What a pane may use: the application object (settings document, store, folders, service) and
// the command path of the main view (to switch panes, for example the Tools pane's links and the
// Save/Cancel bar's way back).
struct PaneContext {
  CMirvaleApp& app;
  std::function<void(int command)> dispatchCommand;
  // The command of the main pane a settings pane returns to (Save/Cancel bar).
  std::function<int()> lastMainCommand;
  // The pane in a slot, once the view has made it (null before): how the Save/Cancel bar reaches
  // the settings pane shown, and the Home pane the Scan pane's status filter. Panes of another
  // folder are reached through an interface declared in desktop/shell, never by their headers.
  std::function<QWidget*(PaneSlot)> paneInSlot;
  // The results views' Query and Command Properties pages, for the Scan Results dialog.
  DetailPageOpeners detailPages;
};

// Builds a pane as a child of parent; it starts hidden and is only shown or hidden afterwards.
using PaneFactory = std::function<QWidget*(const PaneContext& context, QWidget* parent)>;
// Opens a dialog (Set, Restore, Compare Devices; About) modally over parent.
using CommandOpener = std::function<void(const PaneContext& context, QWidget* parent)>;

class PaneRegistry {
 public:
  void RegisterPane(PaneSlot slot, PaneFactory factory);
  void RegisterCommand(int command, CommandOpener opener);
  void RegisterDetailPages(DetailPageOpeners openers) { detailPages_ = std::move(openers); }

  // Placeholder texts for slots and commands not filled (yet).
  void DescribePending(PaneSlot slot, QString description);
  void DescribePending(int command, QString description);

  const PaneFactory* Pane(PaneSlot slot) const;
  const CommandOpener* Command(int command) const;
  const DetailPageOpeners& DetailPages() const { return detailPages_; }
  QString PendingDescription(PaneSlot slot) const;
  QString PendingDescription(int command) const;

 private:
  std::map<PaneSlot, PaneFactory> panes_;
  std::map<int, CommandOpener> commands_;
  std::map<PaneSlot, QString> pendingPanes_;
  std::map<int, QString> pendingCommands_;
  DetailPageOpeners detailPages_;
};

}  // namespace mirvale
