#include "desktop/shell/entry_list_page.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

#include "desktop/shell/action_texts.h"
#include "desktop/shell/settings_widgets.h"

namespace mirvale {

EntryListPage::EntryListPage(Kind kind, const QString& title, const QString& text, QWidget* parent)
    : QDialog(parent), kind_(kind) {
  setWindowTitle(title);
  const bool managers = kind == Kind::TrapManagers;
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(
      managers ? QStringLiteral("Snmp manager address:") : QStringLiteral("Recipient e-mail address:"), this));
  auto* inputRow = new QHBoxLayout();
  input = new QLineEdit(this);
  if (managers) {
    // A dotted IPv4 address, as the address control takes it; Add waits for all four numbers.
    input->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("^((25[0-5]|2[0-4]\\d|1?\\d?\\d)\\.){0,3}(25[0-5]|2[0-4]\\d|1?\\d?\\d)?$")),
        input));
  }
  addButton = new QPushButton(managers ? QStringLiteral("Add Manager") : QStringLiteral("Add Recipient"), this);
  addButton->setEnabled(false);
  inputRow->addWidget(input, 1);
  inputRow->addWidget(addButton);
  layout->addLayout(inputRow);
  layout->addWidget(
      new QLabel(managers ? QStringLiteral("Current managers") : QStringLiteral("Current recipients"), this));
  list = new QListWidget(this);
  layout->addWidget(list, 1);
  auto* remove = new SettingsLink(managers ? QStringLiteral("Remove manager") : QStringLiteral("Remove recipient"),
                                  this, QColor(0, 70, 213), 13);
  layout->addWidget(remove);
  // The test sheet keeps an Apply button: it sends the test as OK does, without closing.
  const bool test = kind == Kind::TestRecipients;
  auto* buttons = new QDialogButtonBox(
      QDialogButtonBox::Ok | QDialogButtonBox::Cancel | (test ? QDialogButtonBox::Apply : QDialogButtonBox::NoButton),
      this);
  layout->addWidget(buttons);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  if (test) {
    applyButton = buttons->button(QDialogButtonBox::Apply);
    applyButton->setEnabled(false);
    connect(applyButton, &QPushButton::clicked, this, [this] {
      if (!Refused()) {
        Confirmed();
        applyButton->setEnabled(false);
      }
    });
    connect(list->model(), &QAbstractItemModel::rowsInserted, applyButton, [this] { applyButton->setEnabled(true); });
    connect(list->model(), &QAbstractItemModel::rowsRemoved, applyButton, [this] { applyButton->setEnabled(true); });
  }
  connect(input, &QLineEdit::textChanged, this, [this] { addButton->setEnabled(InputComplete()); });
  connect(addButton, &QPushButton::clicked, this, &EntryListPage::AddEntry);
  connect(remove, &SettingsLink::clicked, this, &EntryListPage::RemoveSelected);
  for (const QString& entry : SplitEntries(text)) list->addItem(entry);
}

QStringList EntryListPage::Entries() const {
  QStringList entries;
  for (int row = 0; row < list->count(); ++row) entries << list->item(row)->text();
  return entries;
}

QString EntryListPage::Text() const { return JoinEntries(Entries()); }

bool EntryListPage::InputComplete() const {
  if (kind_ != Kind::TrapManagers) return !input->text().isEmpty();
  static const QRegularExpression fourNumbers(QStringLiteral("^\\d+\\.\\d+\\.\\d+\\.\\d+$"));
  return fourNumbers.match(input->text()).hasMatch();
}

void EntryListPage::AddEntry() {
  const QString entry = input->text();
  if (!InputComplete()) return;
  if (Entries().contains(entry)) {
    ShowRefusal(this, kind_ == Kind::TrapManagers ? QStringLiteral("Manager already exists")
                                                  : QStringLiteral("Recipient already exists"));
  } else {
    list->insertItem(0, entry);
  }
  input->clear();
}

void EntryListPage::RemoveSelected() {
  if (QListWidgetItem* item = list->currentItem()) delete item;
}

void EntryListPage::accept() {
  if (Refused()) return;
  Confirmed();
  QDialog::accept();
}

bool EntryListPage::Refused() {
  if (list->count() == 0) {
    switch (kind_) {
      case Kind::MailRecipients:
        ShowRefusal(this, QStringLiteral("Invalid email recipients, please try again."));
        break;
      case Kind::TrapManagers: ShowRefusal(this, QStringLiteral("Invalid trap managers, please try again.")); break;
      case Kind::TestRecipients:
        ShowRefusal(this, QStringLiteral("No recipients selected, please add recipient."));
        break;
    }
    return true;
  }
  return false;
}

}  // namespace mirvale
