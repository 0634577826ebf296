#include "desktop/results/query_page.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QPlainTextEdit>

#include "desktop/results/detail_page_parts.h"
#include "desktop/results/result_logic.h"
#include "desktop/shell/mirvale_app.h"
#include "desktop/shell/prompter.h"
#include "desktop/results/set_restore_job.h"

namespace mirvale {

void FillResultFields(QueryFields& fields, const CDbQuery& result, const CPoolItem* pool) {
  fields.oid = result.m_strKey;
  fields.prevValue = result.m_strPrevValue;
  fields.prevDate = FormatStoredTime(result.m_strPrevTime);
  if (pool)
    if (const CQueryItem* query = pool->m_pQueries.Find(result.m_strQueryOid))
      fields.description = query->m_strDescription;
}

QueryFields StoredValueFields(CMirvaleApp& app, const RowsDevice& device, const StoredValueRows::Row& shown) {
  QueryFields fields{
      .address = device.address, .pool = device.pool, .query = shown.query, .value = shown.value, .date = shown.date};
  CDbItem stored;
  if (!app.Store().GetDbItem(DeviceKey(device.pool, device.address), stored)) return fields;
  fields.name = stored.m_strName;
  if (const CDbQuery* result = stored.m_pQueries.Find(shown.key))
    FillResultFields(fields, *result, app.Document().m_mapPools.Find(device.pool));
  return fields;
}

const CDbQuery* StoredAsSent(CMirvaleApp& app, const QueryFields& sent, CDbItem& device) {
  if (!app.Store().GetDbItem(DeviceKey(sent.pool, sent.address), device)) return nullptr;
  const CDbQuery* result = device.m_pQueries.Find(sent.oid);
  return result && result->m_strValue == sent.prevValue ? result : nullptr;
}

QueryPage::QueryPage(CMirvaleApp& app, QueryPageSource& source, int row, const QString& title, QWidget* parent)
    : DetailPage(source, row, parent), app_(app), source_(source) {
  setObjectName(QStringLiteral("QueryPage"));
  setWindowTitle(title);
  auto* page = new QWidget;
  auto* form = new QFormLayout(page);
  address_ = AddReadOnlyRow(*form, page, "Address", QStringLiteral("Address:"));
  name_ = AddReadOnlyRow(*form, page, "Name", QStringLiteral("Name:"));
  pool_ = AddReadOnlyRow(*form, page, "Pool", QStringLiteral("Pool:"));
  query_ = AddReadOnlyRow(*form, page, "Query", QStringLiteral("Query:"));
  oid_ = AddReadOnlyRow(*form, page, "Oid", QStringLiteral("Oid:"));
  value_ = AddReadOnlyRow(*form, page, "Value", QStringLiteral("Value:"));
  date_ = AddReadOnlyRow(*form, page, "Date", QStringLiteral("Date:"));
  description_ = new QPlainTextEdit(page);
  description_->setObjectName(QStringLiteral("Description"));
  description_->setReadOnly(true);
  description_->setMaximumHeight(70);
  form->addRow(QStringLiteral("Description:"), description_);
  auto* previousBox = new QGroupBox(QStringLiteral("Previous:"), page);
  auto* previousForm = new QFormLayout(previousBox);
  prevDate_ = AddReadOnlyRow(*previousForm, previousBox, "PrevDate", QStringLiteral("Date:"));
  prevValue_ = new QLineEdit(previousBox);
  prevValue_->setObjectName(QStringLiteral("PrevValue"));
  previousForm->addRow(QStringLiteral("Value:"), prevValue_);
  form->addRow(previousBox);
  AddButtons(*form, page, QStringLiteral("Set/Restore Value"), [this] { SetValue(); });
  WrapInSheet(*this, page, QStringLiteral("Query"));
  ShowRow();
}

void QueryPage::ShowRow() {
  if (!UpdateButtons()) return;
  QueryFields fields = source_.Row(row_);
  address_->setText(QString::fromStdString(fields.address));
  name_->setText(QString::fromStdString(fields.name));
  pool_->setText(QString::fromStdString(fields.pool));
  query_->setText(QString::fromStdString(fields.query));
  oid_->setText(QString::fromStdString(fields.oid));
  value_->setText(QString::fromStdString(fields.value));
  date_->setText(QString::fromStdString(fields.date));
  description_->setPlainText(QString::fromStdString(fields.description));
  prevDate_->setText(QString::fromStdString(fields.prevDate));
  prevValue_->setText(QString::fromStdString(fields.prevValue));
}

void QueryPage::SetValue() {
  if (row_ < 0) return;
  QueryFields sent = source_.Row(row_);
  sent.prevValue = prevValue_->text().toStdString();
  // A result the database no longer knows has no identifier: nothing could be set.
  if (sent.oid.empty()) {
    ShowInformation(this, QStringLiteral("Restore failed, please check device permissions."));
    return;
  }
  RestoreRequest request{sent.address + "/" + sent.oid, CRestoreItem{sent.pool, sent.address, sent.name, sent.query,
                                                                     sent.oid, sent.prevValue, "", app_.UserName()}};
  if (!SendRequest(app_, request, QStringLiteral("Restore failed, please check device permissions."))) return;
  row_ = source_.AfterSet(row_, sent);
  ShowRow();
}

namespace {

// The page over a list of one device's stored values; each row names its value's key.
class StoredValuesSource : public QueryPageSource {
 public:
  StoredValuesSource(CMirvaleApp& app, const RowsDevice& device, StoredValueRows& rows)
      : app_(app), device_(device), rows_(rows) {}
  int RowCount() const override { return rows_.RowCount(); }
  QueryFields Row(int row) const override { return StoredValueFields(app_, device_, rows_.At(row)); }
  void Select(int row, bool selected) override { rows_.Select(row, selected); }
  int AfterSet(int row, const QueryFields& sent) override {
    CDbItem device;
    if (const CDbQuery* result = StoredAsSent(app_, sent, device)) rows_.Refresh(row, *result);
    return row;
  }

 private:
  CMirvaleApp& app_;
  const RowsDevice& device_;
  StoredValueRows& rows_;
};

}  // namespace

void RunQueryProperties(CMirvaleApp& app, const RowsDevice& device, StoredValueRows& rows, int row, QWidget* parent) {
  StoredValuesSource source(app, device, rows);
  QueryPage page(app, source, row, QStringLiteral("Query Properties"), parent);
  page.exec();
}

}  // namespace mirvale
