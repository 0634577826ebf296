#pragma once
// The pieces every detail page is made of: read-only fields, the previous and next buttons, the
// one-page sheet around the page with its Close button, and the stepping and single set request
// the Command and Query pages share.
#include <QDialog>
#include <QString>
#include <functional>

class QFormLayout;
class QLineEdit;
class QPushButton;
class QWidget;

namespace mirvale {

class CMirvaleApp;
struct RestoreRequest;

QLineEdit* ReadOnlyEdit(QWidget* parent, const char* objectName);
// A read-only field added to form as a row captioned label.
QLineEdit* AddReadOnlyRow(QFormLayout& form, QWidget* parent, const char* objectName, const QString& label);
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

// What a detail page steps through: the rows of its owner's list.
class PageRows {
 public:
  virtual ~PageRows() = default;
  virtual int RowCount() const = 0;
  virtual void Select(int row, bool selected) = 0;
  // The row previous/next lands on from row (direction -1 or +1); by default the neighbour.
  virtual int Step(int row, int direction) const { return row + direction; }
  // Whether a row the page lands on is selected in the owner's list.
  virtual bool Selectable(int) const { return true; }
};

// A detail page's sheet: the row shown, previous and next through the owner's rows, and the
// request button.
class DetailPage : public QDialog {
  Q_OBJECT
 public:
  int CurrentRow() const { return row_; }
  virtual void ShowRow() = 0;
  void Previous() { Move(-1); }
  void Next() { Move(+1); }

 protected:
  DetailPage(PageRows& rows, int row, QWidget* parent) : QDialog(parent), rows_(rows), row_(row) {}
  // Adds the button row under form and connects previous, next and request.
  void AddButtons(QFormLayout& form, QWidget* page, const QString& requestText, std::function<void()> request);
  // Clamps the row and enables the buttons; false when there is no row to show.
  bool UpdateButtons() { return buttons_.Update(row_, rows_.RowCount()); }
  // Sends request through the set and restore job; true when it was carried out. A request that
  // was not carried out shows failure; a cancelled one shows nothing.
  bool SendRequest(CMirvaleApp& app, const RestoreRequest& request, const QString& failure);

  PageRows& rows_;
  int row_;

 private:
  void Move(int direction);

  PageButtons buttons_{};
};

}  // namespace mirvale
