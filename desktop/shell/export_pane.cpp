#include "desktop/shell/export_pane.h"

#include <QFileDialog>
#include <QVBoxLayout>

#include "desktop/shell/data_source_setup_dialog.h"
#include "desktop/shell/mirvale_app.h"
#include "desktop/shell/odbc_data_source.h"
#include "desktop/shell/prompter.h"
#include "desktop/shell/settings_widgets.h"

namespace mirvale {

CConfigurationToolsExport::CConfigurationToolsExport(const PaneContext& context, QWidget* parent)
    : QWidget(parent), context_(context) {
  MakeWhite(this);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(20, 16, 30, 16);
  layout->setSpacing(6);
  layout->addWidget(MakeTitle(QStringLiteral("Export"), this));

  layout->addWidget(MakeSectionHeader(QStringLiteral("Export to text"), this));
  textCheck = new QCheckBox(QStringLiteral("Automatically export configuration to text file"), this);
  textRadio = new QRadioButton(QStringLiteral("Export as Text file (Tab delimited)"), this);
  csvRadio = new QRadioButton(QStringLiteral("Export as CSV file (Comma delimited)"), this);
  folderLabel = new QLabel(QStringLiteral("Folder location:"), this);
  folderEdit = new QLineEdit(this);
  folderButton = new QPushButton(QStringLiteral("Browse..."), this);
  layout->addWidget(textCheck);
  layout->addWidget(textRadio);
  layout->addWidget(csvRadio);
  auto* folderRow = new QHBoxLayout();
  folderRow->addWidget(folderLabel);
  folderRow->addWidget(folderEdit, 1);
  folderRow->addWidget(folderButton);
  layout->addLayout(folderRow);

  layout->addSpacing(10);
  layout->addWidget(MakeSectionHeader(QStringLiteral("Export to database"), this));
  databaseCheck = new QCheckBox(QStringLiteral("Automatically export configuration to database"), this);
  serverRadio = new QRadioButton(QStringLiteral("Export to SQL database server"), this);
  fileRadio = new QRadioButton(QStringLiteral("Export to database file (.mdb)"), this);
  databaseLabel = new QLabel(QStringLiteral("Database location:"), this);
  databaseEdit = new QLineEdit(this);
  databaseEdit->setObjectName(QStringLiteral("exportDatabase"));
  databaseButton = new QPushButton(QStringLiteral("Browse..."), this);
  layout->addWidget(databaseCheck);
  layout->addWidget(serverRadio);
  layout->addWidget(fileRadio);
  auto* databaseRow = new QHBoxLayout();
  databaseRow->addWidget(databaseLabel);
  databaseRow->addWidget(databaseEdit, 1);
  databaseRow->addWidget(databaseButton);
  layout->addLayout(databaseRow);
  layout->addStretch(1);
  PairRadios(textRadio, csvRadio, this);
  PairRadios(serverRadio, fileRadio, this);
  // Both labels as wide, so the two edits line up.
  folderLabel->setMinimumWidth(databaseLabel->sizeHint().width());

  connect(textCheck, &QCheckBox::clicked, this, [this] { TextGroupRule(); });
  connect(databaseCheck, &QCheckBox::clicked, this, [this] { DatabaseGroupRule(); });
  for (QRadioButton* radio : {textRadio, csvRadio})
    connect(radio, &QRadioButton::clicked, this, [this] {
      folderEdit->clear();
      Changed();
    });
  for (QRadioButton* radio : {serverRadio, fileRadio})
    connect(radio, &QRadioButton::clicked, this, [this] {
      databaseEdit->clear();
      Changed();
    });
  for (QLineEdit* edit : {folderEdit, databaseEdit}) connect(edit, &QLineEdit::textEdited, this, [this] { Changed(); });
  connect(folderButton, &QPushButton::clicked, this, [this] {
    QString folder = QFileDialog::getExistingDirectory(this, QStringLiteral("Select folder location:"));
    if (folder.isEmpty()) return;
    Changed();
    folderEdit->setText(folder);
  });
  connect(databaseButton, &QPushButton::clicked, this, &CConfigurationToolsExport::SetUpDataSource);
  TextGroupRule();
  DatabaseGroupRule();
}

void CConfigurationToolsExport::Changed() {
  if (!reloading_ && isVisible()) EnableSave(context_);
}

namespace {
// A group's rule: its check enables the group; on, the first radio is chosen; off, both radios
// are cleared and the location emptied.
void GroupRule(bool on, QRadioButton* first, QRadioButton* second, QLabel* label, QLineEdit* edit,
               QPushButton* button) {
  for (QWidget* control : std::initializer_list<QWidget*>{first, second, label, edit, button}) control->setEnabled(on);
  if (on) {
    first->setChecked(true);
  } else {
    SetRadios(first, false, second, false);
    edit->clear();
  }
}
}  // namespace

void CConfigurationToolsExport::TextGroupRule() {
  GroupRule(textCheck->isChecked(), textRadio, csvRadio, folderLabel, folderEdit, folderButton);
  Changed();
}

void CConfigurationToolsExport::DatabaseGroupRule() {
  GroupRule(databaseCheck->isChecked(), serverRadio, fileRadio, databaseLabel, databaseEdit, databaseButton);
  Changed();
}

void CConfigurationToolsExport::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  Reload();
}

void CConfigurationToolsExport::Reload() {
  reloading_ = true;
  textCheck->setChecked(false);
  databaseCheck->setChecked(false);
  TextGroupRule();
  DatabaseGroupRule();
  const ExportForm form = ExportFormOf(context_.app.Document());
  if (form.text || form.csv) {
    textCheck->setChecked(true);
    TextGroupRule();
    folderEdit->setText(form.folder);
    if (form.text) textRadio->setChecked(true);
    if (form.csv) csvRadio->setChecked(true);
  }
  if (form.server || form.file) {
    databaseCheck->setChecked(true);
    DatabaseGroupRule();
    databaseEdit->setText(form.database);
    if (form.server) serverRadio->setChecked(true);
    if (form.file) fileRadio->setChecked(true);
  }
  reloading_ = false;
}

ExportForm CConfigurationToolsExport::Form() const {
  return ExportForm{textRadio->isChecked(),   csvRadio->isChecked(),  folderEdit->text(),
                    serverRadio->isChecked(), fileRadio->isChecked(), databaseEdit->text()};
}

void CConfigurationToolsExport::CollectInto(CMirvaleDoc& doc) { CollectExport(Form(), doc); }

void CConfigurationToolsExport::SetUpDataSource() {
  const DatabaseKind kind = fileRadio->isChecked() ? DatabaseKind::File : DatabaseKind::Server;
  DataSourceSetupDialog setup(kind, this);
  if (RunDialog(setup) != QDialog::Accepted) return;
  WaitCursorScope wait;
  const DataSourceFileSnapshot before = DataSourceFileSnapshot::Take();
  if (!before.Usable()) {
    ShowInformation(this, QStringLiteral("The data source file ") + QString::fromStdString(before.Path()) +
                              QStringLiteral(" is not a readable file of yours, so it cannot be kept private; "
                                             "the data source was not set up."));
    return;
  }
  if (!WriteDataSource(kind, setup.Setup())) return before.Restore();
  std::optional<std::string> connection = ConnectDataSource();
  if (!connection) {
    before.Restore();
    ShowInformation(this, QStringLiteral("Failed open database, please check your settings and try again."));
    return;
  }
  std::string text = *connection;
  if (kind == DatabaseKind::Server && !NamesServer(text)) {
    if (std::optional<std::string> server = DataSourceServer())
      text = AppendServer(text, *server);
    else
      ShowInformation(this, QStringLiteral("Failed verify database, please check your settings and try again."));
  }
  if (kind == DatabaseKind::File) text = WithFilePath(text, setup.Setup().file);
  EnableSave(context_);
  databaseEdit->setText(QString::fromStdString(text));
}

}  // namespace mirvale
