#include "service/actions/email_thread.h"

#include "service/actions/email_message.h"
#include "service/actions/email_transaction.h"
#include "service/host/service_log.h"

namespace mirvale {

CConfigurationEmailThread::CConfigurationEmailThread(EmailServerSettings server, std::string body,
                                                     std::string subject, std::string recipients)
    : server_(std::move(server)), body_(std::move(body)), subject_(std::move(subject)),
      recipients_(std::move(recipients)) {}

int CConfigurationEmailThread::Run() const {
  int sent = 0;
  for (const std::string& recipient : SplitRecipients(recipients_)) {
    MailResult result = SendMail(server_, recipient, subject_, body_);
    if (result == MailResult::Sent) {
      ++sent;
    } else {
      LogServiceWarning("E-mail to " + recipient + " through " + server_.server + " failed: " +
                        MailResultText(result));
    }
  }
  return sent;
}

}  // namespace mirvale
