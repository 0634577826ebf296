#include "crypto/blowfish.h"

#include <cstring>

#include "crypto/blowfish_tables.h"
#include "crypto/byte_order.h"
#include "crypto/context_memory.h"
#include "crypto/secure_clear.h"

namespace {

inline std::uint32_t blowfish_f(const BlowfishContext* c, std::uint32_t x) {
  return ((c->S0[x >> 24] + c->S1[(x >> 16) & 0xff]) ^ c->S2[(x >> 8) & 0xff]) + c->S3[x & 0xff];
}

struct Ssh1BlowfishContext {
  BlowfishContext send;
  BlowfishContext receive;
};

using WordLoad = std::uint32_t (*)(const unsigned char*);
using WordStore = void (*)(unsigned char*, std::uint32_t);

template <WordLoad load, WordStore store>
void encrypt_cbc(BlowfishContext* context, unsigned char* buffer, std::size_t length) {
  std::uint32_t l = context->iv[0], r = context->iv[1];
  for (; length >= 8; buffer += 8, length -= 8) {
    l ^= load(buffer);
    r ^= load(buffer + 4);
    blowfish_encrypt_block(context, l, r);
    store(buffer, l);
    store(buffer + 4, r);
  }
  context->iv[0] = l;
  context->iv[1] = r;
}

template <WordLoad load, WordStore store>
void decrypt_cbc(BlowfishContext* context, unsigned char* buffer, std::size_t length) {
  std::uint32_t iv_l = context->iv[0], iv_r = context->iv[1];
  for (; length >= 8; buffer += 8, length -= 8) {
    const std::uint32_t cl = load(buffer), cr = load(buffer + 4);
    std::uint32_t l = cl, r = cr;
    blowfish_decrypt_block(context, l, r);
    store(buffer, l ^ iv_l);
    store(buffer + 4, r ^ iv_r);
    iv_l = cl;
    iv_r = cr;
  }
  context->iv[0] = iv_l;
  context->iv[1] = iv_r;
}

}  // namespace

void blowfish_encrypt_block(const BlowfishContext* context, std::uint32_t& left, std::uint32_t& right) {
  const std::uint32_t* p = context->P;
  std::uint32_t l = left, r = right;
  for (int i = 0; i < 16; i += 2) {
    l ^= p[i];
    r ^= blowfish_f(context, l);
    r ^= p[i + 1];
    l ^= blowfish_f(context, r);
  }
  left = r ^ p[17];
  right = l ^ p[16];
}

void blowfish_decrypt_block(const BlowfishContext* context, std::uint32_t& left, std::uint32_t& right) {
  const std::uint32_t* p = context->P;
  std::uint32_t l = left, r = right;
  for (int i = 17; i > 1; i -= 2) {
    l ^= p[i];
    r ^= blowfish_f(context, l);
    r ^= p[i - 1];
    l ^= blowfish_f(context, r);
  }
  left = r ^ p[0];
  right = l ^ p[1];
}

void blowfish_key_setup(BlowfishContext* context, const unsigned char* key, std::size_t key_length) {
  using namespace blowfish_detail;
  std::memcpy(context->S0, initial_s[0], sizeof context->S0);
  std::memcpy(context->S1, initial_s[1], sizeof context->S1);
  std::memcpy(context->S2, initial_s[2], sizeof context->S2);
  std::memcpy(context->S3, initial_s[3], sizeof context->S3);
  std::size_t at = 0;
  for (int i = 0; i < 18; ++i) {
    std::uint32_t word = 0;
    for (int j = 0; j < 4 && key_length; ++j, at = (at + 1) % key_length) word = word << 8 | key[at];
    context->P[i] = initial_p[i] ^ word;
  }
  std::uint32_t l = 0, r = 0;
  auto fill = [&](std::uint32_t* table, int count) {
    for (int i = 0; i < count; i += 2) {
      blowfish_encrypt_block(context, l, r);
      table[i] = l;
      table[i + 1] = r;
    }
  };
  fill(context->P, 18);
  fill(context->S0, 256);
  fill(context->S1, 256);
  fill(context->S2, 256);
  fill(context->S3, 256);
}

void blowfish_set_iv(BlowfishContext* context, const unsigned char iv[8]) {
  context->iv[0] = load_be32(iv);
  context->iv[1] = load_be32(iv + 4);
}

void blowfish_encrypt_cbc(BlowfishContext* context, unsigned char* buffer, std::size_t length) {
  encrypt_cbc<load_be32, store_be32>(context, buffer, length);
}

void blowfish_decrypt_cbc(BlowfishContext* context, unsigned char* buffer, std::size_t length) {
  decrypt_cbc<load_be32, store_be32>(context, buffer, length);
}

void blowfish_lsb_encrypt_cbc(BlowfishContext* context, unsigned char* buffer, std::size_t length) {
  encrypt_cbc<load_le32, store_le32>(context, buffer, length);
}

void blowfish_lsb_decrypt_cbc(BlowfishContext* context, unsigned char* buffer, std::size_t length) {
  decrypt_cbc<load_le32, store_le32>(context, buffer, length);
}

void blowfish_sdctr(BlowfishContext* context, unsigned char* buffer, std::size_t length) {
  std::uint32_t* counter = context->iv;
  for (; length >= 8; buffer += 8, length -= 8) {
    std::uint32_t l = counter[0], r = counter[1];
    blowfish_encrypt_block(context, l, r);
    store_be32(buffer, load_be32(buffer) ^ l);
    store_be32(buffer + 4, load_be32(buffer + 4) ^ r);
    if (++counter[1] == 0) ++counter[0];
  }
}

void* blowfish_cipher_new_context() { return context_alloc<BlowfishContext>(); }

void blowfish_cipher_free_context(void* context) { context_free(static_cast<BlowfishContext*>(context)); }

void blowfish_cipher_set_iv(void* context, const unsigned char* iv) {
  blowfish_set_iv(static_cast<BlowfishContext*>(context), iv);
}

void blowfish128_cipher_set_key(void* context, const unsigned char* key) {
  blowfish_key_setup(static_cast<BlowfishContext*>(context), key, 16);
}

void blowfish256_cipher_set_key(void* context, const unsigned char* key) {
  blowfish_key_setup(static_cast<BlowfishContext*>(context), key, 32);
}

void blowfish_cipher_encrypt_cbc(void* context, unsigned char* buffer, std::size_t length) {
  blowfish_encrypt_cbc(static_cast<BlowfishContext*>(context), buffer, length);
}

void blowfish_cipher_decrypt_cbc(void* context, unsigned char* buffer, std::size_t length) {
  blowfish_decrypt_cbc(static_cast<BlowfishContext*>(context), buffer, length);
}

void blowfish_cipher_sdctr(void* context, unsigned char* buffer, std::size_t length) {
  blowfish_sdctr(static_cast<BlowfishContext*>(context), buffer, length);
}

void* ssh1_blowfish_new_context() { return context_alloc<Ssh1BlowfishContext>(); }

void ssh1_blowfish_free_context(void* context) { context_free(static_cast<Ssh1BlowfishContext*>(context)); }

void ssh1_blowfish_set_session_key(void* context, const unsigned char* key) {
  Ssh1BlowfishContext* blowfish = static_cast<Ssh1BlowfishContext*>(context);
  blowfish_key_setup(&blowfish->send, key, 32);
  blowfish_key_setup(&blowfish->receive, key, 32);
  blowfish->send.iv[0] = blowfish->send.iv[1] = 0;
  blowfish->receive.iv[0] = blowfish->receive.iv[1] = 0;
}

void ssh1_blowfish_encrypt(void* context, unsigned char* buffer, std::size_t length) {
  blowfish_lsb_encrypt_cbc(&static_cast<Ssh1BlowfishContext*>(context)->send, buffer, length);
}

void ssh1_blowfish_decrypt(void* context, unsigned char* buffer, std::size_t length) {
  blowfish_lsb_decrypt_cbc(&static_cast<Ssh1BlowfishContext*>(context)->receive, buffer, length);
}
