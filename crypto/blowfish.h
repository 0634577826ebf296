#pragma once
// Blowfish (Schneier, 1993): SSH-2 CBC and SDCTR with big-endian words, and the SSH-1 CBC
// variant that reads each block as two little-endian words.

#include <cstddef>
#include <cstdint>

struct BlowfishContext {
  std::uint32_t S0[256], S1[256], S2[256], S3[256];
  std::uint32_t P[18];
  std::uint32_t iv[2];  // chaining value or counter
};

// The standard schedule; the key (1 to 56 bytes) is repeated cyclically over the P-array.
void blowfish_key_setup(BlowfishContext* context, const unsigned char* key, std::size_t key_length);
void blowfish_encrypt_block(const BlowfishContext* context, std::uint32_t& left, std::uint32_t& right);
void blowfish_decrypt_block(const BlowfishContext* context, std::uint32_t& left, std::uint32_t& right);

void blowfish_set_iv(BlowfishContext* context, const unsigned char iv[8]);  // big-endian words
void blowfish_encrypt_cbc(BlowfishContext* context, unsigned char* buffer, std::size_t length);
void blowfish_decrypt_cbc(BlowfishContext* context, unsigned char* buffer, std::size_t length);
// Counter mode with a 64-bit big-endian counter; encryption and decryption alike.
void blowfish_sdctr(BlowfishContext* context, unsigned char* buffer, std::size_t length);
// SSH-1: CBC with each block and the chaining value as two little-endian words.
void blowfish_lsb_encrypt_cbc(BlowfishContext* context, unsigned char* buffer, std::size_t length);
void blowfish_lsb_decrypt_cbc(BlowfishContext* context, unsigned char* buffer, std::size_t length);

// Operations for the SSH-2 "blowfish-cbc" (16-byte key) and "blowfish-ctr" (32-byte key) records.
void* blowfish_cipher_new_context();
void blowfish_cipher_free_context(void* context);
void blowfish_cipher_set_iv(void* context, const unsigned char* iv);
void blowfish128_cipher_set_key(void* context, const unsigned char* key);
void blowfish256_cipher_set_key(void* context, const unsigned char* key);
void blowfish_cipher_encrypt_cbc(void* context, unsigned char* buffer, std::size_t length);
void blowfish_cipher_decrypt_cbc(void* context, unsigned char* buffer, std::size_t length);
void blowfish_cipher_sdctr(void* context, unsigned char* buffer, std::size_t length);

// Operations for the SSH-1 Blowfish record: the first context sends, the second receives,
// both keyed from the whole 32-byte session key with zero IVs.
void* ssh1_blowfish_new_context();
void ssh1_blowfish_free_context(void* context);
void ssh1_blowfish_set_session_key(void* context, const unsigned char* key);
void ssh1_blowfish_encrypt(void* context, unsigned char* buffer, std::size_t length);
void ssh1_blowfish_decrypt(void* context, unsigned char* buffer, std::size_t length);
