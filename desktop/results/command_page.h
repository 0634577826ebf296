#pragma once
// The Command page of the result views' "Command Properties" and "Report Properties" sheets: one
// configuration line shown in full, previous and next row of the owner's list, and "Set command
// Parameters", which sends the line through the set and restore job. What the rows hold and what
// follows a set are the owner's: it hands the page a CommandPageSource.
#include <string>
#include <vector>

#include "desktop/results/detail_page_parts.h"
#include "desktop/shell/detail_page_openers.h"

class QLineEdit;
class QPlainTextEdit;

namespace mirvale {

class CMirvaleApp;

struct CommandFields {
  std::string address{}, name{}, pool{}, date{}, command{}, parameters{};
};

class CommandPageSource : public PageRows {
 public:
  virtual CommandFields Row(int row) const = 0;
  // After a successful set: refresh, then the row to show (or the same row).
  virtual int AfterSet(int row, const CommandFields& sent) = 0;
};

// Fills fields.name from the stored device at fields.pool and fields.address, when there is one.
void FillDeviceName(CMirvaleApp& app, CommandFields& fields);
// After a set that refilled rows: the last row showing the command and parameters sent; row when none does.
int RowOfSent(const std::vector<std::string>& rows, const CommandFields& sent, int row);

class CommandPage : public DetailPage {
  Q_OBJECT
 public:
  // title: "Command Properties" or "Report Properties"; failure: the text shown when the request
  // was not carried out.
  CommandPage(CMirvaleApp& app, CommandPageSource& source, int row, const QString& title, QWidget* parent = nullptr);

  void ShowRow() override;
  // Sends the shown command and parameters; the page's request button.
  void SetParameters();

 private:
  CMirvaleApp& app_;
  CommandPageSource& source_;
  QLineEdit *address_, *name_, *pool_, *date_, *command_;
  QPlainTextEdit* parameters_;
};

// Runs the "Command Properties" sheet over a configuration view (the Restore Devices dialog's or
// another folder's), on row. Previous and next step over lines too short to send.
void RunCommandProperties(CMirvaleApp& app, const RowsDevice& device, ConfigurationRows& rows, int row,
                          QWidget* parent);

}  // namespace mirvale
