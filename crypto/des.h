#pragma once
// DES (FIPS 46-3): the block transform, CBC mode, the SSH-2 "des-cbc" and SSH-1 single-DES
// cipher operations, and the X11 authorisation decryption.

#include <cstddef>
#include <cstdint>

struct DesContext {
  std::uint32_t key_schedule[32];  // two words per round, S-box input groups (1,3,5,7) and (2,4,6,8)
  std::uint32_t iv[2];             // CBC chaining value or counter, big-endian halves
};

// Loads 8 key bytes (parity bits ignored) and zeroes the IV.
void des_key_setup(DesContext* context, const unsigned char key[8]);
void des_set_iv(DesContext* context, const unsigned char iv[8]);
void des_cbc_encrypt(DesContext* context, unsigned char* buffer, std::size_t length);
void des_cbc_decrypt(DesContext* context, unsigned char* buffer, std::size_t length);
void des_encrypt_block(const DesContext* context, std::uint32_t& left, std::uint32_t& right);
void des_decrypt_block(const DesContext* context, std::uint32_t& left, std::uint32_t& right);

// The pieces from which triple DES is composed without permuting between its stages:
// des_rounds takes a block after the initial permutation and leaves the pre-output block
// (halves exchanged), which is what the next stage's rounds expect.
void des_initial_permutation(std::uint32_t& left, std::uint32_t& right);
void des_final_permutation(std::uint32_t& left, std::uint32_t& right);
void des_rounds(const DesContext* context, std::uint32_t& left, std::uint32_t& right, bool decrypt);

// X11 authorisation: spreads the 7-byte key over 8 bytes (7 bits each, low bit zero) and
// decrypts the buffer with single DES in CBC mode from a zero IV.
void des_decrypt_xdm_auth(const unsigned char key[7], unsigned char* buffer, std::size_t length);

// Operations for the SSH-2 "des-cbc" CipherAlgorithm records.
void* des_cipher_new_context();
void des_cipher_free_context(void* context);
void des_cipher_set_iv(void* context, const unsigned char* iv);
void des_cipher_set_key(void* context, const unsigned char* key);
void des_cipher_encrypt_cbc(void* context, unsigned char* buffer, std::size_t length);
void des_cipher_decrypt_cbc(void* context, unsigned char* buffer, std::size_t length);

// Operations for the SSH-1 single-DES record: one context for sending, one for receiving.
void* ssh1_des_new_context();
void ssh1_des_free_context(void* context);
void ssh1_des_set_session_key(void* context, const unsigned char* key);
void ssh1_des_encrypt(void* context, unsigned char* buffer, std::size_t length);
void ssh1_des_decrypt(void* context, unsigned char* buffer, std::size_t length);
