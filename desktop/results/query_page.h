#pragma once
// The Query page of the result views' "Query Properties" and "Report Properties" sheets: one SNMP
// result shown in full with its previous value, previous and next row of the owner's list, and
// "Set/Restore Value", which sends the value in the previous-value box through the set and
// restore job. The owner hands the page a QueryPageSource.
#include <string>

#include "desktop/results/detail_page_parts.h"
#include "desktop/shell/detail_page_openers.h"

class QLineEdit;
class QPlainTextEdit;

namespace mirvale {

class CMirvaleApp;
struct CDbItem;
struct CDbQuery;
struct CPoolItem;

// One row as the Query page shows it; a list fills the fields it shows, the stored result the rest.
struct QueryFields {
  std::string address{}, name{}, pool{}, query{}, oid{}, value{}, date{}, description{}, prevDate{}, prevValue{};
};

class QueryPageSource : public PageRows {
 public:
  virtual QueryFields Row(int row) const = 0;
  // After a successful set: refresh what the owner shows; the row to show next.
  virtual int AfterSet(int row, const QueryFields& sent) = 0;
};

// Fills a page's Oid, previous value and date and Description from the stored result (the
// description from the pool's query, when the pool still has it).
void FillResultFields(QueryFields& fields, const CDbQuery& result, const CPoolItem* pool);
// The fields of a row that shows one of device's stored results: the row's texts as shown; the
// device's name and, while the device holds the row's key, the result's fields as
// FillResultFields gives them, from the store.
QueryFields StoredValueFields(CMirvaleApp& app, const RowsDevice& device, const StoredValueRows::Row& shown);
// After a successful set: the device's stored result under the identifier sent, when it now
// holds the value sent; null otherwise (the row then keeps its texts).
const CDbQuery* StoredAsSent(CMirvaleApp& app, const QueryFields& sent, CDbItem& device);

class QueryPage : public DetailPage {
  Q_OBJECT
 public:
  QueryPage(CMirvaleApp& app, QueryPageSource& source, int row, const QString& title, QWidget* parent = nullptr);

  void ShowRow() override;
  void SetValue();  // the page's request button

 private:
  CMirvaleApp& app_;
  QueryPageSource& source_;
  QLineEdit *address_, *name_, *pool_, *query_, *oid_, *value_, *date_, *prevDate_, *prevValue_;
  QPlainTextEdit* description_;
};

// Runs the "Query Properties" sheet over another folder's list of stored values (the Scan
// Results dialog's), on row.
void RunQueryProperties(CMirvaleApp& app, const RowsDevice& device, StoredValueRows& rows, int row, QWidget* parent);

}  // namespace mirvale
