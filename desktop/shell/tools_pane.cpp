#include "desktop/shell/tools_pane.h"

#include <QVBoxLayout>

#include "desktop/shell/command_ids.h"
#include "desktop/shell/settings_widgets.h"

namespace mirvale {

CConfigurationTools::CConfigurationTools(const PaneContext& context, QWidget* parent) : QWidget(parent) {
  MakeWhite(this);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(20, 16, 40, 16);
  layout->setSpacing(4);
  layout->addWidget(MakeTitle(QStringLiteral("Tools and Settings"), this));
  auto addLink = [&](const char* text, const char* description, int command, const char* name) {
    auto* link = new SettingsLink(QString::fromLatin1(text), this);
    link->setObjectName(QString::fromLatin1(name));
    connect(link, &SettingsLink::clicked, this, [dispatch = context.dispatchCommand, command] { dispatch(command); });
    layout->addSpacing(8);
    layout->addWidget(link);
    auto* grey = MakeGreyText(QString::fromLatin1(description), this);
    grey->setContentsMargins(16, 0, 0, 0);
    layout->addWidget(grey);
  };
  layout->addSpacing(10);
  layout->addWidget(MakeSectionHeader(QStringLiteral("Settings"), this, QColor(110, 110, 110)));
  addLink("Options", "Choose how you want Mirvale to run", kCommandOptions, "optionsLink");
  layout->addSpacing(10);
  layout->addWidget(MakeSectionHeader(QStringLiteral("Tools"), this, QColor(110, 110, 110)));
  addLink("Actions", "Set or remove actions that Mirvale will execute on specific events", kCommandActions,
          "actionsLink");
  addLink("Export", "Enable or disable automatic Mirvale export capabilities", kCommandExport, "exportLink");
  layout->addStretch(1);
}

}  // namespace mirvale
