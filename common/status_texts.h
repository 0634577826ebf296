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

// A status in the failure group: the device did not answer the scan's questions, or the logon
// failed.
inline bool IsFailureStatus(std::string_view status) {
  return status.find("No response") != std::string_view::npos || status.find("Failed") != std::string_view::npos;
}

// The result of a set or restore request in the settings; only "Successful" counts as success.
inline constexpr const char* kRequestSuccessful = "Successful";
inline constexpr const char* kRequestFailed = "Failed";

// The state of the scan in the scan database's header.
inline constexpr const char* kScanRunning = "Running";
inline constexpr const char* kScanFinished = "Finished";

// The one message the service sends the desktop program: "Update Database" and its zero byte.
inline constexpr std::string_view kUpdateDatabaseNotice{"Update Database\0", 16};

}  // namespace mirvale
