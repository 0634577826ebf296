#include "desktop/shell/options_pane.h"

#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QVBoxLayout>

#include "desktop/shell/auto_scan_page.h"
#include "desktop/shell/await_without_freezing.h"
#include "desktop/shell/mirvale_app.h"
#include "desktop/shell/prompter.h"
#include "desktop/shell/settings_widgets.h"
#include "platform/service_control.h"

namespace mirvale {

CConfigurationToolsOptions::CConfigurationToolsOptions(const PaneContext& context, QWidget* parent)
    : QWidget(parent), context_(context) {
  MakeWhite(this);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(20, 16, 30, 16);
  layout->setSpacing(6);
  layout->addWidget(MakeTitle(QStringLiteral("Options"), this));

  layout->addWidget(MakeSectionHeader(QStringLiteral("Automatic startup"), this));
  automaticRadio = new QRadioButton(QStringLiteral("Start Mirvale service automatically (recommended)."), this);
  manualRadio = new QRadioButton(QStringLiteral("Start Mirvale service manually."), this);
  PairRadios(automaticRadio, manualRadio, this);
  layout->addWidget(automaticRadio);
  layout->addWidget(manualRadio);

  layout->addWidget(MakeSectionHeader(QStringLiteral("Automatic scanning"), this));
  autoScanCheck = new QCheckBox(QStringLiteral("Automatically scan these pools:"), this);
  layout->addWidget(autoScanCheck);
  auto* listRow = new QHBoxLayout();
  scanList = new QTreeWidget(this);
  scanList->setObjectName(QStringLiteral("autoScanList"));
  scanList->setRootIsDecorated(false);
  scanList->setHeaderLabels(
      {QStringLiteral("Pool Name"), QStringLiteral("Scan Frequency"), QStringLiteral("Approximate Time")});
  scanList->header()->setSectionResizeMode(QHeaderView::Stretch);
  scanList->setSortingEnabled(true);
  scanList->sortByColumn(0, Qt::AscendingOrder);
  scanList->setMinimumHeight(110);
  listRow->addWidget(scanList, 1);
  auto* buttons = new QVBoxLayout();
  addButton = new QPushButton(QStringLiteral("Add..."), this);
  editButton = new QPushButton(QStringLiteral("Edit..."), this);
  removeButton = new QPushButton(QStringLiteral("Remove"), this);
  for (QPushButton* button : {addButton, editButton, removeButton}) {
    button->setEnabled(false);
    buttons->addWidget(button);
  }
  buttons->addStretch(1);
  listRow->addLayout(buttons);
  layout->addLayout(listRow);

  layout->addWidget(MakeSectionHeader(QStringLiteral("Automatic logging"), this));
  scanLogCheck = new QCheckBox(QStringLiteral("Enable scan logging."), this);
  changesLogCheck = new QCheckBox(QStringLiteral("Enable changes logging."), this);
  textRadio = new QRadioButton(QStringLiteral("Save as Text file (Tab delimited)"), this);
  csvRadio = new QRadioButton(QStringLiteral("Save as CSV file (Comma delimited)"), this);
  PairRadios(textRadio, csvRadio, this);
  auto* grid = new QGridLayout();
  grid->addWidget(scanLogCheck, 0, 0, 1, 3);
  grid->addWidget(changesLogCheck, 1, 0, 1, 3);
  grid->addWidget(textRadio, 2, 0, 1, 3);
  grid->addWidget(csvRadio, 3, 0, 1, 3);
  fileLabel = new QLabel(QStringLiteral("File location:"), this);
  fileEdit = new QLineEdit(this);
  browseButton = new QPushButton(QStringLiteral("Browse..."), this);
  grid->addWidget(fileLabel, 4, 0);
  grid->addWidget(fileEdit, 4, 1);
  grid->addWidget(browseButton, 4, 2);
  removalCheck = new QCheckBox(QStringLiteral("Enable automatic removal of log records older than:"), this);
  keepSpin = new QSpinBox(this);
  keepSpin->setRange(1, 999);
  unitCombo = new QComboBox(this);
  unitCombo->addItems({QStringLiteral("Minutes"), QStringLiteral("Hours"), QStringLiteral("Days")});
  auto* keepRow = new QHBoxLayout();
  keepRow->addWidget(removalCheck);
  keepRow->addWidget(keepSpin);
  keepRow->addWidget(unitCombo);
  keepRow->addStretch(1);
  grid->addLayout(keepRow, 5, 0, 1, 3);
  layout->addLayout(grid);
  layout->addStretch(1);
  SetLogControlsEnabled(false);
  ApplyRemovalRule();

  connect(automaticRadio, &QRadioButton::clicked, this, [this] {
    if (!m_bServiceAutoStart) Changed();
  });
  connect(manualRadio, &QRadioButton::clicked, this, [this] {
    if (m_bServiceAutoStart) Changed();
  });
  connect(autoScanCheck, &QCheckBox::clicked, this, [this](bool ticked) {
    addButton->setEnabled(ticked);
    if (!ticked) scanList->clear();
    Changed();
  });
  connect(scanList, &QTreeWidget::itemSelectionChanged, this, [this] {
    bool selected = !scanList->selectedItems().isEmpty();
    editButton->setEnabled(selected);
    removeButton->setEnabled(selected);
  });
  connect(scanList, &QTreeWidget::itemDoubleClicked, this, [this] { Edit(); });
  connect(addButton, &QPushButton::clicked, this, &CConfigurationToolsOptions::Add);
  connect(editButton, &QPushButton::clicked, this, &CConfigurationToolsOptions::Edit);
  connect(removeButton, &QPushButton::clicked, this, &CConfigurationToolsOptions::Remove);
  auto logClicked = [this](bool ticked) {
    if (ticked && !textRadio->isEnabled()) {
      SetLogControlsEnabled(true);
      textRadio->setChecked(true);
    } else if (ticked) {
      SetLogControlsEnabled(true);
    }
    if (!scanLogCheck->isChecked() && !changesLogCheck->isChecked()) {
      SetLogControlsEnabled(false);
      removalCheck->setChecked(false);
      fileEdit->clear();
      ApplyRemovalRule();
    }
    Changed();
  };
  connect(scanLogCheck, &QCheckBox::clicked, this, logClicked);
  connect(changesLogCheck, &QCheckBox::clicked, this, logClicked);
  connect(removalCheck, &QCheckBox::clicked, this, [this](bool ticked) {
    ApplyRemovalRule();
    if (ticked) {
      unitCombo->setCurrentIndex(2);
      keepSpin->setValue(1);
    }
    Changed();
  });
  connect(browseButton, &QPushButton::clicked, this, [this] {
    QString path = QFileDialog::getSaveFileName(this, QString(), QString::fromStdString(context_.app.ProgramFolder()),
                                                QStringLiteral("Log Files (*.log)"));
    if (path.isEmpty()) return;
    if (!path.endsWith(QStringLiteral(".log"))) path += QStringLiteral(".log");
    fileEdit->setText(path);
    Changed();
  });
  for (QLineEdit* edit : {fileEdit}) connect(edit, &QLineEdit::textEdited, this, [this] { Changed(); });
  connect(keepSpin, &QSpinBox::valueChanged, this, [this] { Changed(); });
  connect(unitCombo, &QComboBox::activated, this, [this] { Changed(); });
}

void CConfigurationToolsOptions::Changed() {
  if (!reloading_ && isVisible()) EnableSave(context_);
}

void CConfigurationToolsOptions::SetLogControlsEnabled(bool enabled) {
  for (QWidget* control :
       std::initializer_list<QWidget*>{textRadio, csvRadio, fileLabel, fileEdit, browseButton, removalCheck})
    control->setEnabled(enabled);
}

void CConfigurationToolsOptions::ApplyRemovalRule() {
  const bool on = removalCheck->isChecked();
  keepSpin->setEnabled(on);
  unitCombo->setEnabled(on);
  // Off, the age box is empty: a value below the range that alone reads blank. On, the range is
  // 1 to 999 and every value shows (1 too).
  keepSpin->setSpecialValueText(on ? QString() : QStringLiteral(" "));
  keepSpin->setMinimum(on ? 1 : 0);
  if (!on) {
    keepSpin->setValue(0);
    unitCombo->setCurrentIndex(-1);
  }
}

void CConfigurationToolsOptions::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  Reload();
}

void CConfigurationToolsOptions::Reload() {
  reloading_ = true;
  ReloadStartMode();
  const OptionsForm form = OptionsFormOf(context_.app.Document());
  scanList->clear();
  autoScanCheck->setChecked(form.autoScan);
  addButton->setEnabled(form.autoScan);
  editButton->setEnabled(false);
  removeButton->setEnabled(false);
  for (const AutoScanRow& row : form.rows) AddRow(row);

  removalCheck->setChecked(false);
  scanLogCheck->setChecked(form.scanLog);
  changesLogCheck->setChecked(form.changesLog);
  const bool logging = form.scanLog || form.changesLog;
  SetLogControlsEnabled(logging);
  SetRadios(textRadio, form.logText, csvRadio, form.logCsv);
  fileEdit->setText(form.logFile);
  removalCheck->setChecked(form.removal);
  ApplyRemovalRule();
  if (form.removal) {
    keepSpin->setValue(form.keep);
    unitCombo->setCurrentIndex(form.keepUnit);
  }
  reloading_ = false;
}

void CConfigurationToolsOptions::ReloadStartMode() {
  // A service that is not installed leaves the radios and the remembered mode as they were.
  // systemctl may wait for a polkit authentication: the window paints on meanwhile.
  if (auto startType =
          AwaitWithoutFreezing([] { return platform::QueryServiceStartType(platform::kMirvaleServiceName); })) {
    m_bServiceAutoStart = *startType == platform::StartType::Automatic;
    (m_bServiceAutoStart ? automaticRadio : manualRadio)->setChecked(true);
  }
}

void CConfigurationToolsOptions::AddRow(const AutoScanRow& row) {
  auto* item = new QTreeWidgetItem({row.pool, row.frequency, row.time});
  item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
  item->setCheckState(0, row.enabled ? Qt::Checked : Qt::Unchecked);
  scanList->addTopLevelItem(item);
}

OptionsForm CConfigurationToolsOptions::Form() const {
  OptionsForm form;
  form.startAutomatically = automaticRadio->isChecked();
  form.startManually = manualRadio->isChecked();
  form.autoScan = autoScanCheck->isChecked();
  for (int i = 0; i < scanList->topLevelItemCount(); ++i) {
    const QTreeWidgetItem* item = scanList->topLevelItem(i);
    form.rows.push_back(AutoScanRow{item->text(0), item->text(1), item->text(2), item->checkState(0) == Qt::Checked});
  }
  form.scanLog = scanLogCheck->isChecked();
  form.changesLog = changesLogCheck->isChecked();
  form.logText = textRadio->isChecked();
  form.logCsv = csvRadio->isChecked();
  form.logFile = fileEdit->text();
  form.removal = removalCheck->isChecked();
  form.keep = keepSpin->value();
  form.keepUnit = unitCombo->currentIndex();
  return form;
}

void CConfigurationToolsOptions::BeforeCommit() {
  CMirvaleDoc scratch;
  const StartModeChange change = CollectOptions(Form(), m_bServiceAutoStart, scratch);
  if (change == StartModeChange::None) return;
  const platform::StartType type =
      change == StartModeChange::Automatic ? platform::StartType::Automatic : platform::StartType::OnDemand;
  auto changed =
      AwaitWithoutFreezing([type] { return platform::ChangeServiceStartType(platform::kMirvaleServiceName, type); });
  // The service manager's refusal is shown in its own words; the other settings are still saved,
  // and the radios show the mode the service manager kept, not the refused one.
  if (!changed) {
    if (!changed.message.empty()) ShowWarning(this, QString::fromStdString(changed.message));
    ReloadStartMode();
  }
}

void CConfigurationToolsOptions::CollectInto(CMirvaleDoc& doc) { CollectOptions(Form(), m_bServiceAutoStart, doc); }

std::optional<AutoScanRow> CConfigurationToolsOptions::RunSheet(const AutoScanRow* editing) {
  QStringList pools, existing;
  for (const auto& entry : context_.app.Document().m_mapPools) pools << QString::fromStdString(entry.first);
  for (int i = 0; i < scanList->topLevelItemCount(); ++i) existing << scanList->topLevelItem(i)->text(0);
  CConfigurationToolsOptionsScan sheet(pools, existing, editing, this);
  if (RunDialog(sheet) != QDialog::Accepted) return std::nullopt;
  return sheet.Row();
}

void CConfigurationToolsOptions::Add() {
  if (auto row = RunSheet(nullptr)) {
    AddRow(*row);
    Changed();
  }
}

void CConfigurationToolsOptions::Edit() {
  QList<QTreeWidgetItem*> selected = scanList->selectedItems();
  if (selected.isEmpty()) return;
  QTreeWidgetItem* item = selected.front();
  AutoScanRow current{item->text(0), item->text(1), item->text(2), item->checkState(0) == Qt::Checked};
  if (auto row = RunSheet(&current)) {
    item->setText(1, row->frequency);
    item->setText(2, row->time);
    item->setCheckState(0, Qt::Checked);
    Changed();
  }
}

void CConfigurationToolsOptions::Remove() {
  QList<QTreeWidgetItem*> selected = scanList->selectedItems();
  if (selected.isEmpty()) return;
  delete selected.front();
  Changed();
}

}  // namespace mirvale
