#pragma once
// AES (FIPS 197), with Rijndael's 24- and 32-byte blocks accepted by the key set-up: CBC and
// SDCTR modes for SSH-2, and the one-shot CBC decryption of private key files.

#include <cstddef>
#include <cstdint>

struct AesContext;
using AesBlockFunction = void (*)(const AesContext* context, std::uint32_t* block);

struct AesContext {
  std::uint32_t key_schedule[120];
  std::uint32_t inverse_key_schedule[120];  // the equivalent inverse cipher's round keys
  AesBlockFunction encrypt_block;
  AesBlockFunction decrypt_block;
  std::uint32_t iv[8];  // chaining value or counter, big-endian words; 16-byte blocks use 4
  int Nb;               // block length in words
  int Nr;               // rounds
  // Both schedules in byte order for the processor's AES instructions (16-byte blocks only).
  unsigned char round_key_bytes[15 * 16];
  unsigned char inverse_round_key_bytes[15 * 16];
};

AesContext* aes_make_context();
void aes_free_context(AesContext* context);  // wipes before release
// block_bytes and key_bytes are each 16, 24 or 32; other values are refused with false.
bool aes_setup(AesContext* context, int block_bytes, const unsigned char* key, int key_bytes);
void aes_set_iv(AesContext* context, const unsigned char* iv);
// CBC over whole blocks; the last cipher-text block carries the chaining to the next call.
void aes_encrypt_cbc(AesContext* context, unsigned char* buffer, std::size_t length);
void aes_decrypt_cbc(AesContext* context, unsigned char* buffer, std::size_t length);
// SDCTR: the IV is a big-endian counter over the whole block; encryption and decryption alike.
void aes_sdctr(AesContext* context, unsigned char* buffer, std::size_t length);

// Private key files: AES-256-CBC decryption from a zero IV; nothing of the key stays behind.
void aes256_decrypt_key_file(const unsigned char key[32], unsigned char* buffer, std::size_t length);

// Operations for the CipherAlgorithm records.
void* aes_cipher_new_context();
void aes_cipher_free_context(void* context);
void aes_cipher_set_iv(void* context, const unsigned char* iv);
void aes128_cipher_set_key(void* context, const unsigned char* key);
void aes192_cipher_set_key(void* context, const unsigned char* key);
void aes256_cipher_set_key(void* context, const unsigned char* key);
void aes_cipher_encrypt_cbc(void* context, unsigned char* buffer, std::size_t length);
void aes_cipher_decrypt_cbc(void* context, unsigned char* buffer, std::size_t length);
void aes_cipher_sdctr(void* context, unsigned char* buffer, std::size_t length);
