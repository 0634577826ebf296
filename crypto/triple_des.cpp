#include "crypto/triple_des.h"

#include "crypto/byte_order.h"
#include "crypto/context_memory.h"
#include "crypto/secure_clear.h"

namespace {

// The inner permutations cancel, so the three stages run between one IP and one FP.
void encrypt_ede(const TripleDesContext* context, std::uint32_t& l, std::uint32_t& r) {
  des_initial_permutation(l, r);
  des_rounds(&context->stage[0], l, r, false);
  des_rounds(&context->stage[1], l, r, true);
  des_rounds(&context->stage[2], l, r, false);
  des_final_permutation(l, r);
}

void decrypt_ede(const TripleDesContext* context, std::uint32_t& l, std::uint32_t& r) {
  des_initial_permutation(l, r);
  des_rounds(&context->stage[2], l, r, true);
  des_rounds(&context->stage[1], l, r, false);
  des_rounds(&context->stage[0], l, r, true);
  des_final_permutation(l, r);
}

void inner_cbc_decrypt(DesContext* third, DesContext* second, DesContext* first, unsigned char* buffer,
                       std::size_t length) {
  des_cbc_decrypt(third, buffer, length);
  des_cbc_encrypt(second, buffer, length);
  des_cbc_decrypt(first, buffer, length);
}

}  // namespace

void des3_key_setup(TripleDesContext* context, const unsigned char key[24]) {
  for (int i = 0; i < 3; ++i) des_key_setup(&context->stage[i], key + 8 * i);
}

void des3_set_iv(TripleDesContext* context, const unsigned char iv[8]) { des_set_iv(&context->stage[0], iv); }

void des3_cbc_encrypt(TripleDesContext* context, unsigned char* buffer, std::size_t length) {
  std::uint32_t l = context->stage[0].iv[0], r = context->stage[0].iv[1];
  for (; length >= 8; buffer += 8, length -= 8) {
    l ^= load_be32(buffer);
    r ^= load_be32(buffer + 4);
    encrypt_ede(context, l, r);
    store_be32(buffer, l);
    store_be32(buffer + 4, r);
  }
  context->stage[0].iv[0] = l;
  context->stage[0].iv[1] = r;
}

void des3_cbc_decrypt(TripleDesContext* context, unsigned char* buffer, std::size_t length) {
  std::uint32_t iv_l = context->stage[0].iv[0], iv_r = context->stage[0].iv[1];
  for (; length >= 8; buffer += 8, length -= 8) {
    const std::uint32_t cl = load_be32(buffer), cr = load_be32(buffer + 4);
    std::uint32_t l = cl, r = cr;
    decrypt_ede(context, l, r);
    store_be32(buffer, l ^ iv_l);
    store_be32(buffer + 4, r ^ iv_r);
    iv_l = cl;
    iv_r = cr;
  }
  context->stage[0].iv[0] = iv_l;
  context->stage[0].iv[1] = iv_r;
}

void des3_sdctr(TripleDesContext* context, unsigned char* buffer, std::size_t length) {
  std::uint32_t* counter = context->stage[0].iv;
  for (; length >= 8; buffer += 8, length -= 8) {
    std::uint32_t l = counter[0], r = counter[1];
    encrypt_ede(context, l, r);
    store_be32(buffer, load_be32(buffer) ^ l);
    store_be32(buffer + 4, load_be32(buffer + 4) ^ r);
    if (++counter[1] == 0) ++counter[0];
  }
}

void ssh1_des3_key_setup(Ssh1TripleDesContext* context, const unsigned char key[24]) {
  for (int i = 0; i < 3; ++i) {
    des_key_setup(&context->stage[i], key + 8 * i);
    des_key_setup(&context->stage[3 + i], key + 8 * i);
  }
}

void ssh1_des3_encrypt_inner_cbc(Ssh1TripleDesContext* context, unsigned char* buffer, std::size_t length) {
  des_cbc_encrypt(&context->stage[0], buffer, length);
  des_cbc_decrypt(&context->stage[1], buffer, length);
  des_cbc_encrypt(&context->stage[2], buffer, length);
}

void ssh1_des3_decrypt_inner_cbc(Ssh1TripleDesContext* context, unsigned char* buffer, std::size_t length) {
  inner_cbc_decrypt(&context->stage[5], &context->stage[4], &context->stage[3], buffer, length);
}

void des3_decrypt_key_file(const unsigned char key[16], unsigned char* buffer, std::size_t length) {
  DesContext stages[3];
  des_key_setup(&stages[0], key);
  des_key_setup(&stages[1], key + 8);
  des_key_setup(&stages[2], key);
  inner_cbc_decrypt(&stages[2], &stages[1], &stages[0], buffer, length);
  secure_clear(stages, sizeof stages);
}

void* des3_cipher_new_context() { return context_alloc<TripleDesContext>(); }

void des3_cipher_free_context(void* context) { context_free(static_cast<TripleDesContext*>(context)); }

void des3_cipher_set_iv(void* context, const unsigned char* iv) {
  des3_set_iv(static_cast<TripleDesContext*>(context), iv);
}

void des3_cipher_set_key(void* context, const unsigned char* key) {
  // Key set-up zeroes the IVs; keep one that was loaded first.
  TripleDesContext* des3 = static_cast<TripleDesContext*>(context);
  const std::uint32_t iv[2] = {des3->stage[0].iv[0], des3->stage[0].iv[1]};
  des3_key_setup(des3, key);
  des3->stage[0].iv[0] = iv[0];
  des3->stage[0].iv[1] = iv[1];
}

void des3_cipher_encrypt_cbc(void* context, unsigned char* buffer, std::size_t length) {
  des3_cbc_encrypt(static_cast<TripleDesContext*>(context), buffer, length);
}

void des3_cipher_decrypt_cbc(void* context, unsigned char* buffer, std::size_t length) {
  des3_cbc_decrypt(static_cast<TripleDesContext*>(context), buffer, length);
}

void des3_cipher_sdctr(void* context, unsigned char* buffer, std::size_t length) {
  des3_sdctr(static_cast<TripleDesContext*>(context), buffer, length);
}

void* ssh1_des3_new_context() { return context_alloc<Ssh1TripleDesContext>(); }

void ssh1_des3_free_context(void* context) { context_free(static_cast<Ssh1TripleDesContext*>(context)); }

void ssh1_des3_set_session_key(void* context, const unsigned char* key) {
  ssh1_des3_key_setup(static_cast<Ssh1TripleDesContext*>(context), key);
}

void ssh1_des3_encrypt(void* context, unsigned char* buffer, std::size_t length) {
  ssh1_des3_encrypt_inner_cbc(static_cast<Ssh1TripleDesContext*>(context), buffer, length);
}

void ssh1_des3_decrypt(void* context, unsigned char* buffer, std::size_t length) {
  ssh1_des3_decrypt_inner_cbc(static_cast<Ssh1TripleDesContext*>(context), buffer, length);
}
