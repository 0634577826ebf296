#pragma once
// Detection of the SSH-1 CRC-32 compensation attack: crafted packets repeat cipher blocks so
// that the CRC still matches. Each received encrypted SSH-1 packet is checked before it is
// decrypted.

#include <cstddef>
#include <cstdint>

struct AttackDetector {
  std::uint16_t* table;  // block indices by hash of the block's first word; none until first use
  std::uint32_t size;    // entries: 4096, growing only, by factors of 4
};

// Block counts the 16-bit table can name: two values are reserved for "empty" and "the IV".
constexpr std::size_t ATTACK_DETECTOR_MAX_BLOCKS = 0xfffe;

AttackDetector* attack_detector_new();
void attack_detector_free(AttackDetector* detector);
// 1 when the packet (whole 8-byte blocks; iv may be null) shows the attack, else 0. A packet of
// more blocks than the table can name is refused as an attack too.
int attack_detector_check(AttackDetector* detector, const unsigned char* cipher_text, std::size_t length,
                          const unsigned char* iv);
