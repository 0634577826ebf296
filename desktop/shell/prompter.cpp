#include "desktop/shell/prompter.h"

namespace mirvale {
namespace {

// The title of every message box is the program's.
class MessageBoxPrompter : public Prompter {
 public:
  QMessageBox::StandardButton Ask(QWidget* parent, QMessageBox::Icon icon, const QString& text,
                                  QMessageBox::StandardButtons buttons) override {
    QMessageBox box(icon, QStringLiteral("Mirvale"), text, buttons, parent);
    return static_cast<QMessageBox::StandardButton>(box.exec());
  }
};

std::unique_ptr<Prompter>& Installed() {
  static std::unique_ptr<Prompter> installed;
  return installed;
}

}  // namespace

Prompter& Prompter::Current() {
  static MessageBoxPrompter builtIn;
  Prompter* installed = Installed().get();
  return installed ? *installed : builtIn;
}

std::unique_ptr<Prompter> Prompter::Install(std::unique_ptr<Prompter> prompter) {
  std::swap(Installed(), prompter);
  return prompter;
}

void ShowInformation(QWidget* parent, const QString& text) {
  Prompter::Current().Ask(parent, QMessageBox::Information, text, QMessageBox::Ok);
}

void ShowWarning(QWidget* parent, const QString& text) {
  Prompter::Current().Ask(parent, QMessageBox::Warning, text, QMessageBox::Ok);
}

bool AskYesNo(QWidget* parent, const QString& text) {
  return Prompter::Current().Ask(parent, QMessageBox::Question, text, QMessageBox::Yes | QMessageBox::No) ==
         QMessageBox::Yes;
}

}  // namespace mirvale
