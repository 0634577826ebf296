#pragma once
// Where the programs find their files. Every location can be moved by an environment variable
// so that tests and private installations run in folders of their own.
#include <chrono>
#include <optional>
#include <string>

namespace platform {

// Value of an environment variable, or nullopt when it is unset or empty.
std::optional<std::string> GetEnv(const char* name);

// A time bound that tests may shorten: the variable's whole number of seconds when it is
// positive and below longest, else longest.
std::chrono::seconds ShortenedSeconds(const char* name, std::chrono::seconds longest);

// Folder of the running executable (MIRVALE_PROGRAM_FOLDER overrides), without a trailing slash.
std::string ProgramFolder();

// Common application-data folder (MIRVALE_COMMON_APPDATA, else /var/lib).
std::string CommonAppDataFolder();

// "<common app data>/Oskavel/Mirvale". When create is set, the folder is created level by level.
std::string DataFolder(bool create = false);

// Folder of the service's run-time sockets (MIRVALE_RUN_DIR, else /run/mirvale).
std::string RunFolder();

// Creates a folder with the mode and every missing parent with 0755; true when it exists afterwards.
bool CreateFolderLevels(const std::string& path, unsigned mode = 0755);

// Joins two path pieces with exactly one slash.
std::string JoinPath(const std::string& folder, const std::string& name);

}  // namespace platform
