#include "service/actions/email_action_job.h"

#include "service/actions/email_settings.h"
#include "service/actions/email_thread.h"

namespace mirvale {

void SendEmailAction(const EmailActionRequest& request) {
  if (!request.settings) return;
  CConfigurationEmailThread(EmailServerSettingsFrom(*request.settings), request.body, request.subject,
                            request.recipients)
      .Run();
}

}  // namespace mirvale
