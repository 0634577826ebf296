#pragma once
// One SMTP transaction: connect, EHLO, optional AUTH LOGIN, one sender, one recipient, the
// message, QUIT. Each reply is judged by the code that starts its last line.
#include <string>

#include "service/actions/email_settings.h"

namespace mirvale {

enum class MailResult {
  Sent,
  BadAddress,     // sender or recipient holds a line break
  NoConnection,   // name not resolved, connect refused or timed out
  Greeting,
  Hello,
  Login,
  Sender,
  Recipient,
  Data,
  Delivery,       // the server did not accept the message
  Quit,
};

const char* MailResultText(MailResult result);

MailResult SendMail(const EmailServerSettings& server, const std::string& recipient,
                    const std::string& subject, const std::string& body);

}  // namespace mirvale
