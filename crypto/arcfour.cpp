#include "crypto/arcfour.h"

#include <utility>

#include "crypto/context_memory.h"
#include "crypto/secure_clear.h"

void arcfour_key_setup(ArcfourContext* context, const unsigned char* key, std::size_t key_length) {
  for (int k = 0; k < 256; ++k) context->s[k] = static_cast<std::uint8_t>(k);
  std::uint8_t j = 0;
  for (std::size_t k = 0, at = 0; k < 256; ++k) {
    j = static_cast<std::uint8_t>(j + context->s[k] + (key_length ? key[at] : 0));
    std::swap(context->s[k], context->s[j]);
    if (key_length && ++at == key_length) at = 0;
  }
  context->i = 0;
  context->j = 0;
}

void arcfour_crypt(ArcfourContext* context, unsigned char* buffer, std::size_t length) {
  std::uint8_t i = context->i, j = context->j;
  std::uint8_t* s = context->s;
  for (std::size_t k = 0; k < length; ++k) {
    i = static_cast<std::uint8_t>(i + 1);
    const std::uint8_t si = s[i];
    j = static_cast<std::uint8_t>(j + si);
    const std::uint8_t sj = s[j];
    s[i] = sj;
    s[j] = si;
    buffer[k] ^= s[static_cast<std::uint8_t>(si + sj)];
  }
  context->i = i;
  context->j = j;
}

namespace {

void key_and_discard(void* context, const unsigned char* key, std::size_t key_length) {
  ArcfourContext* arcfour = static_cast<ArcfourContext*>(context);
  arcfour_key_setup(arcfour, key, key_length);
  // The discarded keystream is key-derived: wipe it.
  unsigned char discard[ARCFOUR_DISCARD] = {};
  arcfour_crypt(arcfour, discard, sizeof discard);
  secure_clear(discard, sizeof discard);
}

}  // namespace

void* arcfour_cipher_new_context() { return context_alloc<ArcfourContext>(); }

void arcfour_cipher_free_context(void* context) { context_free(static_cast<ArcfourContext*>(context)); }

void arcfour_cipher_set_iv(void*, const unsigned char*) {}

void arcfour128_cipher_set_key(void* context, const unsigned char* key) { key_and_discard(context, key, 16); }

void arcfour256_cipher_set_key(void* context, const unsigned char* key) { key_and_discard(context, key, 32); }

void arcfour_cipher_crypt(void* context, unsigned char* buffer, std::size_t length) {
  arcfour_crypt(static_cast<ArcfourContext*>(context), buffer, length);
}
