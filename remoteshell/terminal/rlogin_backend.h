#pragma once
// rlogin (RFC 1282): the handshake of user names and terminal, and the window-size message once
// the server has asked for it with the urgent byte 0x80.
#include "remoteshell/core/backend.h"

extern const SessionBackend rlogin_backend;
