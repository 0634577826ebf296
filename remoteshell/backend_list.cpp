#include "remoteshell/backend_list.h"

#include <string>

#include "base/client_notices.h"
#include "platform/event_log.h"
#include "remoteshell/core/conversation.h"
#include "remoteshell/ssh/ssh_backend.h"
#include "remoteshell/terminal/raw_backend.h"
#include "remoteshell/terminal/rlogin_backend.h"
#include "remoteshell/terminal/telnet_backend.h"

const BackendListEntry backend_list[] = {
    {kProtocolSsh, "ssh", &ssh_backend},
    {kProtocolTelnet, "telnet", &telnet_backend},
    {kProtocolRlogin, "rlogin", &rlogin_backend},
    {kProtocolRaw, "raw", &raw_backend},
    {0, nullptr, nullptr},
};

namespace {

// No session log is open yet when the back end is chosen: the system's event log keeps it,
// named by the conversation's device.
void report_missing(const std::string& text) {
  platform::ReportEvent(kRemoteShellEventSource, platform::EventType::Warning,
                        conversation_event_text(nullptr, text.c_str()));
  backend_event_line(nullptr, text.c_str());
}

}  // namespace

const SessionBackend* backend_for_protocol(int protocol) {
  for (const BackendListEntry* row = backend_list; row->name != nullptr; ++row) {
    if (row->protocol != protocol) continue;
    if (row->backend == nullptr)
      report_missing(std::string("Protocol \"") + row->name + "\" is not available in this build");
    return row->backend;
  }
  report_missing("Unknown protocol number " + std::to_string(protocol));
  return nullptr;
}
