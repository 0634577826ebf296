#pragma once
// Add or Modify Query: a new query for the Pool Properties dialog's query list, or a new name
// and description for one listed (its identifier then stays as it is).
#include <QDialog>

class QLineEdit;

namespace mirvale {

class CConfigurationPoolProperties;

class CConfigurationAddQuery : public QDialog {
  Q_OBJECT
 public:
  // row: the query list's row to modify, or -1 for a new query.
  CConfigurationAddQuery(CConfigurationPoolProperties& pool, int row);
  void accept() override;

  QLineEdit* oid;
  QLineEdit* name;
  QLineEdit* description;

 private:
  CConfigurationPoolProperties& pool_;
  int row_;
};

}  // namespace mirvale
