#pragma once
// Texts the service writes and the desktop program reads: they must agree byte for byte.
#include <string_view>

namespace mirvale {

// A device's status in the scan database and the device database.
inline constexpr const char* kStatusCollecting = "Collecting Information...";
inline constexpr const char* kStatusNoResponse = "No response from device";
inline constexpr const char* kStatusUnreachable = "Device unreachable";
inline constexpr const char* kStatusLogonFailed = "Failed due to logon failure";
inline constexpr const char* kStatusChanged = "Finished with changes";
inline constexpr const char* kStatusUnchanged = "Finished without changes";

// The state of the scan in the scan database's header.
inline constexpr const char* kScanRunning = "Running";
inline constexpr const char* kScanFinished = "Finished";

// The one message the service sends the desktop program: "Update Database" and its zero byte.
inline constexpr std::string_view kUpdateDatabaseNotice{"Update Database\0", 16};

}  // namespace mirvale
