#include "desktop/pools/add_query_dialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QTreeWidget>

#include "desktop/pools/pool_properties_dialog.h"
#include "desktop/pools/refusal.h"
#include "desktop/pools/small_dialog_rules.h"

namespace mirvale {

CConfigurationAddQuery::CConfigurationAddQuery(CConfigurationPoolProperties& pool, int row)
    : QDialog(&pool), pool_(pool), row_(row) {
  setWindowTitle(QStringLiteral("Add or Modify Query"));
  auto* form = new QFormLayout(this);
  oid = new QLineEdit(QStringLiteral("1.3.6.1"), this);
  name = new QLineEdit(this);
  description = new QLineEdit(this);
  form->addRow(QStringLiteral("Query Oid (without instance):"), oid);
  form->addRow(QStringLiteral("Query Name (without dots):"), name);
  form->addRow(QStringLiteral("Query Description:"), description);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  form->addRow(buttons);
  setMinimumWidth(460);
  if (QTreeWidgetItem* listed = pool.QueryList().topLevelItem(row)) {
    if (const CQueryItem* query = pool.Image().queries.Find(listed->text(0).toStdString())) {
      oid->setText(QString::fromStdString(query->m_strOid));
      oid->setReadOnly(true);
      name->setText(QString::fromStdString(query->m_strName));
      description->setText(QString::fromStdString(query->m_strDescription));
    }
  }
  connect(name, &QLineEdit::textEdited, this, [this](const QString& text) {
    if (text.contains(QLatin1Char('.'))) {
      name->setText(QString::fromStdString(QueryNameRule(text.toStdString())));
      name->setCursorPosition(name->text().size());
    }
  });
}

void CConfigurationAddQuery::accept() {
  const std::string id = oid->text().toStdString();
  const std::string label = name->text().toStdString();
  QTreeWidget& list = pool_.QueryList();
  std::vector<QueryRow> rows;
  for (int i = 0; i < list.topLevelItemCount(); ++i)
    rows.push_back({list.topLevelItem(i)->text(0).toStdString(), list.topLevelItem(i)->text(1).toStdString()});
  if (auto refusal = RefuseQuery(id, label, rows, row_)) return ShowRefusal(this, *refusal);
  QTreeWidgetItem* modified = list.topLevelItem(row_);
  CQueryItem* query = modified ? pool_.Image().queries.Find(modified->text(0).toStdString()) : nullptr;
  if (query) {
    query->m_strName = label;
    query->m_strDescription = description->text().toStdString();
    modified->setText(1, name->text());
    list.clearSelection();
    modified->setSelected(true);
    list.setCurrentItem(modified);
  } else {
    pool_.AddQuery(CQueryItem{id, label, description->text().toStdString()});
  }
  QDialog::accept();
}

}  // namespace mirvale
