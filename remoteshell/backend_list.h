#pragma once
// The list that finds a back end by protocol number: the one place that knows every back end.
#include "remoteshell/core/backend.h"

struct BackendListEntry {
  int protocol;
  const char* name;
  const SessionBackend* backend;  // none for a protocol this build does not carry
};

// Rows in the order ssh, telnet, rlogin, raw, ended by a row of zeros.
extern const BackendListEntry backend_list[];

// The back end of a protocol number; none when the number is unknown or its back end is not
// built in. The reason then goes to the event log.
const SessionBackend* backend_for_protocol(int protocol);
