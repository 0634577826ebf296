#include "desktop/shell/help_window.h"

#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

#include "desktop/shell/shell_images.h"

namespace mirvale {

HelpWindow::HelpWindow(QWidget* parent) : QWidget(parent, Qt::Window), browser_(new QTextBrowser(this)) {
  setObjectName(QStringLiteral("help"));
  setWindowTitle(QStringLiteral("Mirvale Help"));
  setWindowIcon(ProgramIcon());
  setAttribute(Qt::WA_QuitOnClose, false);  // closing the main window ends the program all the same
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(browser_);
  browser_->setSearchPaths({QStringLiteral(":/help")});
  browser_->setOpenExternalLinks(false);
  resize(640, 520);
}

void HelpWindow::ShowTopic(const QString& page) {
  browser_->setSource(QUrl(QStringLiteral("qrc:/help/") + page));
  show();
  raise();
  activateWindow();
}

}  // namespace mirvale
