#pragma once
// Logon of the account a run action names: PAM (service name "mirvale") authenticates the user
// with the password, then checks that the account may be used now.
#include <string>

namespace mirvale {

inline constexpr char kPamServiceName[] = "mirvale";

struct LogonResult {
  bool ok = false;
  std::string reason;  // PAM's text for the failure; never holds the password
};

LogonResult LogonUser(const std::string& user, const std::string& password);

}  // namespace mirvale
