#pragma once
// Telnet (RFC 854/855) with the options NAWS, TSPEED, TTYPE, OLD- and NEW-ENVIRON, ECHO, SGA
// and BINARY; every negotiation step goes to the event log.
#include "remoteshell/core/backend.h"

extern const SessionBackend telnet_backend;
