#pragma once
// The one message the service sends the desktop programs: "Update Database" and its zero byte,
// to every notice socket in the data folder.
#include "common/status_texts.h"

namespace mirvale {

// Tells every listening desktop program to reload the databases; nobody listening is no error.
// Sockets nobody listens on are removed; whatever else stands at a notice socket's name is
// skipped and logged once.
void SendUpdateNotice();

}  // namespace mirvale
