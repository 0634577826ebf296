#pragma once
// The export's ODBC data source "MirvaleDB", set up without widgets through unixODBC: the
// installer writes the data source (the drivers here have no set-up dialogs of their own), the
// driver manager connects to it and reports the complete connection text the export keeps.
// Driver names are the two the service's database export uses (see README, odbcinst.ini).
#include <optional>
#include <string>

namespace mirvale {

inline constexpr char kDataSourceName[] = "MirvaleDB";
inline constexpr char kDataSourceDescription[] = "Mirvale DataBase";

enum class DatabaseKind { Server, File };

// "MirvaleServer" (a database server) or "MirvaleFile" (a database file).
const char* DriverOf(DatabaseKind kind);

// What the set-up step asks: a server's address and account, or a file's path.
struct DataSourceSetup {
  std::string server, port, database, user, password;
  std::string file;
};

// Writes the user data source "MirvaleDB" for the kind's driver with its description and the
// set-up's attributes into the user's data source file ($ODBCINI, else ~/.odbc.ini), which it
// keeps at mode 0600: it holds the password in clear. False when the installer refuses.
bool WriteDataSource(DatabaseKind kind, const DataSourceSetup& setup);

// The user's data source file as it was before a set-up, put back whole (content and mode, or
// no file) when the set-up fails, so a failed attempt leaves no password and no change behind.
// A file that is not the user's own regular file, or cannot be read, is not usable: the set-up
// must not write a password into what it could neither keep private nor put back.
class DataSourceFileSnapshot {
 public:
  static DataSourceFileSnapshot Take();
  bool Usable() const { return state_ != State::Untouchable; }
  const std::string& Path() const { return path_; }
  void Restore() const;

 private:
  enum class State { Missing, Kept, Untouchable };
  std::string path_;
  State state_ = State::Missing;
  std::optional<std::string> content_;
  unsigned mode_ = 0600;
};

// Connects to "MirvaleDB" and answers the driver's complete connection text; none when the
// connection cannot be opened.
std::optional<std::string> ConnectDataSource();

// The data source's "Server" value; none when the data source cannot be read at all.
std::optional<std::string> DataSourceServer();

// The connection text with ";SERVER=<server>" added (no extra ";" after one already there).
std::string AppendServer(const std::string& connection, const std::string& server);
// Whether the text names a server ("SERVER=", any case).
bool NamesServer(const std::string& connection);
// A file's connection text carries its path as DBQ=, the form the export reads.
std::string WithFilePath(const std::string& connection, const std::string& path);

}  // namespace mirvale
