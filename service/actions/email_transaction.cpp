#include "service/actions/email_transaction.h"

#include <optional>

#include "platform/smtp_connection.h"
#include "service/actions/email_base64.h"
#include "service/actions/email_message.h"

namespace mirvale {

const char* MailResultText(MailResult result) {
  switch (result) {
    case MailResult::Sent: return "sent";
    case MailResult::BadAddress: return "address holds a line break";
    case MailResult::NoConnection: return "no connection to the mail server";
    case MailResult::Greeting: return "no greeting";
    case MailResult::Hello: return "EHLO refused";
    case MailResult::Login: return "AUTH LOGIN not answered";
    case MailResult::Sender: return "sender refused";
    case MailResult::Recipient: return "recipient refused";
    case MailResult::Data: return "DATA refused";
    case MailResult::Delivery: return "message refused";
    case MailResult::Quit: return "QUIT not answered";
  }
  return "";
}

namespace {

bool CodeIsOneOf(const std::optional<platform::SmtpReply>& reply, int first, int second = -1) {
  return reply && (reply->code == first || reply->code == second);
}

class Conversation {
 public:
  explicit Conversation(platform::SmtpConnection connection) : connection_(std::move(connection)) {}

  std::optional<platform::SmtpReply> Ask(const std::string& command) {
    if (!connection_.Send(command)) return std::nullopt;
    return connection_.ReadReply();
  }
  std::optional<platform::SmtpReply> Wait() { return connection_.ReadReply(); }

 private:
  platform::SmtpConnection connection_;
};

}  // namespace

MailResult SendMail(const EmailServerSettings& server, const std::string& recipient,
                    const std::string& subject, const std::string& body) {
  if (HasLineBreak(server.sender) || HasLineBreak(recipient) || HasLineBreak(server.user) ||
      HasLineBreak(server.password)) {
    return MailResult::BadAddress;
  }
  auto connection = platform::SmtpConnection::Open(server.server, server.port, server.timeout);
  if (!connection) return MailResult::NoConnection;
  Conversation smtp(std::move(*connection));

  if (!CodeIsOneOf(smtp.Wait(), 220)) return MailResult::Greeting;
  if (!CodeIsOneOf(smtp.Ask("ehlo " + platform::LocalMailHostName() + "\r\n"), 250)) return MailResult::Hello;
  if (!server.user.empty() && !server.password.empty()) {
    // A refused login is not judged here: a server that needs it refuses the sender next. But
    // each credential goes out only when the server asks for it (334), so a server without
    // AUTH LOGIN never sees the password as a stray command.
    // SASL mechanism names are registered in upper case, and some servers match them exactly.
    auto reply = smtp.Ask("auth LOGIN\r\n");
    if (reply && reply->code == 334) reply = smtp.Ask(Base64Encode(server.user) + "\r\n");
    if (reply && reply->code == 334) reply = smtp.Ask(Base64Encode(server.password) + "\r\n");
    if (!reply) return MailResult::Login;
  }
  if (!CodeIsOneOf(smtp.Ask("mail from:<" + server.sender + ">\r\n"), 250)) return MailResult::Sender;
  if (!CodeIsOneOf(smtp.Ask("rcpt to:<" + recipient + ">\r\n"), 250, 251)) return MailResult::Recipient;
  if (!CodeIsOneOf(smtp.Ask("data\r\n"), 354)) return MailResult::Data;
  if (!CodeIsOneOf(smtp.Ask(BuildMessageData(server.sender, recipient, subject, body)), 250)) {
    return MailResult::Delivery;
  }
  if (!CodeIsOneOf(smtp.Ask("quit\r\n"), 221)) return MailResult::Quit;
  return MailResult::Sent;
}

}  // namespace mirvale
