#include "crypto/des.h"

#include "crypto/byte_order.h"
#include "crypto/context_memory.h"
#include "crypto/des_tables.h"
#include "crypto/secure_clear.h"

namespace {

using des_detail::tables;

const auto& sp = tables.sp;

// The round function. Rotating R left by 1 puts the expansion's even 6-bit groups at bits
// 29-24, 21-16, 13-8 and 5-0; rotating it right by 3 does the same for the odd groups, so
// the E expansion needs no table.
inline std::uint32_t des_f(std::uint32_t r, const std::uint32_t* subkey) {
  const std::uint32_t odd = rotr32(r, 3) ^ subkey[0];
  const std::uint32_t even = rotl32(r, 1) ^ subkey[1];
  return sp[0][(odd >> 24) & 63] ^ sp[2][(odd >> 16) & 63] ^ sp[4][(odd >> 8) & 63] ^ sp[6][odd & 63] ^
         sp[1][(even >> 24) & 63] ^ sp[3][(even >> 16) & 63] ^ sp[5][(even >> 8) & 63] ^ sp[7][even & 63];
}

std::uint64_t permute_bytes(const std::array<std::array<std::uint64_t, 256>, 8>& table, std::uint64_t x) {
  std::uint64_t y = 0;
  for (int byte = 0; byte < 8; ++byte) y |= table[byte][(x >> (56 - 8 * byte)) & 0xff];
  return y;
}

void permute_halves(const std::array<std::array<std::uint64_t, 256>, 8>& table, std::uint32_t& left,
                    std::uint32_t& right) {
  const std::uint64_t y = permute_bytes(table, std::uint64_t(left) << 32 | right);
  left = static_cast<std::uint32_t>(y >> 32);
  right = static_cast<std::uint32_t>(y);
}

// Bit `number` (1 = most significant) of a value `width` bits wide.
inline std::uint64_t bit_of(std::uint64_t value, int width, int number) { return (value >> (width - number)) & 1; }

struct Ssh1DesContext {
  DesContext send;
  DesContext receive;
};

}  // namespace

void des_initial_permutation(std::uint32_t& left, std::uint32_t& right) { permute_halves(tables.initial, left, right); }

void des_final_permutation(std::uint32_t& left, std::uint32_t& right) { permute_halves(tables.final, left, right); }

void des_rounds(const DesContext* context, std::uint32_t& left, std::uint32_t& right, bool decrypt) {
  const std::uint32_t* k = context->key_schedule;
  std::uint32_t l = left, r = right;
  if (decrypt) {
    for (int round = 15; round > 0; round -= 2) {
      l ^= des_f(r, k + 2 * round);
      r ^= des_f(l, k + 2 * round - 2);
    }
  } else {
    for (int round = 0; round < 16; round += 2) {
      l ^= des_f(r, k + 2 * round);
      r ^= des_f(l, k + 2 * round + 2);
    }
  }
  left = r;
  right = l;
}

void des_encrypt_block(const DesContext* context, std::uint32_t& left, std::uint32_t& right) {
  des_initial_permutation(left, right);
  des_rounds(context, left, right, false);
  des_final_permutation(left, right);
}

void des_decrypt_block(const DesContext* context, std::uint32_t& left, std::uint32_t& right) {
  des_initial_permutation(left, right);
  des_rounds(context, left, right, true);
  des_final_permutation(left, right);
}

void des_key_setup(DesContext* context, const unsigned char key[8]) {
  using namespace des_detail;
  const std::uint64_t k = load_be64(key);
  std::uint32_t c = 0, d = 0;
  for (int j = 0; j < 28; ++j) {
    c = c << 1 | static_cast<std::uint32_t>(bit_of(k, 64, permuted_choice_1[j]));
    d = d << 1 | static_cast<std::uint32_t>(bit_of(k, 64, permuted_choice_1[28 + j]));
  }
  for (int round = 0; round < 16; ++round) {
    const int s = key_shifts[round];
    c = ((c << s) | (c >> (28 - s))) & 0x0fffffff;
    d = ((d << s) | (d >> (28 - s))) & 0x0fffffff;
    const std::uint64_t cd = std::uint64_t(c) << 28 | d;
    std::uint32_t odd = 0, even = 0;
    for (int group = 0; group < 8; ++group) {
      std::uint32_t six = 0;
      for (int j = 0; j < 6; ++j)
        six = six << 1 | static_cast<std::uint32_t>(bit_of(cd, 56, permuted_choice_2[6 * group + j]));
      // groups 1,3,5,7 (index 0,2,4,6) go to bytes 3..0 of the odd word, the rest likewise
      const int shift = 24 - 8 * (group / 2);
      (group % 2 == 0 ? odd : even) |= six << shift;
    }
    context->key_schedule[2 * round] = odd;
    context->key_schedule[2 * round + 1] = even;
  }
  context->iv[0] = context->iv[1] = 0;
  // The key halves are key material too; a plain assignment would be optimised away.
  secure_clear(&c, sizeof c);
  secure_clear(&d, sizeof d);
}

void des_set_iv(DesContext* context, const unsigned char iv[8]) {
  context->iv[0] = load_be32(iv);
  context->iv[1] = load_be32(iv + 4);
}

void des_cbc_encrypt(DesContext* context, unsigned char* buffer, std::size_t length) {
  std::uint32_t l = context->iv[0], r = context->iv[1];
  for (; length >= 8; buffer += 8, length -= 8) {
    l ^= load_be32(buffer);
    r ^= load_be32(buffer + 4);
    des_encrypt_block(context, l, r);
    store_be32(buffer, l);
    store_be32(buffer + 4, r);
  }
  context->iv[0] = l;
  context->iv[1] = r;
}

void des_cbc_decrypt(DesContext* context, unsigned char* buffer, std::size_t length) {
  std::uint32_t iv_l = context->iv[0], iv_r = context->iv[1];
  for (; length >= 8; buffer += 8, length -= 8) {
    const std::uint32_t cl = load_be32(buffer), cr = load_be32(buffer + 4);
    std::uint32_t l = cl, r = cr;
    des_decrypt_block(context, l, r);
    store_be32(buffer, l ^ iv_l);
    store_be32(buffer + 4, r ^ iv_r);
    iv_l = cl;
    iv_r = cr;
  }
  context->iv[0] = iv_l;
  context->iv[1] = iv_r;
}

void des_decrypt_xdm_auth(const unsigned char key[7], unsigned char* buffer, std::size_t length) {
  unsigned char spread[8];
  std::uint64_t key_bits = 0;
  for (int i = 0; i < 7; ++i) key_bits = key_bits << 8 | key[i];
  for (int i = 0; i < 8; ++i) spread[i] = static_cast<unsigned char>(((key_bits >> (49 - 7 * i)) & 0x7f) << 1);
  DesContext context;
  ScopedClear<DesContext> clear_context(context);
  des_key_setup(&context, spread);
  des_cbc_decrypt(&context, buffer, length);
  secure_clear(spread, sizeof spread);
  secure_clear(&key_bits, sizeof key_bits);
}

void* des_cipher_new_context() { return context_alloc<DesContext>(); }

void des_cipher_free_context(void* context) { context_free(static_cast<DesContext*>(context)); }

void des_cipher_set_iv(void* context, const unsigned char* iv) { des_set_iv(static_cast<DesContext*>(context), iv); }

void des_cipher_set_key(void* context, const unsigned char* key) {
  // Key set-up zeroes the IV; keep one that was loaded first.
  DesContext* des = static_cast<DesContext*>(context);
  const std::uint32_t iv[2] = {des->iv[0], des->iv[1]};
  des_key_setup(des, key);
  des->iv[0] = iv[0];
  des->iv[1] = iv[1];
}

void des_cipher_encrypt_cbc(void* context, unsigned char* buffer, std::size_t length) {
  des_cbc_encrypt(static_cast<DesContext*>(context), buffer, length);
}

void des_cipher_decrypt_cbc(void* context, unsigned char* buffer, std::size_t length) {
  des_cbc_decrypt(static_cast<DesContext*>(context), buffer, length);
}

void* ssh1_des_new_context() { return context_alloc<Ssh1DesContext>(); }

void ssh1_des_free_context(void* context) { context_free(static_cast<Ssh1DesContext*>(context)); }

void ssh1_des_set_session_key(void* context, const unsigned char* key) {
  Ssh1DesContext* des = static_cast<Ssh1DesContext*>(context);
  des_key_setup(&des->send, key);
  des_key_setup(&des->receive, key);
}

void ssh1_des_encrypt(void* context, unsigned char* buffer, std::size_t length) {
  des_cbc_encrypt(&static_cast<Ssh1DesContext*>(context)->send, buffer, length);
}

void ssh1_des_decrypt(void* context, unsigned char* buffer, std::size_t length) {
  des_cbc_decrypt(&static_cast<Ssh1DesContext*>(context)->receive, buffer, length);
}
