#pragma once
// CConfigurationTools: the pane behind the Tools button, three links to the settings panes.
#include <QWidget>

#include "desktop/shell/pane_registry.h"

namespace mirvale {

class CConfigurationTools : public QWidget {
  Q_OBJECT
 public:
  CConfigurationTools(const PaneContext& context, QWidget* parent);
};

}  // namespace mirvale
