#pragma once
// The pieces every detail page is made of: read-only fields, the previous and next buttons, and
// the one-page sheet around the page with its Close button.
#include <QString>

class QDialog;
class QLineEdit;
class QPushButton;
class QWidget;

namespace mirvale {

QLineEdit* ReadOnlyEdit(QWidget* parent, const char* objectName);
// Previous (pointing left) or next (pointing right).
QPushButton* StepButton(QWidget* parent, bool next);
// Puts page as the only tab, captioned caption, of sheet, with a Close button below.
void WrapInSheet(QDialog& sheet, QWidget* page, const QString& caption);

}  // namespace mirvale
