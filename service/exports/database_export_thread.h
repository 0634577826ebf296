#pragma once
// The database export: the device database copied into the table "Mirvale" of an ODBC data
// source. Each stored value is one row, identified by device address, pool and the value's key
// (object identifier or shell line number), so no two values of a device share a row; rows of
// values no longer stored are deleted. Every text reaches the database as a bound parameter.
#include <optional>
#include <string>
#include <vector>

#include "common/mirvale_doc.h"
#include "service/exports/database_export_rows.h"
#include "service/exports/odbc_connection.h"

namespace mirvale {

inline constexpr char kExportTableName[] = "Mirvale";

struct DatabaseExportSummary {
  bool connected = false;
  int inserted = 0;
  int updated = 0;
  int deleted = 0;
  int failed = 0;  // statements the database refused (the value stays as it was)
};

// The table's name as the data source lists it (compared regardless of case), if it exists.
std::optional<std::string> FindExportTable(const odbc::Connection& connection);

class CConfigurationExportDb {
 public:
  // connectionText: the settings' m_strExportDatabase as typed. rows: copied from the device
  // database under the data-store lock (CollectExportRows).
  CConfigurationExportDb(std::string connectionText, std::vector<ExportValueRow> rows);

  DatabaseExportSummary Run() const;

 private:
  std::string connectionText_;
  std::vector<ExportValueRow> rows_;
};

}  // namespace mirvale
