#pragma once
// The one message the service sends the desktop program: "Update Database" and its zero byte.
#include "common/status_texts.h"

namespace mirvale {

// Tells a listening desktop program to reload the databases; nobody listening is no error.
void SendUpdateNotice();

}  // namespace mirvale
