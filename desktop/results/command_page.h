#pragma once
// The Command page of the result views' "Command Properties" and "Report Properties" sheets: one
// configuration line shown in full, previous and next row of the owner's list, and "Set command
// Parameters", which sends the line through the set and restore job. What the rows hold and what
// follows a set are the owner's: it hands the page a CommandPageSource.
#include <QDialog>
#include <functional>
#include <string>

#include "desktop/results/detail_page_parts.h"

class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace mirvale {

class CMirvaleApp;

struct CommandFields {
  std::string address, name, pool, date, command, parameters;
};

class CommandPageSource {
 public:
  virtual ~CommandPageSource() = default;
  virtual int RowCount() const = 0;
  virtual CommandFields Row(int row) const = 0;
  virtual void Select(int row, bool selected) = 0;
  // The row previous/next lands on from row (direction -1 or +1); by default the neighbour.
  virtual int Step(int row, int direction) const { return row + direction; }
  // Whether a row the page lands on is selected in the owner's list.
  virtual bool Selectable(int) const { return true; }
  // After a successful set: refresh, then the row to show (or the same row).
  virtual int AfterSet(int row, const CommandFields& sent) = 0;
};

class CommandPage : public QDialog {
  Q_OBJECT
 public:
  // title: "Command Properties" or "Report Properties"; failure: the text shown when the request
  // was not carried out.
  CommandPage(CMirvaleApp& app, CommandPageSource& source, int row, const QString& title, QWidget* parent = nullptr);

  int CurrentRow() const { return row_; }
  void ShowRow();
  void Previous();
  void Next();
  // Sends the shown command and parameters; the page's request button.
  void SetParameters();

 private:
  void Move(int direction);

  CMirvaleApp& app_;
  CommandPageSource& source_;
  int row_;
  QLineEdit *address_, *name_, *pool_, *date_, *command_;
  QPlainTextEdit* parameters_;
  PageButtons buttons_;
};

}  // namespace mirvale
