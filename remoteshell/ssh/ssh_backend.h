#pragma once
// SSH-2 (RFC 4253): identification exchange with server quirks, the binary packet protocol,
// Diffie-Hellman key exchange over fixed groups and group exchange, host-key verification
// through the front end, and rekeying; or SSH-1 (protocol 1.5) when the server offers only
// that or the settings prefer it. Every step goes to the event log.
#include "remoteshell/core/backend.h"

extern const SessionBackend ssh_backend;
