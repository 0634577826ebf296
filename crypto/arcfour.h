#pragma once
// Arcfour (the RC4 keystream): the SSH-2 "arcfour128" and "arcfour256" ciphers, which throw
// away the first 1536 keystream bytes after key set-up (RFC 4345).

#include <cstddef>
#include <cstdint>

struct ArcfourContext {
  std::uint8_t i;
  std::uint8_t j;
  std::uint8_t s[256];
};

// The RC4 key schedule with the key repeated cyclically; nothing is discarded.
void arcfour_key_setup(ArcfourContext* context, const unsigned char* key, std::size_t key_length);
// XORs the keystream into the buffer (encryption and decryption alike).
void arcfour_crypt(ArcfourContext* context, unsigned char* buffer, std::size_t length);

constexpr std::size_t ARCFOUR_DISCARD = 1536;

// Operations for the CipherAlgorithm records; set_key discards the first 1536 bytes.
void* arcfour_cipher_new_context();
void arcfour_cipher_free_context(void* context);
void arcfour_cipher_set_iv(void* context, const unsigned char* iv);  // does nothing
void arcfour128_cipher_set_key(void* context, const unsigned char* key);
void arcfour256_cipher_set_key(void* context, const unsigned char* key);
void arcfour_cipher_crypt(void* context, unsigned char* buffer, std::size_t length);
