#pragma once
// CConfigurationToolsActionsTest: the "Email Test" sheet. OK stores the test recipients,
// commits the settings document and, when that succeeded, asks the service to send the test
// e-mail (control code 145).
#include "desktop/shell/entry_list_page.h"
#include "desktop/shell/mirvale_app.h"
#include "desktop/shell/pane_registry.h"

namespace mirvale {

class CConfigurationToolsActionsTest : public EntryListPage {
  Q_OBJECT
 public:
  CConfigurationToolsActionsTest(const PaneContext& context, QWidget* parent);

 protected:
  void Confirmed() override;

 private:
  PaneContext context_;
  // The page edits the settings as it opened: its OK merges with the current (see Commit).
  CMirvaleApp::EditHold editing_{context_.app};
};

}  // namespace mirvale
