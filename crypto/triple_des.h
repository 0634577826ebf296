#pragma once
// Triple DES (encrypt-decrypt-encrypt): SSH-2 outer CBC and SDCTR, SSH-1 inner CBC, and the
// two-key decryption of SSH-1 private key files.

#include <cstddef>

#include "crypto/des.h"

// SSH-2: keys 1, 2, 3; the chaining value or counter lives in the first stage.
struct TripleDesContext {
  DesContext stage[3];
};

// SSH-1: stages 0-2 send, stages 3-5 receive; each stage chains with its own IV.
struct Ssh1TripleDesContext {
  DesContext stage[6];
};

void des3_key_setup(TripleDesContext* context, const unsigned char key[24]);
void des3_set_iv(TripleDesContext* context, const unsigned char iv[8]);
void des3_cbc_encrypt(TripleDesContext* context, unsigned char* buffer, std::size_t length);
void des3_cbc_decrypt(TripleDesContext* context, unsigned char* buffer, std::size_t length);
// Counter mode with a 64-bit big-endian counter; encryption and decryption alike.
void des3_sdctr(TripleDesContext* context, unsigned char* buffer, std::size_t length);

void ssh1_des3_key_setup(Ssh1TripleDesContext* context, const unsigned char key[24]);
void ssh1_des3_encrypt_inner_cbc(Ssh1TripleDesContext* context, unsigned char* buffer, std::size_t length);
void ssh1_des3_decrypt_inner_cbc(Ssh1TripleDesContext* context, unsigned char* buffer, std::size_t length);

// SSH-1 key files: a 16-byte key gives keys 1, 2 and again 1; inner-CBC decryption from zero
// IVs, and the stages are wiped afterwards.
void des3_decrypt_key_file(const unsigned char key[16], unsigned char* buffer, std::size_t length);

// Operations for the SSH-2 "3des-cbc" and "3des-ctr" CipherAlgorithm records.
void* des3_cipher_new_context();
void des3_cipher_free_context(void* context);
void des3_cipher_set_iv(void* context, const unsigned char* iv);
void des3_cipher_set_key(void* context, const unsigned char* key);
void des3_cipher_encrypt_cbc(void* context, unsigned char* buffer, std::size_t length);
void des3_cipher_decrypt_cbc(void* context, unsigned char* buffer, std::size_t length);
void des3_cipher_sdctr(void* context, unsigned char* buffer, std::size_t length);

// Operations for the SSH-1 triple-DES record (32-byte session key, of which 24 are used).
void* ssh1_des3_new_context();
void ssh1_des3_free_context(void* context);
void ssh1_des3_set_session_key(void* context, const unsigned char* key);
void ssh1_des3_encrypt(void* context, unsigned char* buffer, std::size_t length);
void ssh1_des3_decrypt(void* context, unsigned char* buffer, std::size_t length);
