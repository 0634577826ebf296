#pragma once
// The e-mail action: one message to each of a ";"-separated list of recipients, each in its own
// SMTP transaction, on a thread that ends by itself. Failures are logged and dropped.
#include <string>

#include "service/email_settings.h"

class CConfigurationEmailThread {
 public:
  CConfigurationEmailThread(EmailServerSettings server, std::string body, std::string subject,
                            std::string recipients);

  // Sends to every recipient in turn; returns how many messages the server accepted.
  int Run() const;

  // Runs the action on a detached thread of its own.
  static void Start(CConfigurationEmailThread action);

 private:
  EmailServerSettings server_;
  std::string body_;
  std::string subject_;
  std::string recipients_;
};
