#pragma once
// The mail-server settings one e-mail transaction needs, copied out of the settings document
// when the action starts so that a settings reload cannot change them halfway.
#include <chrono>
#include <string>

#include "common/mirvale_doc.h"

namespace mirvale {

struct EmailServerSettings {
  std::string server;    // host name or dotted address
  std::string port = "25";
  std::string sender;    // envelope and "from:" address
  std::chrono::seconds timeout{60};  // every wait for the server
  std::string user;      // AUTH LOGIN only when user and password are both given
  std::string password;
};

// The time-out setting is whole minutes in decimal text; what does not parse counts as 0.
std::chrono::seconds SmtpTimeoutFromMinutes(const std::string& minutesText);

EmailServerSettings EmailServerSettingsFrom(const CMirvaleDoc& settings);

}  // namespace mirvale
