#pragma once
// ODBC drivers for tests, found wherever Debian installs them (/usr/lib/<multiarch>/odbc/ on any
// architecture) and registered in an odbcinst.ini of the test's own, never the machine's.
#include <string>

#include <glob.h>

#include "platform/atomic_file.h"

namespace testing_support {

// The full path of an installed driver library such as "libsqlite3odbc.so", or "".
inline std::string OdbcDriverPath(const std::string& library) {
  for (const std::string& pattern : {"/usr/lib/*/odbc/" + library, "/usr/lib/odbc/" + library}) {
    glob_t found{};
    std::string path = glob(pattern.c_str(), 0, nullptr, &found) == 0 ? found.gl_pathv[0] : "";
    globfree(&found);
    if (!path.empty()) return path;
  }
  return "";
}

inline std::string SqliteOdbcDriverPath() { return OdbcDriverPath("libsqlite3odbc.so"); }

// Writes folder/odbcinst.ini naming the one driver, and an empty folder/odbc.ini; point
// ODBCSYSINI at folder and ODBCINI at folder/odbc.ini to use them.
inline bool RegisterOdbcDriver(const std::string& folder, const std::string& name, const std::string& library) {
  return platform::WriteFileAtomically(folder + "/odbcinst.ini", "[" + name + "]\nDriver=" + library + "\n") &&
         platform::WriteFileAtomically(folder + "/odbc.ini", "");
}

}  // namespace testing_support
