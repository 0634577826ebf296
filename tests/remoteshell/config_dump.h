#pragma once
// Every setting of a SessionConfig as "Key=value" lines in the order the loader reads them.
#include <string>

#include "remoteshell/core/session_config.h"

std::string dump_session_config(const SessionConfig& config);
