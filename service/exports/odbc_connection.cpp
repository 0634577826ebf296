#include "service/exports/odbc_connection.h"

#include <sql.h>
#include <sqlext.h>

namespace mirvale::odbc {

namespace {

// The first diagnostic record of a handle as "SQLSTATE message".
std::string Diagnostic(SQLSMALLINT type, SQLHANDLE handle) {
  SQLCHAR state[6] = {};
  SQLCHAR message[512] = {};
  SQLINTEGER native = 0;
  SQLSMALLINT length = 0;
  if (!SQL_SUCCEEDED(SQLGetDiagRec(type, handle, 1, state, &native, message, sizeof message, &length))) {
    return "no diagnostic";
  }
  return std::string(reinterpret_cast<char*>(state)) + " " + reinterpret_cast<char*>(message);
}

class Statement {
 public:
  explicit Statement(SQLHDBC connection) {
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, connection, &handle_))) handle_ = SQL_NULL_HSTMT;
  }
  ~Statement() {
    if (handle_ != SQL_NULL_HSTMT) SQLFreeHandle(SQL_HANDLE_STMT, handle_);
  }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  SQLHSTMT get() const { return handle_; }

  // Prepares and executes with every parameter bound as input text. The parameter texts must
  // outlive the call; they are only read.
  bool Run(const std::string& sql, const std::vector<std::string>& parameters, std::string* error) {
    if (handle_ == SQL_NULL_HSTMT) return Fail(error, "no statement handle");
    auto* text = reinterpret_cast<SQLCHAR*>(const_cast<char*>(sql.c_str()));
    if (!SQL_SUCCEEDED(SQLPrepare(handle_, text, SQL_NTS))) return Fail(error);
    lengths_.assign(parameters.size(), 0);
    for (size_t i = 0; i < parameters.size(); ++i) {
      lengths_[i] = static_cast<SQLLEN>(parameters[i].size());
      SQLULEN columnSize = parameters[i].empty() ? 1 : parameters[i].size();
      SQLRETURN bound = SQLBindParameter(handle_, static_cast<SQLUSMALLINT>(i + 1), SQL_PARAM_INPUT, SQL_C_CHAR,
                                         SQL_VARCHAR, columnSize, 0,
                                         const_cast<char*>(parameters[i].data()), lengths_[i], &lengths_[i]);
      if (!SQL_SUCCEEDED(bound)) return Fail(error);
    }
    SQLRETURN executed = SQLExecute(handle_);
    // An UPDATE or DELETE that touched no row reports SQL_NO_DATA: that is no failure.
    if (!SQL_SUCCEEDED(executed) && executed != SQL_NO_DATA) return Fail(error);
    return true;
  }

  std::optional<std::string> Text(int column) {
    std::string value;
    char buffer[1024];
    for (;;) {
      SQLLEN indicator = 0;
      SQLRETURN got = SQLGetData(handle_, static_cast<SQLUSMALLINT>(column), SQL_C_CHAR, buffer, sizeof buffer,
                                 &indicator);
      if (got == SQL_NO_DATA) break;
      if (!SQL_SUCCEEDED(got)) break;
      if (indicator == SQL_NULL_DATA) return std::nullopt;
      // A truncated piece fills the buffer less its terminating zero; the next call goes on.
      size_t piece = (indicator == SQL_NO_TOTAL || indicator >= static_cast<SQLLEN>(sizeof buffer))
                         ? sizeof buffer - 1
                         : static_cast<size_t>(indicator);
      value.append(buffer, piece);
      if (got == SQL_SUCCESS) break;
    }
    return value;
  }

 private:
  bool Fail(std::string* error, const char* text = nullptr) {
    if (error != nullptr) *error = text != nullptr ? text : Diagnostic(SQL_HANDLE_STMT, handle_);
    return false;
  }

  SQLHSTMT handle_ = SQL_NULL_HSTMT;
  std::vector<SQLLEN> lengths_;
};

}  // namespace

struct Connection::Handles {
  SQLHENV environment = SQL_NULL_HENV;
  SQLHDBC connection = SQL_NULL_HDBC;
  bool connected = false;

  ~Handles() {
    if (connected) SQLDisconnect(connection);
    if (connection != SQL_NULL_HDBC) SQLFreeHandle(SQL_HANDLE_DBC, connection);
    if (environment != SQL_NULL_HENV) SQLFreeHandle(SQL_HANDLE_ENV, environment);
  }
};

Connection::Connection(std::unique_ptr<Handles> handles) : handles_(std::move(handles)) {}
Connection::~Connection() = default;
Connection::Connection(Connection&& other) noexcept = default;
Connection& Connection::operator=(Connection&& other) noexcept = default;

std::optional<Connection> Connection::Open(const std::string& connectionText, std::string* error) {
  auto handles = std::make_unique<Handles>();
  if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &handles->environment)) ||
      !SQL_SUCCEEDED(SQLSetEnvAttr(handles->environment, SQL_ATTR_ODBC_VERSION,
                                   reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0)) ||
      !SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_DBC, handles->environment, &handles->connection))) {
    if (error != nullptr) *error = "ODBC environment not available";
    return std::nullopt;
  }
  auto* text = reinterpret_cast<SQLCHAR*>(const_cast<char*>(connectionText.c_str()));
  SQLSMALLINT length = 0;
  SQLRETURN connected = SQLDriverConnect(handles->connection, nullptr, text, SQL_NTS, nullptr, 0, &length,
                                         SQL_DRIVER_NOPROMPT);
  if (!SQL_SUCCEEDED(connected)) {
    if (error != nullptr) *error = Diagnostic(SQL_HANDLE_DBC, handles->connection);
    return std::nullopt;
  }
  handles->connected = true;
  return Connection(std::move(handles));
}

std::string Connection::IdentifierQuote() const {
  char quote[8] = {};
  SQLSMALLINT length = 0;
  if (!SQL_SUCCEEDED(SQLGetInfo(handles_->connection, SQL_IDENTIFIER_QUOTE_CHAR, quote, sizeof quote, &length))) {
    return "";
  }
  std::string result(quote);
  return result == " " ? "" : result;
}

std::vector<std::string> Connection::TableNames() const {
  std::vector<std::string> names;
  Statement statement(handles_->connection);
  if (statement.get() == SQL_NULL_HSTMT ||
      !SQL_SUCCEEDED(SQLTables(statement.get(), nullptr, 0, nullptr, 0, nullptr, 0, nullptr, 0))) {
    return names;
  }
  while (SQL_SUCCEEDED(SQLFetch(statement.get()))) {
    if (auto name = statement.Text(3)) names.push_back(*name);
  }
  return names;
}

bool Connection::Execute(const std::string& sql, const std::vector<std::string>& parameters,
                         std::string* error) const {
  Statement statement(handles_->connection);
  return statement.Run(sql, parameters, error);
}

std::optional<std::vector<std::vector<std::optional<std::string>>>> Connection::Query(
    const std::string& sql, const std::vector<std::string>& parameters, int columns, std::string* error) const {
  Statement statement(handles_->connection);
  if (!statement.Run(sql, parameters, error)) return std::nullopt;
  std::vector<std::vector<std::optional<std::string>>> rows;
  for (;;) {
    SQLRETURN fetched = SQLFetch(statement.get());
    if (fetched == SQL_NO_DATA) break;
    if (!SQL_SUCCEEDED(fetched)) {
      if (error != nullptr) *error = Diagnostic(SQL_HANDLE_STMT, statement.get());
      return std::nullopt;
    }
    std::vector<std::optional<std::string>> row;
    for (int column = 1; column <= columns; ++column) row.push_back(statement.Text(column));
    rows.push_back(std::move(row));
  }
  return rows;
}

}  // namespace mirvale::odbc
