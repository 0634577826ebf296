#pragma once
// CConfigurationToolsOptionsScan: the "Automatic Scanning" sheet's one page that adds or edits a
// row of the automatic-scan list (pool, frequency, time). Refusals keep the sheet open.
#include <QComboBox>
#include <QDialog>
#include <QStringList>

#include "desktop/shell/auto_scan_schedule.h"

namespace mirvale {

class CConfigurationToolsOptionsScan : public QDialog {
  Q_OBJECT
 public:
  // existingPools: column 0 of every list row; editing: the row being edited, else none.
  CConfigurationToolsOptionsScan(const QStringList& pools, const QStringList& existingPools, const AutoScanRow* editing,
                                 QWidget* parent);

  // The row the page confirmed (ticked), valid after accept().
  AutoScanRow Row() const { return row_; }
  QComboBox* PoolBox() const { return pool_; }
  QComboBox* FrequencyBox() const { return frequency_; }
  QComboBox* TimeBox() const { return time_; }

  void accept() override;

 private:
  QStringList existingPools_;
  bool editing_;
  QComboBox* pool_;
  QComboBox* frequency_;
  QComboBox* time_;
  AutoScanRow row_;
};

}  // namespace mirvale
