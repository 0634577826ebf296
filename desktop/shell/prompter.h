#pragma once
// Every message box of the desktop program goes through the one prompter, so tests replace it
// and never block in a modal loop: Prompter::Install(std::make_unique<...>()).
#include <QMessageBox>
#include <QString>
#include <memory>

class QWidget;

namespace mirvale {

class Prompter {
 public:
  virtual ~Prompter() = default;

  // Shows text with the icon and buttons; the button pressed (QMessageBox::StandardButton).
  virtual QMessageBox::StandardButton Ask(QWidget* parent, QMessageBox::Icon icon, const QString& text,
                                          QMessageBox::StandardButtons buttons) = 0;

  // The prompter in use (message boxes until another is installed).
  static Prompter& Current();
  // Replaces the prompter in use; the previous one is returned (null for the built-in one).
  static std::unique_ptr<Prompter> Install(std::unique_ptr<Prompter> prompter);
};

// Shorthands over Prompter::Current().
void ShowInformation(QWidget* parent, const QString& text);
void ShowWarning(QWidget* parent, const QString& text);
bool AskYesNo(QWidget* parent, const QString& text);

}  // namespace mirvale
