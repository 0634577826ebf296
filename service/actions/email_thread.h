#pragma once
// The e-mail action: one message to each of a ";"-separated list of recipients, each in its own
// SMTP transaction. The starter runs Run on a worker thread of its own; failures are logged and
// dropped.
#include <string>

#include "service/actions/email_settings.h"

namespace mirvale {

class CConfigurationEmailThread {
 public:
  CConfigurationEmailThread(EmailServerSettings server, std::string body, std::string subject,
                            std::string recipients);

  // Sends to every recipient in turn; returns how many messages the server accepted.
  int Run() const;

 private:
  EmailServerSettings server_;
  std::string body_;
  std::string subject_;
  std::string recipients_;
};

}  // namespace mirvale
