#pragma once
// The pieces every detail page is made of: read-only fields, the previous and next buttons, and
// the one-page sheet around the page with its Close button.
#include <QString>

class QDialog;
class QFormLayout;
class QLineEdit;
class QPushButton;
class QWidget;

namespace mirvale {

QLineEdit* ReadOnlyEdit(QWidget* parent, const char* objectName);
// The previous and next buttons and the request button in one row under a page's fields.
struct PageButtons {
  QPushButton* previous;
  QPushButton* next;
  QPushButton* request;
  // Clamps row to the rows there are (a rebuild may have left fewer) and enables the buttons;
  // false when there is no row to show.
  bool Update(int& row, int count) const;
};
PageButtons AddPageButtons(QFormLayout& form, QWidget* page, const QString& requestText);
// The row previous/next lands on: target when it exists, else row.
inline int StepTo(int row, int target, int count) { return target >= 0 && target < count ? target : row; }
// Puts page as the only tab, captioned caption, of sheet, with a Close button below.
void WrapInSheet(QDialog& sheet, QWidget* page, const QString& caption);

}  // namespace mirvale
