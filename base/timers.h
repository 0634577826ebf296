#pragma once
// Callbacks after a delay, kept in due-time order: keep-alives, time-based rekeys, the random
// pool's regular noise. A context that goes away withdraws all its timers. Each thread has its
// own list (a conversation's timers run on its session thread).
#include <cstddef>
#include <cstdint>

// now is the tick at which the timer ran (tick.h).
using TimerCallback = void (*)(void* context, uint32_t now);

// Registers a callback delay milliseconds ahead and returns its due tick. A request equal to a
// pending one (same due tick, callback and context) is dropped. The due tick is always at
// least one tick after the last run.
uint32_t timer_schedule(uint32_t delay_ms, TimerCallback callback, void* context);

// Removes every pending timer of the context.
void timer_expire_context(void* context);

// Runs every timer that is due now, earliest first, each once; a timer scheduled from a
// callback runs at the earliest on the next call. True when timers remain, with next set to
// the earliest due tick.
bool timers_run_due(uint32_t* next);

size_t timer_count();
