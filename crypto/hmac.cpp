#include "crypto/hmac.h"

#include <cstring>

#include "crypto/byte_order.h"
#include "crypto/constant_time.h"
#include "crypto/context_memory.h"
#include "crypto/secure_clear.h"

namespace {

// The hash functions of one underlying algorithm, so both HMACs share one key set-up.
template <typename State, std::size_t DigestLength>
struct HashFunctions {
  void (*begin)(State*);
  void (*feed)(State*, const void*, std::size_t);
  void (*finish)(State*, unsigned char*);
  void (*digest)(const void*, std::size_t, unsigned char*);
  static constexpr std::size_t digest_length = DigestLength;
};

constexpr HashFunctions<Md5State, MD5_DIGEST_LENGTH> md5_functions{md5_begin, md5_feed, md5_finish, md5_digest};
constexpr HashFunctions<Sha1State, SHA1_DIGEST_LENGTH> sha1_functions{sha1_begin, sha1_feed, sha1_finish, sha1_digest};

template <typename State, typename Hash>
void prepare_states(State* inner, State* outer, const Hash& hash, const unsigned char* key, std::size_t key_length) {
  unsigned char hashed_key[Hash::digest_length];
  if (key_length > HMAC_BLOCK_LENGTH) {
    hash.digest(key, key_length, hashed_key);
    key = hashed_key;
    key_length = sizeof hashed_key;
  }
  unsigned char block[HMAC_BLOCK_LENGTH];
  std::memset(block, 0x36, sizeof block);
  for (std::size_t i = 0; i < key_length; ++i) block[i] ^= key[i];
  hash.begin(inner);
  hash.feed(inner, block, sizeof block);

  std::memset(block, 0x5c, sizeof block);
  for (std::size_t i = 0; i < key_length; ++i) block[i] ^= key[i];
  hash.begin(outer);
  hash.feed(outer, block, sizeof block);

  secure_clear(block, sizeof block);
  secure_clear(hashed_key, sizeof hashed_key);
}

// Copies the prepared states so that the context serves the next message unchanged.
template <typename State, typename Hash>
void compute_mac(const State& prepared_inner, const State& prepared_outer, const Hash& hash,
                 const unsigned char* prefix, std::size_t prefix_length, const void* data, std::size_t length,
                 unsigned char* mac) {
  State state = prepared_inner;
  ScopedClear<State> clear_state(state);
  unsigned char inner_digest[Hash::digest_length];
  if (prefix_length) hash.feed(&state, prefix, prefix_length);
  hash.feed(&state, data, length);
  hash.finish(&state, inner_digest);

  state = prepared_outer;
  hash.feed(&state, inner_digest, sizeof inner_digest);
  hash.finish(&state, mac);
  secure_clear(inner_digest, sizeof inner_digest);
}

// The packet MAC covers the big-endian sequence number followed by the packet.
template <typename Context, typename Hash>
void packet_mac(const void* context, const Hash& hash, const unsigned char* packet, std::size_t length,
                std::uint32_t sequence, unsigned char* mac) {
  const Context* hmac = static_cast<const Context*>(context);
  unsigned char sequence_bytes[4];
  store_be32(sequence_bytes, sequence);
  compute_mac(hmac->inner, hmac->outer, hash, sequence_bytes, 4, packet, length, mac);
}

// Compares the first `compared` bytes of the MAC with those behind the packet.
template <typename Context, typename Hash>
int verify_packet_mac(const void* context, const Hash& hash, const unsigned char* packet, std::size_t length,
                      std::uint32_t sequence, std::size_t compared) {
  unsigned char mac[Hash::digest_length];
  packet_mac<Context>(context, hash, packet, length, sequence, mac);
  const int matches = constant_time_equal(mac, packet + length, compared) ? 1 : 0;
  secure_clear(mac, sizeof mac);
  return matches;
}

}  // namespace

HmacMd5Context* hmac_md5_new() { return context_alloc<HmacMd5Context>(); }

void hmac_md5_free(HmacMd5Context* context) { context_free(context); }

void hmac_md5_set_key(HmacMd5Context* context, const unsigned char* key, std::size_t key_length) {
  prepare_states(&context->inner, &context->outer, md5_functions, key, key_length);
}

void hmac_md5_compute(const HmacMd5Context* context, const void* data, std::size_t length,
                      unsigned char mac[MD5_DIGEST_LENGTH]) {
  compute_mac(context->inner, context->outer, md5_functions, nullptr, 0, data, length, mac);
}

HmacSha1Context* hmac_sha1_new() { return context_alloc<HmacSha1Context>(); }

void hmac_sha1_free(HmacSha1Context* context) { context_free(context); }

void hmac_sha1_set_key(HmacSha1Context* context, const unsigned char* key, std::size_t key_length) {
  prepare_states(&context->inner, &context->outer, sha1_functions, key, key_length);
}

void hmac_sha1_compute(const HmacSha1Context* context, const void* data, std::size_t length,
                       unsigned char mac[SHA1_DIGEST_LENGTH]) {
  compute_mac(context->inner, context->outer, sha1_functions, nullptr, 0, data, length, mac);
}

void hmac_sha1_digest(const unsigned char* key, std::size_t key_length, const void* data, std::size_t length,
                      unsigned char mac[SHA1_DIGEST_LENGTH]) {
  HmacSha1Context context;
  ScopedClear<HmacSha1Context> clear_context(context);
  hmac_sha1_set_key(&context, key, key_length);
  hmac_sha1_compute(&context, data, length, mac);
}

void* hmac_md5_mac_new_context() { return hmac_md5_new(); }

void hmac_md5_mac_free_context(void* context) { hmac_md5_free(static_cast<HmacMd5Context*>(context)); }

void hmac_md5_mac_set_key(void* context, const unsigned char* key) {
  hmac_md5_set_key(static_cast<HmacMd5Context*>(context), key, 16);
}

void hmac_md5_mac_generate(void* context, unsigned char* packet, std::size_t length, std::uint32_t sequence) {
  packet_mac<HmacMd5Context>(context, md5_functions, packet, length, sequence, packet + length);
}

int hmac_md5_mac_verify(void* context, const unsigned char* packet, std::size_t length, std::uint32_t sequence) {
  return verify_packet_mac<HmacMd5Context>(context, md5_functions, packet, length, sequence, MD5_DIGEST_LENGTH);
}

void* hmac_sha1_mac_new_context() { return hmac_sha1_new(); }

void hmac_sha1_mac_free_context(void* context) { hmac_sha1_free(static_cast<HmacSha1Context*>(context)); }

void hmac_sha1_mac_set_key(void* context, const unsigned char* key) {
  hmac_sha1_set_key(static_cast<HmacSha1Context*>(context), key, 20);
}

void hmac_sha1_mac_set_key_16(void* context, const unsigned char* key) {
  hmac_sha1_set_key(static_cast<HmacSha1Context*>(context), key, 16);
}

void hmac_sha1_mac_generate(void* context, unsigned char* packet, std::size_t length, std::uint32_t sequence) {
  packet_mac<HmacSha1Context>(context, sha1_functions, packet, length, sequence, packet + length);
}

int hmac_sha1_mac_verify(void* context, const unsigned char* packet, std::size_t length, std::uint32_t sequence) {
  return verify_packet_mac<HmacSha1Context>(context, sha1_functions, packet, length, sequence, SHA1_DIGEST_LENGTH);
}

void hmac_sha1_96_mac_generate(void* context, unsigned char* packet, std::size_t length, std::uint32_t sequence) {
  unsigned char mac[SHA1_DIGEST_LENGTH];
  packet_mac<HmacSha1Context>(context, sha1_functions, packet, length, sequence, mac);
  std::memcpy(packet + length, mac, 12);
  secure_clear(mac, sizeof mac);
}

int hmac_sha1_96_mac_verify(void* context, const unsigned char* packet, std::size_t length, std::uint32_t sequence) {
  return verify_packet_mac<HmacSha1Context>(context, sha1_functions, packet, length, sequence, 12);
}
