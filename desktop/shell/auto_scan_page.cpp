#include "desktop/shell/auto_scan_page.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <algorithm>

#include "desktop/shell/settings_widgets.h"

namespace mirvale {

CConfigurationToolsOptionsScan::CConfigurationToolsOptionsScan(const QStringList& pools,
                                                               const QStringList& existingPools,
                                                               const AutoScanRow* editing, QWidget* parent)
    : QDialog(parent),
      existingPools_(existingPools),
      editing_(editing != nullptr),
      pool_(new QComboBox(this)),
      frequency_(new QComboBox(this)),
      time_(new QComboBox(this)) {
  setWindowTitle(QStringLiteral("Automatic Scanning"));
  QStringList sorted = pools;
  sorted.sort();
  pool_->addItems(sorted);
  pool_->setCurrentIndex(-1);
  frequency_->addItems(FrequencyTexts());
  time_->addItems(TimeTexts());
  if (editing) {
    pool_->setCurrentIndex(pool_->findText(editing->pool));
    pool_->setEnabled(false);
    frequency_->setCurrentIndex(std::max(0, frequency_->findText(editing->frequency)));
    time_->setCurrentIndex(std::max(0, time_->findText(editing->time)));
  }
  auto* form = new QFormLayout(this);
  form->addRow(QStringLiteral("Select pool:"), pool_);
  form->addRow(QStringLiteral("Select frequency:"), frequency_);
  form->addRow(QStringLiteral("Select time:"), time_);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  form->addRow(buttons);
  // The window manager cuts a title wider than the window: room for it, its icon and buttons.
  setMinimumWidth(std::max(minimumSizeHint().width(), fontMetrics().horizontalAdvance(windowTitle()) + 160));
}

void CConfigurationToolsOptionsScan::accept() {
  const QString pool = pool_->currentText();
  if (pool.isEmpty()) {
    ShowRefusal(this, QStringLiteral("Pool not selected, please try again."));
    return;
  }
  if (!editing_ && existingPools_.contains(pool)) {
    ShowRefusal(this, QStringLiteral("Pool already exists, please try again."));
    return;
  }
  row_ = AutoScanRow{pool, frequency_->currentText(), time_->currentText(), true};
  QDialog::accept();
}

}  // namespace mirvale
