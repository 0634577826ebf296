#include "service/exports/database_export_thread.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <mutex>
#include <set>
#include <thread>
#include <tuple>

#include <sys/stat.h>

#include "platform/run_account.h"
#include "service/exports/database_export_connection_text.h"
#include "service/host/service_log.h"

namespace mirvale {

namespace {

bool SameNameIgnoringCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

// The statements, with the table name quoted as the driver wants it.
struct Statements {
  explicit Statements(const std::string& table) {
    create = "Create Table " + table +
             " (DeviceIp VARCHAR(250), DeviceName VARCHAR(250), DevicePool VARCHAR(250), "
             "QueryName VARCHAR(250), QueryOid VARCHAR(250), QueryValue VARCHAR(250), QueryDate VARCHAR(250), "
             "PreviousValue VARCHAR(250), PreviousDate VARCHAR(250))";
    const std::string where = " where (DeviceIp = ? and DevicePool = ? and QueryOid = ?)";
    select = "Select DeviceIp from " + table + where;
    insertWithPrevious = "Insert Into " + table +
                         " (DeviceIp, DeviceName, DevicePool, QueryName, QueryOid, QueryValue, QueryDate, "
                         "PreviousValue, PreviousDate) Values(?, ?, ?, ?, ?, ?, ?, ?, ?)";
    insert = "Insert Into " + table +
             " (DeviceIp, DeviceName, DevicePool, QueryName, QueryOid, QueryValue, QueryDate) "
             "Values(?, ?, ?, ?, ?, ?, ?)";
    updateWithPrevious = "Update " + table +
                         " Set DeviceName = ?, QueryName = ?, QueryValue = ?, QueryDate = ?, PreviousValue = ?, "
                         "PreviousDate = ?" + where;
    update = "Update " + table + " Set DeviceName = ?, QueryName = ?, QueryValue = ?, QueryDate = ?" + where;
    listKeys = "Select DeviceIp, DevicePool, QueryOid from " + table;
    remove = "Delete from " + table + where;
  }

  std::string create, select, insertWithPrevious, insert, updateWithPrevious, update, listKeys, remove;
};

using RowKey = std::tuple<std::string, std::string, std::string>;  // address, pool, key

// Inserts the value's row, or updates it when the table has it already.
void WriteRow(const odbc::Connection& connection, const Statements& sql, const ExportValueRow& row,
              DatabaseExportSummary& summary) {
  std::vector<std::string> key = {row.address, row.pool, row.key};
  auto found = connection.Query(sql.select, key, 1);
  bool present = found && !found->empty();
  std::string date = ExportDateText(row.time);
  bool withPrevious = !row.prevTime.empty();
  std::vector<std::string> values;
  const std::string* statement;
  if (present) {
    values = {row.deviceName, row.queryName, row.value, date};
    if (withPrevious) values.insert(values.end(), {row.prevValue, ExportDateText(row.prevTime)});
    values.insert(values.end(), key.begin(), key.end());
    statement = withPrevious ? &sql.updateWithPrevious : &sql.update;
  } else {
    values = {row.address, row.deviceName, row.pool, row.queryName, row.key, row.value, date};
    if (withPrevious) values.insert(values.end(), {row.prevValue, ExportDateText(row.prevTime)});
    statement = withPrevious ? &sql.insertWithPrevious : &sql.insert;
  }
  std::string error;
  if (connection.Execute(*statement, values, &error)) {
    ++(present ? summary.updated : summary.inserted);
  } else {
    ++summary.failed;
    LogServiceWarning("Database export: value " + row.key + " of " + row.address + " not written (" + error + ")");
  }
}

// Deletes the rows of values that this export did not write.
void DeleteVanishedRows(const odbc::Connection& connection, const Statements& sql, const std::set<RowKey>& exported,
                        DatabaseExportSummary& summary) {
  std::string error;
  auto tableRows = connection.Query(sql.listKeys, {}, 3, &error);
  if (!tableRows) {
    LogServiceWarning("Database export: rows could not be listed (" + error + ")");
    return;
  }
  std::set<RowKey> stale;
  for (const auto& tableRow : *tableRows) {
    if (!tableRow[0] || !tableRow[1] || !tableRow[2]) continue;  // not a row this export wrote
    RowKey key{*tableRow[0], *tableRow[1], *tableRow[2]};
    if (!exported.count(key)) stale.insert(std::move(key));
  }
  for (const auto& [address, pool, key] : stale) {
    if (connection.Execute(sql.remove, {address, pool, key})) ++summary.deleted;
    else ++summary.failed;
  }
}

}  // namespace

std::optional<std::string> FindExportTable(const odbc::Connection& connection) {
  for (const std::string& name : connection.TableNames()) {
    if (SameNameIgnoringCase(name, kExportTableName)) return name;
  }
  return std::nullopt;
}

CConfigurationExportDb::CConfigurationExportDb(std::string connectionText, std::vector<ExportValueRow> rows)
    : connectionText_(std::move(connectionText)), rows_(std::move(rows)) {}

DatabaseExportSummary CConfigurationExportDb::Run() const {
  // Two exports at once (a finished scan and a settings reload) would each find a value's row
  // missing and both insert it; one at a time keeps one row per value.
  static std::mutex oneAtATime;
  std::lock_guard serialised(oneAtATime);
  DatabaseExportSummary summary;
  std::string error;
  auto file = ExportFilePath(connectionText_, error);
  if (!error.empty()) {
    LogServiceWarning("Database export: refused (" + error + ")");
    return summary;
  }
  // The file is made (or found) here, by the unprivileged account, never through a link and only
  // as a regular file, so that the driver opens no other.
  platform::UniqueFd database;
  struct stat checked {};
  if (file) {
    database = platform::OpenForWritingAsRunAccount(*file, false, 0640, error);
    if (!database || fstat(database.get(), &checked) != 0) {
      LogServiceWarning("Database export: the file " + *file + " is refused (" + error + ")");
      return summary;
    }
  }
  // A database file's path comes from the settings, which operators write: the driver opens
  // files with the unprivileged account's rights only.
  platform::ScopedRunAccountRights rights(error);
  if (!rights.ok()) {
    LogServiceWarning("Database export: skipped (" + error + ")");
    return summary;
  }
  auto connection = odbc::Connection::Open(BuildExportConnectionText(connectionText_), &error);
  if (!connection) {
    LogServiceWarning("Database export: no connection (" + error + ")");
    return summary;
  }
  // The file may have been swapped between the check and the driver's open.
  struct stat opened {};
  if (file && (lstat(file->c_str(), &opened) != 0 || !S_ISREG(opened.st_mode) || opened.st_dev != checked.st_dev ||
               opened.st_ino != checked.st_ino)) {
    LogServiceWarning("Database export: the file " + *file + " is refused (it changed while it was opened)");
    return summary;
  }
  summary.connected = true;

  std::string quote = connection->IdentifierQuote();
  auto existing = FindExportTable(*connection);
  Statements sql(quote + existing.value_or(kExportTableName) + quote);
  if (!existing && !connection->Execute(sql.create, {}, &error)) {
    LogServiceWarning("Database export: the table could not be created (" + error + ")");
    return summary;
  }

  std::set<RowKey> exported;
  for (const ExportValueRow& row : rows_) {
    exported.emplace(row.address, row.pool, row.key);
    WriteRow(*connection, sql, row, summary);
    // Gives the database (often shared) room between statements, as every export always has.
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  DeleteVanishedRows(*connection, sql, exported, summary);
  return summary;
}

}  // namespace mirvale
