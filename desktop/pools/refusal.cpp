#include "desktop/pools/refusal.h"

#include "desktop/shell/prompter.h"

namespace mirvale {

void ShowRefusal(QWidget* parent, const QString& text) {
  Prompter::Current().Ask(parent, QMessageBox::NoIcon, text, QMessageBox::Ok);
}

}  // namespace mirvale
