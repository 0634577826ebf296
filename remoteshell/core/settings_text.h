#pragma once
// Small encoders and parsers for settings texts.
#include <cstdint>

// Encodes 1, 2 or 3 bytes as four characters of the standard base64 alphabet, "=" padded.
void base64_encode_group(const unsigned char* bytes, int count, char* out);

// A decimal number, optional blanks, then an optional unit k/K, m/M or g/G (powers of 1024).
// Computed in 64 bits: "4G" is 4,294,967,296.
uint64_t parse_block_size(const char* text);

// Control-character notation at a "^" (^<n>, ^a..^z, ^@..^_, ^?, ^~). On success next points
// behind the notation. The text not starting with "^", nothing after it, an "<n>" form without
// digits or ">", or a value above 255 give 0 with next null; any other character after "^"
// gives 0 and leaves next as it was.
unsigned parse_control_char(const char* text, const char** next);
