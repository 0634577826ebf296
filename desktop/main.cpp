// The desktop program Mirvale. The one file that knows all three folders: each registers its
// panes and dialogs with the main view here.
#include <QApplication>

#include "desktop/pools/pool_panes.h"
#include "desktop/results/result_panes.h"
#include "desktop/shell/desktop_session.h"
#include "desktop/shell/pane_registry.h"
#include "desktop/shell/shell_images.h"
#include "desktop/shell/shell_panes.h"

int main(int argc, char** argv) {
  QApplication qt(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Mirvale"));
  QApplication::setWindowIcon(mirvale::ProgramIcon());
  mirvale::PaneRegistry panes;
  mirvale::RegisterShellPanes(panes);
  mirvale::RegisterPoolPanes(panes);
  mirvale::RegisterResultPanes(panes);
  return mirvale::RunDesktop(qt, panes);
}
