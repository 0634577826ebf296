#pragma once
// Sends a keep-alive through the back end every "PingInterval" seconds (0: never), through the
// timers; its timers go with the record.
#include <cstdint>

#include "remoteshell/core/backend.h"

struct KeepAlive {
  int interval;  // seconds
  int scheduled;
  uint32_t due;
  const SessionBackend* backend_ops;
  void* backend;
};

KeepAlive* keepalive_new(const SessionConfig* settings, const SessionBackend* backend_ops, void* backend);
void keepalive_reconfigure(KeepAlive* keepalive, const SessionConfig* old_settings, const SessionConfig* new_settings);
void keepalive_free(KeepAlive* keepalive);
