#pragma once
// The database export's connection text. The administrator types keyword=value pairs; the
// export keeps only the pairs its target needs and names the driver itself:
// - a text that mentions ".mdb" (any case) is a database file: driver "MirvaleFile" (the
//   SQLite ODBC driver), with the DBQ path passed as Database;
// - any other is a database server: driver "MirvaleServer" (the PostgreSQL ODBC driver), with
//   SERVER or ADDRESS ("host" or "host,port"), DATABASE, UID and PWD, in that order.
// Both driver names are registered in odbcinst.ini (see README).
#include <optional>
#include <string>
#include <string_view>

namespace mirvale {

inline constexpr char kFileDriverName[] = "MirvaleFile";
inline constexpr char kServerDriverName[] = "MirvaleServer";

// The value of keyword (given in upper case, with its "=") in a ";"-separated list of pairs,
// matched regardless of case at the start of a pair. A value in braces may hold ";" and "}}"
// for "}"; the braces are not part of the value.
std::optional<std::string> ConnectionValue(std::string_view text, std::string_view keyword);

// Whether the text names a database file (it mentions ".mdb").
bool IsFileExport(std::string_view userText);

// The database file's path (DBQ=) of a file export; nullopt for a server export or without DBQ.
// A value in braces or holding "{", "}", ";" or "=" is refused: nullopt with the reason set.
std::optional<std::string> ExportFilePath(std::string_view userText, std::string& refusal);

// The driver's connection text: each value in braces when it needs them (ODBC's rules).

std::string BuildExportConnectionText(std::string_view userText);

}  // namespace mirvale
