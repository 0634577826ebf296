#pragma once
// The process-wide random pool: padding, session keys, Diffie-Hellman exponents, PKCS #1
// padding and X11 cookies. Filled from system state and the seed file, stirred with the SHA-1
// compression function, saved back to the seed file. Each SSH session holds a reference while
// it runs. Shared by every conversation: each operation takes the pool's own lock.

#include <cstdint>

#include "base/seed_file.h"
#include "base/timers.h"

constexpr int random_pool_size = 1200;
constexpr int random_seed_length = 600;
constexpr uint32_t random_noise_interval_ms = 300000;

struct RandomPool {
  unsigned char pool[random_pool_size];
  int position;  // bytes before it have been handed out or just written
  uint32_t incoming[5];
  unsigned char incoming_block[64];
  int incoming_count;
  bool stirring;
};

// The first acquisition in the process seeds the pool and saves a new seed file; later ones
// only count.
void random_acquire();
void random_release();
unsigned char random_next_byte();
// Absorbs noise; ignored while nobody holds the pool.
void random_add_noise(const void* bytes, int length);
// Stirs, copies random_seed_length bytes from the current position, stirs again. The bytes
// come from checked_alloc (checked_free, after clearing).
unsigned char* random_get_seed(int* length);
// Writes a new seed file while the pool is held.
void random_seed_save();
// The caller's word and two clock readings, for every network event.
void entropy_add_tiny(uint32_t word);

// Where the pool reads and writes its seed and registers its noise timer; tests replace them.
struct RandomPoolServices {
  void (*seed_read)(SeedChunkCallback callback);
  void (*seed_write)(const void* data, int length);
  uint32_t (*schedule)(uint32_t delay_ms, TimerCallback callback, void* context);
};
void random_pool_set_services(const RandomPoolServices& services);
// Forgets everything, as in a new process (tests only).
void random_pool_reset_for_testing();
const RandomPool& random_pool_state();
int random_pool_users();
