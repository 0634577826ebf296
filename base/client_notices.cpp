#include "base/client_notices.h"

#include <cstdio>

#include "platform/event_log.h"

namespace {

constexpr const char* kOldKeyFormatWarning =
    "You are loading an SSH-2 private key which has an\n"
    "old version of the file format. This means your key\n"
    "file is not fully tamperproof. Future versions of\n"
    "Mirsh may stop supporting this private key format,\n"
    "so we recommend you convert your key to the new\n"
    "format.\n"
    "\n"
    "Once the key is loaded into MirshGen, you can perform\n"
    "this conversion simply by saving it again.\n";

}  // namespace

void old_key_format_warning() {
  std::fputs(kOldKeyFormatWarning, stderr);
  std::fflush(stderr);
  platform::ReportEvent(kRemoteShellEventSource, platform::EventType::Warning, kOldKeyFormatWarning);
}

void frontend_notify(void*) {}
