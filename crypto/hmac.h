#pragma once
// HMAC (RFC 2104) over MD5 and SHA-1: prepared contexts that serve any number of messages,
// one-shot digests, and the operations of the SSH packet-MAC records.

#include <cstddef>
#include <cstdint>

#include "crypto/md5.h"
#include "crypto/sha1.h"

constexpr std::size_t HMAC_BLOCK_LENGTH = 64;

// Hash states already fed with the key block XOR 0x36 (inner) and XOR 0x5C (outer).
struct HmacMd5Context {
  Md5State inner;
  Md5State outer;
};

struct HmacSha1Context {
  Sha1State inner;
  Sha1State outer;
};

// Keys longer than the 64-byte block are hashed first, as RFC 2104 requires.
HmacMd5Context* hmac_md5_new();
void hmac_md5_free(HmacMd5Context* context);  // wipes before release
void hmac_md5_set_key(HmacMd5Context* context, const unsigned char* key, std::size_t key_length);
void hmac_md5_compute(const HmacMd5Context* context, const void* data, std::size_t length,
                      unsigned char mac[MD5_DIGEST_LENGTH]);

HmacSha1Context* hmac_sha1_new();
void hmac_sha1_free(HmacSha1Context* context);  // wipes before release
void hmac_sha1_set_key(HmacSha1Context* context, const unsigned char* key, std::size_t key_length);
void hmac_sha1_compute(const HmacSha1Context* context, const void* data, std::size_t length,
                       unsigned char mac[SHA1_DIGEST_LENGTH]);
void hmac_sha1_digest(const unsigned char* key, std::size_t key_length, const void* data, std::size_t length,
                      unsigned char mac[SHA1_DIGEST_LENGTH]);

// Operations for the MacAlgorithm records. The MAC covers the big-endian 32-bit sequence
// number followed by the packet; generate writes it behind the packet, verify compares the
// bytes behind the packet in constant time and returns 1 on a match.
void* hmac_md5_mac_new_context();
void hmac_md5_mac_free_context(void* context);
void hmac_md5_mac_set_key(void* context, const unsigned char* key);  // 16 bytes
void hmac_md5_mac_generate(void* context, unsigned char* packet, std::size_t length, std::uint32_t sequence);
int hmac_md5_mac_verify(void* context, const unsigned char* packet, std::size_t length, std::uint32_t sequence);

void* hmac_sha1_mac_new_context();
void hmac_sha1_mac_free_context(void* context);
void hmac_sha1_mac_set_key(void* context, const unsigned char* key);  // 20 bytes
// For servers that use only 16 bytes of the 20-byte SHA-1 MAC key.
void hmac_sha1_mac_set_key_16(void* context, const unsigned char* key);
void hmac_sha1_mac_generate(void* context, unsigned char* packet, std::size_t length, std::uint32_t sequence);
int hmac_sha1_mac_verify(void* context, const unsigned char* packet, std::size_t length, std::uint32_t sequence);
// "hmac-sha1-96": the first 12 bytes of HMAC-SHA1.
void hmac_sha1_96_mac_generate(void* context, unsigned char* packet, std::size_t length, std::uint32_t sequence);
int hmac_sha1_96_mac_verify(void* context, const unsigned char* packet, std::size_t length, std::uint32_t sequence);
