#pragma once
// Operation records through which the SSH layers reach the symmetric primitives. The order of
// the members is fixed; instances are program-wide constants and per-connection state lives in
// the context returned by new_context, owned by the caller and released by free_context.

#include <cstddef>
#include <cstdint>

// One SSH-2 cipher. encrypt and decrypt work in place on a whole number of blocks.
struct CipherAlgorithm {
  void* (*new_context)();
  void (*free_context)(void* ctx);
  void (*set_iv)(void* ctx, const unsigned char* iv);
  void (*set_key)(void* ctx, const unsigned char* key);
  void (*encrypt)(void* ctx, unsigned char* buffer, std::size_t length);
  void (*decrypt)(void* ctx, unsigned char* buffer, std::size_t length);
  const char* name;
  int block_size;
  int key_bits;
  unsigned flags;
  const char* display_name;
};

// CipherAlgorithm::flags: the cipher runs in CBC mode.
constexpr unsigned SSH_CIPHER_IS_CBC = 1;

// One cipher family, members in order of preference.
struct CipherGroup {
  int count;
  const CipherAlgorithm* const* list;
};

// One SSH-1 cipher; its context keeps separate state for sending and receiving.
struct Ssh1CipherAlgorithm {
  void* (*new_context)();
  void (*free_context)(void* ctx);
  void (*set_session_key)(void* ctx, const unsigned char* key);
  void (*encrypt)(void* ctx, unsigned char* buffer, std::size_t length);
  void (*decrypt)(void* ctx, unsigned char* buffer, std::size_t length);
  int block_size;
  const char* display_name;
};

// One SSH-2 packet MAC over the big-endian 32-bit sequence number followed by the packet.
// generate writes the MAC right behind the packet; verify returns 1 when the bytes behind the
// packet match, else 0.
struct MacAlgorithm {
  void* (*new_context)();
  void (*free_context)(void* ctx);
  void (*set_key)(void* ctx, const unsigned char* key);
  void (*generate)(void* ctx, unsigned char* packet, std::size_t length, std::uint32_t sequence);
  int (*verify)(void* ctx, const unsigned char* packet, std::size_t length, std::uint32_t sequence);
  const char* name;
  int mac_length;
  const char* display_name;
};

// One hash for key exchange. finish writes the digest and releases the state.
struct HashAlgorithm {
  void* (*begin)();
  void (*feed)(void* state, const void* data, std::size_t length);
  void (*finish)(void* state, unsigned char* digest);
  int digest_length;
  const char* name;
};
