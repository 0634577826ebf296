#pragma once
// The system state the random pool feeds on (Linux sources): the kernel's random bytes,
// process and thread ids, clocks, CPU times, resource usage and system statistics.

#include <cstdint>

using EntropySink = void (*)(const void* data, int length);

// Once per process, when the pool is first seeded.
void entropy_gather_heavy(EntropySink sink);
// At every stir: the real-time and monotonic clocks.
void entropy_gather_light(EntropySink sink);
// Every few minutes while the pool is held: CPU times, resource usage, memory statistics.
void entropy_gather_regular(EntropySink sink);
// The millisecond tick and the monotonic clock in nanoseconds (4 + 8 bytes).
void entropy_tiny_clocks(unsigned char out[12]);
