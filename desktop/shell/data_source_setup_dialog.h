#pragma once
// The set-up step of the export's data source: what the driver needs to reach the database (a
// server's address and account, or a database file). Cancelling leaves everything as it was.
#include <QDialog>
#include <QLineEdit>

#include "desktop/shell/odbc_data_source.h"

namespace mirvale {

class DataSourceSetupDialog : public QDialog {
  Q_OBJECT
 public:
  DataSourceSetupDialog(DatabaseKind kind, QWidget* parent);

  DataSourceSetup Setup() const;
  void accept() override;

  QLineEdit* server = nullptr;
  QLineEdit* port = nullptr;
  QLineEdit* database = nullptr;
  QLineEdit* user = nullptr;
  QLineEdit* password = nullptr;
  QLineEdit* file = nullptr;

 private:
  DatabaseKind kind_;
};

}  // namespace mirvale
