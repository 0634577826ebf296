#pragma once
// The SHA-1 compression function with the processor's SHA instructions, over whole 64-byte
// blocks. Only called where cpu_has_sha_instructions().

#include <cstddef>
#include <cstdint>

void sha1_instructions_transform(std::uint32_t h[5], const unsigned char* blocks, std::size_t count);
