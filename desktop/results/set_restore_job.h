#pragma once
// SetRestoreJob: the one sequence by which the desktop program asks the service to set or
// restore values. It replaces the settings' requests with the caller's, commits the settings
// (control code 134), asks the service to carry them out (control code 144) and waits in the
// modal wait dialog while CConfigurationRestoreThread follows them. The caller then reads the
// results in the settings document's restore map (RequestSucceeded).
#include <string>
#include <vector>

#include "common/settings_records.h"

class QWidget;

namespace mirvale {

class CMirvaleApp;

struct RestoreRequest {
  std::string key;  // address + "/" + command or object identifier
  CRestoreItem item;
};

// The keys of requests, in their order.
std::vector<std::string> KeysOf(const std::vector<RestoreRequest>& requests);

// True when the job ran to the end of the wait. False after a failure already shown ("Settings
// failed, please check your access permissions.", "Service failed, please check your access
// permissions.", or why the wait ended before every result came: the service stopped or answered
// nothing, or the user stopped waiting); the results that came are in the document then too.
bool SetRestoreJob(CMirvaleApp& app, QWidget* parent, const std::vector<RestoreRequest>& requests);

}  // namespace mirvale
