#include "crypto/aes.h"

#include <algorithm>

#include "crypto/aes_instructions.h"
#include "crypto/aes_tables.h"
#include "crypto/byte_order.h"
#include "crypto/context_memory.h"
#include "crypto/cpu_features.h"
#include "crypto/secure_clear.h"

namespace {

using aes_detail::tables;

const auto& te0 = tables.encrypt[0];
const auto& te1 = tables.encrypt[1];
const auto& te2 = tables.encrypt[2];
const auto& te3 = tables.encrypt[3];
const auto& td0 = tables.decrypt[0];
const auto& td1 = tables.decrypt[1];
const auto& td2 = tables.decrypt[2];
const auto& td3 = tables.decrypt[3];
const auto& sbox = tables.sbox;
const auto& inverse_sbox = tables.inverse_sbox;

inline std::uint32_t byte_of(std::uint32_t w, int shift) { return (w >> shift) & 0xff; }

inline std::uint32_t sub_word(std::uint32_t w) {
  return std::uint32_t(sbox[w >> 24]) << 24 | std::uint32_t(sbox[byte_of(w, 16)]) << 16 |
         std::uint32_t(sbox[byte_of(w, 8)]) << 8 | sbox[w & 0xff];
}

inline std::uint32_t inverse_mix_column(std::uint32_t w) {
  // The decryption tables apply the inverse S-box first, so undo it with the S-box.
  return td0[sbox[w >> 24]] ^ td1[sbox[byte_of(w, 16)]] ^ td2[sbox[byte_of(w, 8)]] ^ td3[sbox[w & 0xff]];
}

// Row shifts of Rijndael by block length: 4 and 6 words shift by 1, 2, 3; 8 words by 1, 3, 4.
struct RowShifts {
  int c1, c2, c3;
};

RowShifts row_shifts(int nb) { return nb == 8 ? RowShifts{1, 3, 4} : RowShifts{1, 2, 3}; }

void encrypt_block_4(const AesContext* context, std::uint32_t* block) {
  const std::uint32_t* rk = context->key_schedule;
  std::uint32_t s0 = block[0] ^ rk[0], s1 = block[1] ^ rk[1], s2 = block[2] ^ rk[2], s3 = block[3] ^ rk[3];
  for (int round = 1; round < context->Nr; ++round) {
    rk += 4;
    const std::uint32_t t0 = te0[s0 >> 24] ^ te1[byte_of(s1, 16)] ^ te2[byte_of(s2, 8)] ^ te3[s3 & 0xff] ^ rk[0];
    const std::uint32_t t1 = te0[s1 >> 24] ^ te1[byte_of(s2, 16)] ^ te2[byte_of(s3, 8)] ^ te3[s0 & 0xff] ^ rk[1];
    const std::uint32_t t2 = te0[s2 >> 24] ^ te1[byte_of(s3, 16)] ^ te2[byte_of(s0, 8)] ^ te3[s1 & 0xff] ^ rk[2];
    const std::uint32_t t3 = te0[s3 >> 24] ^ te1[byte_of(s0, 16)] ^ te2[byte_of(s1, 8)] ^ te3[s2 & 0xff] ^ rk[3];
    s0 = t0;
    s1 = t1;
    s2 = t2;
    s3 = t3;
  }
  rk += 4;
  auto last = [](std::uint32_t a, std::uint32_t b, std::uint32_t c, std::uint32_t d) {
    return std::uint32_t(sbox[a >> 24]) << 24 | std::uint32_t(sbox[byte_of(b, 16)]) << 16 |
           std::uint32_t(sbox[byte_of(c, 8)]) << 8 | sbox[d & 0xff];
  };
  block[0] = last(s0, s1, s2, s3) ^ rk[0];
  block[1] = last(s1, s2, s3, s0) ^ rk[1];
  block[2] = last(s2, s3, s0, s1) ^ rk[2];
  block[3] = last(s3, s0, s1, s2) ^ rk[3];
}

void decrypt_block_4(const AesContext* context, std::uint32_t* block) {
  const std::uint32_t* rk = context->inverse_key_schedule;
  std::uint32_t s0 = block[0] ^ rk[0], s1 = block[1] ^ rk[1], s2 = block[2] ^ rk[2], s3 = block[3] ^ rk[3];
  for (int round = 1; round < context->Nr; ++round) {
    rk += 4;
    const std::uint32_t t0 = td0[s0 >> 24] ^ td1[byte_of(s3, 16)] ^ td2[byte_of(s2, 8)] ^ td3[s1 & 0xff] ^ rk[0];
    const std::uint32_t t1 = td0[s1 >> 24] ^ td1[byte_of(s0, 16)] ^ td2[byte_of(s3, 8)] ^ td3[s2 & 0xff] ^ rk[1];
    const std::uint32_t t2 = td0[s2 >> 24] ^ td1[byte_of(s1, 16)] ^ td2[byte_of(s0, 8)] ^ td3[s3 & 0xff] ^ rk[2];
    const std::uint32_t t3 = td0[s3 >> 24] ^ td1[byte_of(s2, 16)] ^ td2[byte_of(s1, 8)] ^ td3[s0 & 0xff] ^ rk[3];
    s0 = t0;
    s1 = t1;
    s2 = t2;
    s3 = t3;
  }
  rk += 4;
  auto last = [](std::uint32_t a, std::uint32_t b, std::uint32_t c, std::uint32_t d) {
    return std::uint32_t(inverse_sbox[a >> 24]) << 24 | std::uint32_t(inverse_sbox[byte_of(b, 16)]) << 16 |
           std::uint32_t(inverse_sbox[byte_of(c, 8)]) << 8 | inverse_sbox[d & 0xff];
  };
  block[0] = last(s0, s3, s2, s1) ^ rk[0];
  block[1] = last(s1, s0, s3, s2) ^ rk[1];
  block[2] = last(s2, s1, s0, s3) ^ rk[2];
  block[3] = last(s3, s2, s1, s0) ^ rk[3];
}

// Rijndael with 6- or 8-word blocks: the same rounds with the wider row shifts.
void encrypt_block_wide(const AesContext* context, std::uint32_t* block) {
  const int nb = context->Nb;
  const RowShifts shift = row_shifts(nb);
  const std::uint32_t* rk = context->key_schedule;
  std::uint32_t s[8], t[8];
  for (int j = 0; j < nb; ++j) s[j] = block[j] ^ rk[j];
  for (int round = 1; round <= context->Nr; ++round) {
    rk += nb;
    for (int j = 0; j < nb; ++j) {
      const std::uint32_t a = s[j], b = s[(j + shift.c1) % nb], c = s[(j + shift.c2) % nb], d = s[(j + shift.c3) % nb];
      if (round < context->Nr)
        t[j] = te0[a >> 24] ^ te1[byte_of(b, 16)] ^ te2[byte_of(c, 8)] ^ te3[d & 0xff] ^ rk[j];
      else
        t[j] = (std::uint32_t(sbox[a >> 24]) << 24 | std::uint32_t(sbox[byte_of(b, 16)]) << 16 |
                std::uint32_t(sbox[byte_of(c, 8)]) << 8 | sbox[d & 0xff]) ^
               rk[j];
    }
    std::copy(t, t + nb, s);
  }
  std::copy(s, s + nb, block);
}

void decrypt_block_wide(const AesContext* context, std::uint32_t* block) {
  const int nb = context->Nb;
  const RowShifts shift = row_shifts(nb);
  const std::uint32_t* rk = context->inverse_key_schedule;
  std::uint32_t s[8], t[8];
  for (int j = 0; j < nb; ++j) s[j] = block[j] ^ rk[j];
  for (int round = 1; round <= context->Nr; ++round) {
    rk += nb;
    for (int j = 0; j < nb; ++j) {
      const std::uint32_t a = s[j], b = s[(j + nb - shift.c1) % nb], c = s[(j + nb - shift.c2) % nb],
                          d = s[(j + nb - shift.c3) % nb];
      if (round < context->Nr)
        t[j] = td0[a >> 24] ^ td1[byte_of(b, 16)] ^ td2[byte_of(c, 8)] ^ td3[d & 0xff] ^ rk[j];
      else
        t[j] = (std::uint32_t(inverse_sbox[a >> 24]) << 24 | std::uint32_t(inverse_sbox[byte_of(b, 16)]) << 16 |
                std::uint32_t(inverse_sbox[byte_of(c, 8)]) << 8 | inverse_sbox[d & 0xff]) ^
               rk[j];
    }
    std::copy(t, t + nb, s);
  }
  std::copy(s, s + nb, block);
}

void load_block(std::uint32_t* words, const unsigned char* bytes, int nb) {
  for (int j = 0; j < nb; ++j) words[j] = load_be32(bytes + 4 * j);
}

void store_block(unsigned char* bytes, const std::uint32_t* words, int nb) {
  for (int j = 0; j < nb; ++j) store_be32(bytes + 4 * j, words[j]);
}

bool uses_instructions(const AesContext* context) { return context->Nb == 4 && cpu_has_aes_instructions(); }

}  // namespace

AesContext* aes_make_context() {
  AesContext* context = context_alloc<AesContext>();
  context->Nb = 4;  // an IV may be loaded before the key
  return context;
}

void aes_free_context(AesContext* context) { context_free(context); }

bool aes_setup(AesContext* context, int block_bytes, const unsigned char* key, int key_bytes) {
  const bool valid_size = [](int n) { return n == 16 || n == 24 || n == 32; }(block_bytes);
  if (!valid_size || !(key_bytes == 16 || key_bytes == 24 || key_bytes == 32)) return false;
  const int nb = block_bytes / 4, nk = key_bytes / 4;
  context->Nb = nb;
  context->Nr = std::max(nb, nk) + 6;
  context->encrypt_block = nb == 4 ? encrypt_block_4 : encrypt_block_wide;
  context->decrypt_block = nb == 4 ? decrypt_block_4 : decrypt_block_wide;

  std::uint32_t* w = context->key_schedule;
  const int total = nb * (context->Nr + 1);
  for (int i = 0; i < nk; ++i) w[i] = load_be32(key + 4 * i);
  std::uint8_t round_constant = 1;
  for (int i = nk; i < total; ++i) {
    std::uint32_t temp = w[i - 1];
    if (i % nk == 0) {
      temp = sub_word(rotl32(temp, 8)) ^ (std::uint32_t(round_constant) << 24);
      round_constant = aes_detail::xtime(round_constant);
    } else if (nk > 6 && i % nk == 4) {
      temp = sub_word(temp);
    }
    w[i] = w[i - nk] ^ temp;
  }

  // Equivalent inverse cipher: round keys in reverse order, inner ones through InvMixColumns.
  std::uint32_t* d = context->inverse_key_schedule;
  for (int round = 0; round <= context->Nr; ++round) {
    const std::uint32_t* source = w + nb * (context->Nr - round);
    for (int j = 0; j < nb; ++j)
      d[nb * round + j] = (round == 0 || round == context->Nr) ? source[j] : inverse_mix_column(source[j]);
  }
  if (nb == 4) {
    store_block(context->round_key_bytes, w, total);
    store_block(context->inverse_round_key_bytes, d, total);
  }
  return true;
}

void aes_set_iv(AesContext* context, const unsigned char* iv) { load_block(context->iv, iv, context->Nb); }

void aes_encrypt_cbc(AesContext* context, unsigned char* buffer, std::size_t length) {
  if (uses_instructions(context))
    return aes_instructions_encrypt_cbc(context->round_key_bytes, context->Nr, context->iv, buffer, length / 16);
  const int nb = context->Nb;
  const std::size_t block_bytes = 4 * static_cast<std::size_t>(nb);
  std::uint32_t block[8];
  std::copy(context->iv, context->iv + nb, block);
  for (; length >= block_bytes; buffer += block_bytes, length -= block_bytes) {
    for (int j = 0; j < nb; ++j) block[j] ^= load_be32(buffer + 4 * j);
    context->encrypt_block(context, block);
    store_block(buffer, block, nb);
  }
  std::copy(block, block + nb, context->iv);
  secure_clear(block, sizeof block);
}

void aes_decrypt_cbc(AesContext* context, unsigned char* buffer, std::size_t length) {
  if (uses_instructions(context))
    return aes_instructions_decrypt_cbc(context->inverse_round_key_bytes, context->Nr, context->iv, buffer,
                                        length / 16);
  const int nb = context->Nb;
  const std::size_t block_bytes = 4 * static_cast<std::size_t>(nb);
  std::uint32_t block[8], cipher_text[8];
  for (; length >= block_bytes; buffer += block_bytes, length -= block_bytes) {
    load_block(cipher_text, buffer, nb);
    std::copy(cipher_text, cipher_text + nb, block);
    context->decrypt_block(context, block);
    for (int j = 0; j < nb; ++j) store_be32(buffer + 4 * j, block[j] ^ context->iv[j]);
    std::copy(cipher_text, cipher_text + nb, context->iv);
  }
  secure_clear(block, sizeof block);
}

void aes_sdctr(AesContext* context, unsigned char* buffer, std::size_t length) {
  if (uses_instructions(context))
    return aes_instructions_sdctr(context->round_key_bytes, context->Nr, context->iv, buffer, length / 16);
  const int nb = context->Nb;
  const std::size_t block_bytes = 4 * static_cast<std::size_t>(nb);
  std::uint32_t keystream[8];
  for (; length >= block_bytes; buffer += block_bytes, length -= block_bytes) {
    std::copy(context->iv, context->iv + nb, keystream);
    context->encrypt_block(context, keystream);
    for (int j = 0; j < nb; ++j) store_be32(buffer + 4 * j, load_be32(buffer + 4 * j) ^ keystream[j]);
    for (int j = nb - 1; j >= 0 && ++context->iv[j] == 0; --j) {
    }
  }
  secure_clear(keystream, sizeof keystream);
}

void aes256_decrypt_key_file(const unsigned char key[32], unsigned char* buffer, std::size_t length) {
  AesContext context{};  // zero IV
  ScopedClear<AesContext> clear_context(context);
  aes_setup(&context, 16, key, 32);
  aes_decrypt_cbc(&context, buffer, length);
}

void* aes_cipher_new_context() { return aes_make_context(); }

void aes_cipher_free_context(void* context) { aes_free_context(static_cast<AesContext*>(context)); }

void aes_cipher_set_iv(void* context, const unsigned char* iv) { aes_set_iv(static_cast<AesContext*>(context), iv); }

void aes128_cipher_set_key(void* context, const unsigned char* key) {
  aes_setup(static_cast<AesContext*>(context), 16, key, 16);
}

void aes192_cipher_set_key(void* context, const unsigned char* key) {
  aes_setup(static_cast<AesContext*>(context), 16, key, 24);
}

void aes256_cipher_set_key(void* context, const unsigned char* key) {
  aes_setup(static_cast<AesContext*>(context), 16, key, 32);
}

void aes_cipher_encrypt_cbc(void* context, unsigned char* buffer, std::size_t length) {
  aes_encrypt_cbc(static_cast<AesContext*>(context), buffer, length);
}

void aes_cipher_decrypt_cbc(void* context, unsigned char* buffer, std::size_t length) {
  aes_decrypt_cbc(static_cast<AesContext*>(context), buffer, length);
}

void aes_cipher_sdctr(void* context, unsigned char* buffer, std::size_t length) {
  aes_sdctr(static_cast<AesContext*>(context), buffer, length);
}
