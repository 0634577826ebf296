#pragma once
// How the Save/Cancel bar and the settings panes (Options, Actions, Export) reach each other
// through the pane context: the bar collects the visible pane into the document, the panes
// enable the bar's Save button at their first change.
#include "common/mirvale_doc.h"
#include "desktop/shell/pane_registry.h"

namespace mirvale {

class SettingsPane {
 public:
  virtual ~SettingsPane() = default;
  // Writes the pane's controls into the document (Save, with the document locked).
  virtual void CollectInto(CMirvaleDoc& doc) = 0;
  // Work Save does before the document is written (the Options pane's start mode).
  virtual void BeforeCommit() {}
  // Shows the document's settings anew (when shown, and when the service's settings were
  // loaded while nothing was edited).
  virtual void Reload() = 0;
};

// Enables the Save button of the bar, when the bar is there.
void EnableSave(const PaneContext& context);

}  // namespace mirvale
