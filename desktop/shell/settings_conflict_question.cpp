#include "desktop/shell/settings_conflict_question.h"

#include <QStringList>

#include "desktop/shell/prompter.h"

namespace mirvale {

bool AskKeepMineOnTop(QWidget* parent, const std::vector<std::string>& conflicts) {
  QStringList named;
  for (const std::string& what : conflicts) named << QString::fromStdString(what);
  const QString text =
      QStringLiteral("Another member changed the settings since you opened them, also where you made changes: ") +
      named.join(QStringLiteral(", ")) +
      QStringLiteral(".\n\nYes: keep your changes on top of the current settings (theirs are replaced where both "
                     "changed).\nNo: drop your changes and show the current settings.");
  return Prompter::Current().Ask(parent, QMessageBox::Warning, text, QMessageBox::Yes | QMessageBox::No) ==
         QMessageBox::Yes;
}

}  // namespace mirvale
