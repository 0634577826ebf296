#pragma once
// The results views' detail pages, for a view of another folder: the Scan Results dialog lists
// one device's stored values or configuration lines and opens the Query or Command Properties
// page of a row through these interfaces. The results views build the pages; desktop/main.cpp
// joins the two through the PaneRegistry.
#include <functional>
#include <string>
#include <vector>

class QWidget;

namespace mirvale {

class CMirvaleApp;
struct CDbQuery;

// The device whose rows a page shows.
struct RowsDevice {
  std::string address, pool;
};

// One device's stored SNMP values as the owner's list shows them.
class StoredValueRows {
 public:
  struct Row {
    std::string query, value, date;
    std::string key;  // the value's key in the device record
  };
  virtual ~StoredValueRows() = default;
  virtual int RowCount() const = 0;
  virtual Row At(int row) const = 0;
  // Selects row, scrolled into view, or clears its selection.
  virtual void Select(int row, bool selected) = 0;
  // After a set: the store now holds the value sent; the row shows it.
  virtual void Refresh(int row, const CDbQuery& stored) = 0;
};

// One configuration view of a device as the owner's list shows it.
class ConfigurationRows {
 public:
  virtual ~ConfigurationRows() = default;
  virtual std::vector<std::string> Lines() const = 0;
  // The date of the view's heading ("Current Configuration: <date>"), empty when it has none.
  virtual std::string HeadingDate() const = 0;
  // Selects row, scrolled into view, or clears its selection.
  virtual void Select(int row, bool selected) = 0;
  // After a set the service carried out: the owner fills its views again from the store.
  virtual void Refill() = 0;
};

// Run the "Query Properties" or "Command Properties" sheet modally over parent, on row.
struct DetailPageOpeners {
  std::function<void(CMirvaleApp& app, const RowsDevice& device, StoredValueRows& rows, int row, QWidget* parent)>
      query;
  std::function<void(CMirvaleApp& app, const RowsDevice& device, ConfigurationRows& rows, int row, QWidget* parent)>
      command;
};

}  // namespace mirvale
