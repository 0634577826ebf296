#pragma once
// Raw TCP: the bytes go both ways untouched.
#include "remoteshell/core/backend.h"

extern const SessionBackend raw_backend;
