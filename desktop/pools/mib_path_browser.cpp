#include "desktop/pools/mib_path_browser.h"

#include <QFileInfo>

namespace mirvale {

MibPathBrowser::MibPathBrowser(QWidget* parent) : QFileDialog(parent, QStringLiteral("Select MIB file or folder:")) {
  setFileMode(QFileDialog::AnyFile);
  setAcceptMode(QFileDialog::AcceptOpen);
  setOption(QFileDialog::DontUseNativeDialog);
  setLabelText(QFileDialog::Accept, QStringLiteral("Open"));
}

QString MibPathBrowser::ChosenPath() const {
  const QStringList chosen = selectedFiles();
  return chosen.isEmpty() ? directory().absolutePath() : chosen.front();
}

void MibPathBrowser::accept() {
  if (QFileInfo(ChosenPath()).isDir()) {
    done(QDialog::Accepted);
    return;
  }
  QFileDialog::accept();
}

}  // namespace mirvale
