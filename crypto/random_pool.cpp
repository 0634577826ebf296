// The random pool. Noise is absorbed into five SHA-1 chaining words 64 bytes at a time and
// XORed into the pool; stirring runs the SHA-1 compression function over the whole pool twice,
// keyed with its first 64 bytes.
#include "crypto/random_pool.h"

#include <cstring>
#include <mutex>

#include "base/memory.h"
#include "base/process_exit.h"
#include "crypto/entropy.h"
#include "crypto/secure_clear.h"
#include "crypto/sha1.h"

namespace {

constexpr int digest_bytes = 20;

// The pool is shared by every conversation (their session threads stir network noise into it
// and their worker threads' sends too), so every entry point takes this lock. Recursive: a
// first acquisition saves the seed, which reads the pool.
std::recursive_mutex pool_lock;
using PoolGuard = std::lock_guard<std::recursive_mutex>;

RandomPool state;
int users = 0;
bool seeded = false;
bool noise_timer_pending = false;
RandomPoolServices services = {random_seed_file_read, random_seed_file_write, timer_schedule};

void stir();

uint32_t load_be(const unsigned char* bytes) {
  return (uint32_t{bytes[0]} << 24) | (uint32_t{bytes[1]} << 16) | (uint32_t{bytes[2]} << 8) | bytes[3];
}

void store_be(uint32_t word, unsigned char* bytes) {
  bytes[0] = static_cast<unsigned char>(word >> 24);
  bytes[1] = static_cast<unsigned char>(word >> 16);
  bytes[2] = static_cast<unsigned char>(word >> 8);
  bytes[3] = static_cast<unsigned char>(word);
}

// Noise of the pool's own sources; counts whether or not anyone holds the pool.
void absorb(const void* data, int length) {
  const auto* bytes = static_cast<const unsigned char*>(data);
  while (length > 0) {
    int take = static_cast<int>(sizeof state.incoming_block) - state.incoming_count;
    if (take > length) take = length;
    std::memcpy(state.incoming_block + state.incoming_count, bytes, static_cast<std::size_t>(take));
    state.incoming_count += take;
    bytes += take;
    length -= take;
    if (state.incoming_count < static_cast<int>(sizeof state.incoming_block)) break;
    sha1_transform(state.incoming, state.incoming_block);
    // Handing out the pool's last byte leaves the position at its end until the next byte is
    // asked for; noise arriving meanwhile starts again at the front.
    if (state.position >= random_pool_size) state.position = 0;
    for (int i = 0; i < digest_bytes; ++i) {
      state.pool[state.position] ^= state.incoming_block[i];
      state.position = (state.position + 1) % random_pool_size;
    }
    if (state.position < digest_bytes) stir();
    state.incoming_count = 0;
  }
}

void absorb_sink(const void* data, int length) { absorb(data, length); }

// Heavy noise goes straight into the pool, stirring each time the end is reached.
void add_heavy(const void* data, int length) {
  const auto* bytes = static_cast<const unsigned char*>(data);
  for (int i = 0; i < length; ++i) {
    state.pool[state.position++] ^= bytes[i];
    if (state.position == random_pool_size) {
      stir();
      state.position = 0;
    }
  }
}

void stir() {
  if (state.stirring) return;
  state.stirring = true;
  entropy_gather_light(absorb_sink);
  sha1_transform(state.incoming, state.incoming_block);
  state.incoming_count = 0;

  uint32_t digest[5];
  std::memcpy(digest, state.incoming, sizeof digest);
  unsigned char key[64];
  for (int pass = 0; pass < 2; ++pass) {
    std::memcpy(key, state.pool, sizeof key);
    for (int j = random_pool_size - digest_bytes; j >= 0; j -= digest_bytes) {
      for (int w = 0; w < 5; ++w) digest[w] ^= load_be(state.pool + j + 4 * w);
      sha1_transform(digest, key);
      for (int w = 0; w < 5; ++w) store_be(digest[w], state.pool + j + 4 * w);
    }
  }
  sha1_transform(digest, key);
  std::memcpy(state.incoming, digest, sizeof digest);
  secure_clear(digest, sizeof digest);
  secure_clear(key, sizeof key);
  state.position = digest_bytes;
  state.stirring = false;
}

void seed_chunk(const void* data, int length) { add_heavy(data, length); }

void regular_noise(void*, uint32_t) {
  PoolGuard guard(pool_lock);
  noise_timer_pending = false;
  if (users <= 0) return;
  entropy_gather_regular(absorb_sink);
  services.schedule(random_noise_interval_ms, regular_noise, &state);
  noise_timer_pending = true;
}

void schedule_noise() {
  if (noise_timer_pending || !services.schedule) return;
  services.schedule(random_noise_interval_ms, regular_noise, &state);
  noise_timer_pending = true;
}

// Seeded once per process: a later first user keeps the stirred state instead of starting
// again from the same seed file.
void seed_once() {
  if (seeded) return;
  secure_clear_object(state);
  entropy_gather_heavy(add_heavy);
  if (services.seed_read) services.seed_read(seed_chunk);
  stir();
  seeded = true;
  shutdown_hook_register(random_seed_save);
}

}  // namespace

void random_acquire() {
  PoolGuard guard(pool_lock);
  bool seeding = !seeded;
  seed_once();
  schedule_noise();
  ++users;
  // Replace the seed file at once, so the next process does not start from the same state.
  if (seeding) random_seed_save();
}

void random_release() {
  PoolGuard guard(pool_lock);
  if (users > 0) --users;
}

unsigned char random_next_byte() {
  PoolGuard guard(pool_lock);
  // Bytes are never handed out from an unseeded (all-zero) pool.
  seed_once();
  if (state.position >= random_pool_size) stir();
  return state.pool[state.position++];
}

void random_add_noise(const void* bytes, int length) {
  PoolGuard guard(pool_lock);
  if (users <= 0 || !bytes || length <= 0) return;
  absorb(bytes, length);
}

unsigned char* random_get_seed(int* length) {
  PoolGuard guard(pool_lock);
  stir();
  auto* seed = static_cast<unsigned char*>(checked_alloc(random_seed_length, 1));
  std::memcpy(seed, state.pool + state.position, random_seed_length);
  stir();
  *length = random_seed_length;
  return seed;
}

void random_seed_save() {
  PoolGuard guard(pool_lock);
  if (users <= 0 || !services.seed_write) return;
  int length = 0;
  unsigned char* seed = random_get_seed(&length);
  services.seed_write(seed, length);
  secure_clear(seed, static_cast<std::size_t>(length));
  checked_free(seed);
}

void entropy_add_tiny(uint32_t word) {
  unsigned char noise[16];
  std::memcpy(noise, &word, 4);
  entropy_tiny_clocks(noise + 4);
  random_add_noise(noise, sizeof noise);
}

void random_pool_set_services(const RandomPoolServices& replacement) {
  PoolGuard guard(pool_lock);
  services = replacement;
}

void random_pool_reset_for_testing() {
  PoolGuard guard(pool_lock);
  secure_clear_object(state);
  users = 0;
  seeded = false;
  noise_timer_pending = false;
}

const RandomPool& random_pool_state() { return state; }

int random_pool_users() {
  PoolGuard guard(pool_lock);
  return users;
}
