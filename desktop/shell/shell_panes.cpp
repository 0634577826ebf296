#include "desktop/shell/shell_panes.h"

#include "desktop/shell/command_ids.h"
#include "desktop/shell/pane_registry.h"
#include "desktop/shell/placeholder_pane.h"

namespace mirvale {

// Each pane: RegisterPane(slot, factory), where the factory builds the pane as a child of parent
// and may keep the context (application object, command path). Panes still to come stand as
// placeholders that say what they will hold.
void RegisterShellPanes(PaneRegistry& registry) {
  registry.RegisterPane(PaneSlot::Home, [](const PaneContext&, QWidget* parent) {
    return new PlaceholderPane(QStringLiteral("Home"),
                               QStringLiteral("The Home pane will summarise the last scan, the scan schedule and "
                                              "the state of the service."),
                               parent);
  });
  registry.DescribePending(PaneSlot::Tools, QStringLiteral("The Tools pane will lead to the Options, Actions and "
                                                           "Export settings and to the About box."));
  registry.DescribePending(PaneSlot::SaveBar, QStringLiteral("The Save and Cancel buttons of the settings panes."));
  registry.DescribePending(PaneSlot::Options, QStringLiteral("The Options pane will set the automatic scans, the "
                                                             "service's start mode and audit logging."));
  registry.DescribePending(PaneSlot::Actions, QStringLiteral("The Actions pane will list the automatic actions and "
                                                             "the e-mail settings."));
  registry.DescribePending(PaneSlot::Export, QStringLiteral("The Export pane will set the text and database "
                                                            "exports."));
  registry.DescribePending(kCommandAbout, QStringLiteral("The About box is not built yet."));
}

}  // namespace mirvale
