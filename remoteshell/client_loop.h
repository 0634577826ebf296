#pragma once
// The remote-shell client's face for a program that runs each conversation on a thread of its
// own: with the conversation (core/conversation.h) and the back-end list (backend_list.h) it is
// all such a program calls. The event-log source the client writes under comes with it.
#include <cstdint>
#include <mutex>

#include "base/client_notices.h"

// Readies and ends the network layer for the conversation of the calling thread.
void client_network_start();
void client_network_end();

// One turn of the event loop: waits up to timeout_ms for the network (or for wake_fd, when not
// -1) and handles what came holding guard. False when no connection is left.
bool client_network_turn(int timeout_ms, std::mutex* guard, int wake_fd);

// Runs the timers that are due; true, with *next_timer set, when one is still pending.
bool client_timers_run(uint32_t* next_timer);

// How long the loop may sleep: idle_ms, or less when a pending timer falls due sooner.
int client_loop_wait_ms(bool timers_pending, uint32_t next_timer, int idle_ms);

// Frees a text the client handed out (the real host name of an opened back end).
void client_free_text(char* text);
