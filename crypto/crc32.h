#pragma once
// The reflected CRC-32 of IEEE 802.3 (polynomial 0xEDB88320) without initial or final
// inversion, as the SSH-1 packet check uses it.

#include <cstddef>
#include <cstdint>

std::uint32_t crc32_update(std::uint32_t crc, const void* data, std::size_t length);
// crc32_update from 0: the SSH-1 packet CRC.
std::uint32_t crc32_buffer(const void* data, std::size_t length);
