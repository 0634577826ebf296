#pragma once
// AES with the processor's AES instructions, for 16-byte blocks: the same modes as aes.cpp over
// whole blocks, from the round keys in byte order. Only called where cpu_has_aes_instructions().

#include <cstddef>
#include <cstdint>

// counter and iv are the context's big-endian words, carried on to the next call.
void aes_instructions_sdctr(const unsigned char* round_keys, int rounds, std::uint32_t counter[4],
                            unsigned char* buffer, std::size_t blocks);
void aes_instructions_encrypt_cbc(const unsigned char* round_keys, int rounds, std::uint32_t iv[4],
                                  unsigned char* buffer, std::size_t blocks);
// inverse_round_keys: the equivalent inverse cipher's schedule (aes.cpp builds it).
void aes_instructions_decrypt_cbc(const unsigned char* inverse_round_keys, int rounds, std::uint32_t iv[4],
                                  unsigned char* buffer, std::size_t blocks);
