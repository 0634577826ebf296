#include "desktop/shell/odbc_data_source.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <vector>

#include <fcntl.h>
#include <odbcinst.h>
#include <sql.h>
#include <sqlext.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/atomic_file.h"

namespace mirvale {

namespace {

std::string Upper(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::toupper(c); });
  return text;
}

bool WriteAttribute(const char* key, const std::string& value) {
  if (value.empty()) return true;
  return SQLWritePrivateProfileString(kDataSourceName, key, value.c_str(), "odbc.ini");
}

// Handles freed in reverse order of allocation.
struct OdbcHandles {
  SQLHENV env = SQL_NULL_HENV;
  SQLHDBC dbc = SQL_NULL_HDBC;
  bool connected = false;
  ~OdbcHandles() {
    if (connected) SQLDisconnect(dbc);
    if (dbc != SQL_NULL_HDBC) SQLFreeHandle(SQL_HANDLE_DBC, dbc);
    if (env != SQL_NULL_HENV) SQLFreeHandle(SQL_HANDLE_ENV, env);
  }
};

// $ODBCINI or ~/.odbc.ini; a link the user made there is followed to the file it names, which
// the installer writes too.
std::string UserDataSourceFile() {
  std::string path;
  if (const char* named = std::getenv("ODBCINI"); named && *named) {
    path = named;
  } else {
    const char* home = std::getenv("HOME");
    path = std::string(home ? home : "") + "/.odbc.ini";
  }
  struct stat info {};
  if (lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) {
    if (char* target = realpath(path.c_str(), nullptr)) {
      path = target;
      std::free(target);
    }
  }
  return path;
}

// The file is made (or kept) 0600 before the installer writes the password into it; the
// installer rewrites it in place, so the mode stays.
void KeepDataSourceFilePrivate(const std::string& path) {
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) return;
  fchmod(fd, 0600);
  close(fd);
}

}  // namespace

DataSourceFileSnapshot DataSourceFileSnapshot::Take() {
  DataSourceFileSnapshot snapshot;
  snapshot.path_ = UserDataSourceFile();
  struct stat info {};
  if (lstat(snapshot.path_.c_str(), &info) != 0) {
    snapshot.state_ = errno == ENOENT ? State::Missing : State::Untouchable;
    return snapshot;
  }
  // Only a file of the user's own can be kept private and put back as it was.
  if (S_ISREG(info.st_mode) && info.st_uid == geteuid()) snapshot.content_ = platform::ReadWholeFile(snapshot.path_);
  snapshot.state_ = snapshot.content_ ? State::Kept : State::Untouchable;
  snapshot.mode_ = info.st_mode & 07777;
  return snapshot;
}

void DataSourceFileSnapshot::Restore() const {
  struct stat info {};
  switch (state_) {
    case State::Missing:
      if (lstat(path_.c_str(), &info) == 0 && S_ISREG(info.st_mode)) unlink(path_.c_str());
      return;
    case State::Kept:
      platform::WriteFileAtomically(path_, *content_, mode_);
      return;
    case State::Untouchable:
      return;
  }
}

const char* DriverOf(DatabaseKind kind) { return kind == DatabaseKind::Server ? "MirvaleServer" : "MirvaleFile"; }

bool WriteDataSource(DatabaseKind kind, const DataSourceSetup& setup) {
  const std::string path = UserDataSourceFile();
  KeepDataSourceFilePrivate(path);
  SQLSetConfigMode(ODBC_USER_DSN);
  bool written =
      SQLWriteDSNToIni(kDataSourceName, DriverOf(kind)) && WriteAttribute("Description", kDataSourceDescription);
  if (kind == DatabaseKind::File) {
    written = written && WriteAttribute("Database", setup.file);
  } else {
    written = written && WriteAttribute("Server", setup.server) && WriteAttribute("Servername", setup.server) &&
              WriteAttribute("Port", setup.port) && WriteAttribute("Database", setup.database) &&
              WriteAttribute("Username", setup.user) && WriteAttribute("Password", setup.password);
  }
  SQLSetConfigMode(ODBC_BOTH_DSN);
  KeepDataSourceFilePrivate(path);
  return written;
}

std::optional<std::string> ConnectDataSource() {
  OdbcHandles h;
  if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &h.env))) return std::nullopt;
  SQLSetEnvAttr(h.env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
  if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_DBC, h.env, &h.dbc))) return std::nullopt;
  std::string in = std::string("DSN=") + kDataSourceName + ";";
  std::vector<SQLCHAR> out(2048);
  SQLSMALLINT outLength = 0;
  SQLRETURN result =
      SQLDriverConnect(h.dbc, nullptr, reinterpret_cast<SQLCHAR*>(in.data()), static_cast<SQLSMALLINT>(in.size()),
                       out.data(), static_cast<SQLSMALLINT>(out.size()), &outLength, SQL_DRIVER_NOPROMPT);
  if (!SQL_SUCCEEDED(result)) return std::nullopt;
  h.connected = true;
  const size_t length = std::min<size_t>(static_cast<size_t>(std::max<SQLSMALLINT>(outLength, 0)), out.size() - 1);
  return std::string(reinterpret_cast<const char*>(out.data()), length);
}

std::optional<std::string> DataSourceServer() {
  // The section's key list is empty when the data source cannot be read.
  std::vector<char> keys(1024);
  if (SQLGetPrivateProfileString(kDataSourceName, nullptr, "", keys.data(), static_cast<int>(keys.size()),
                                 "odbc.ini") <= 0)
    return std::nullopt;
  std::vector<char> value(512);
  int length = SQLGetPrivateProfileString(kDataSourceName, "Server", "", value.data(), static_cast<int>(value.size()),
                                          "odbc.ini");
  return std::string(value.data(), static_cast<size_t>(std::max(length, 0)));
}

std::string AppendServer(const std::string& connection, const std::string& server) {
  if (server.empty()) return connection;
  if (!connection.empty() && connection.back() == ';') return connection + "SERVER=" + server;
  return connection + ";SERVER=" + server;
}

bool NamesServer(const std::string& connection) { return Upper(connection).find("SERVER=") != std::string::npos; }

std::string WithFilePath(const std::string& connection, const std::string& path) {
  if (Upper(connection).find("DBQ=") != std::string::npos || path.empty()) return connection;
  std::string text = connection;
  if (!text.empty() && text.back() != ';') text += ';';
  return text + "DBQ=" + path + ";";
}

}  // namespace mirvale
