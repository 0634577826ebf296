#pragma once
// SSH-2 (RFC 4253): identification exchange with server quirks, the binary packet protocol,
// Diffie-Hellman key exchange over fixed groups and group exchange, host-key verification
// through the front end, and rekeying. Every step goes to the event log.
#include "remoteshell/core/backend.h"

extern const SessionBackend ssh_backend;
