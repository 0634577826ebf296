#pragma once
// A small owner of one ODBC connection (unixODBC): connect with a connection text and no
// dialog, run statements whose texts come only as "?" parameters, read result rows as text.
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace mirvale::odbc {

class Connection {
 public:
  // Connects; nullopt (with the driver's diagnostic in error) when it fails. The connection
  // text is never part of the error, as it may hold a password.
  static std::optional<Connection> Open(const std::string& connectionText, std::string* error);

  ~Connection();
  Connection(Connection&& other) noexcept;
  Connection& operator=(Connection&& other) noexcept;
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  // The driver's identifier quote character, or "" when it quotes none.
  std::string IdentifierQuote() const;

  // Names of every table, view and system table the data source lists.
  std::vector<std::string> TableNames() const;

  // Runs one statement with its parameters bound as text; false (and error set) on failure.
  bool Execute(const std::string& sql, const std::vector<std::string>& parameters,
               std::string* error = nullptr) const;

  // Runs a query and reads the first columns of every row as text (SQL NULL reads as
  // nullopt). nullopt when the query fails.
  std::optional<std::vector<std::vector<std::optional<std::string>>>> Query(
      const std::string& sql, const std::vector<std::string>& parameters, int columns,
      std::string* error = nullptr) const;

 private:
  struct Handles;
  explicit Connection(std::unique_ptr<Handles> handles);
  std::unique_ptr<Handles> handles_;
};

}  // namespace mirvale::odbc
