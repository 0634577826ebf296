#include "remoteshell/backend.h"
#include "remoteshell/raw_backend.h"
#include "remoteshell/rlogin_backend.h"
#include "remoteshell/telnet_backend.h"

// SSH keeps its row so that settings naming it still resolve; its back end joins later.
const BackendListEntry backend_list[] = {
    {kProtocolSsh, "ssh", nullptr},
    {kProtocolTelnet, "telnet", &telnet_backend},
    {kProtocolRlogin, "rlogin", &rlogin_backend},
    {kProtocolRaw, "raw", &raw_backend},
    {0, nullptr, nullptr},
};

const SessionBackend* backend_for_protocol(int protocol) {
  for (const BackendListEntry* row = backend_list; row->name != nullptr; ++row) {
    if (row->protocol != protocol) continue;
    if (row->backend == nullptr)
      backend_event_printf(nullptr, "Protocol \"%s\" is not available in this build", row->name);
    return row->backend;
  }
  backend_event_printf(nullptr, "Unknown protocol number %d", protocol);
  return nullptr;
}
