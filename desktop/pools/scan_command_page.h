#pragma once
// Command Properties: one configuration line of a scan view with its command path (the
// enclosing lines) and its parameters (the line itself), previous and next line, and "Set
// command Parameters", which sends the line back to the device as a set request.
#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace mirvale {

class CColorListCtrl;
class CConfigurationScanResults;
class CMirvaleApp;

class CConfigurationScanCommand : public QDialog {
  Q_OBJECT
 public:
  CConfigurationScanCommand(CMirvaleApp& app, CColorListCtrl& view, int row, const QString& pool,
                            const QString& address, CConfigurationScanResults& results);

  int Row() const { return row_; }
  void ShowRow(int row);
  void Previous();
  void Next();
  void SetCommand();

  QLineEdit* address;
  QLineEdit* name;
  QLineEdit* pool;
  QLineEdit* date;
  QLineEdit* command;
  QLineEdit* parameters;
  QPushButton* previous;
  QPushButton* next;
  QPushButton* set;

 private:
  void Step(int direction);

  CMirvaleApp& app_;
  CColorListCtrl& view_;
  CConfigurationScanResults& results_;
  int row_;
};

// Opens the page window-modal over the results dialog; it deletes itself when closed.
CConfigurationScanCommand* OpenCommandPage(CMirvaleApp& app, CColorListCtrl& view, int row, const QString& pool,
                                           const QString& address, CConfigurationScanResults& results);

}  // namespace mirvale
