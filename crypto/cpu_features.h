#pragma once
// Which of the processor's cryptographic instructions the ciphers and hashes may use. Each
// algorithm keeps its portable code and takes the instruction path only where the processor
// has it; tests switch the instruction paths off to compare both.

// AES-NI with SSSE3 and SSE4.1 (the AES rounds and counter block shuffles).
bool cpu_has_aes_instructions();
// The SHA extensions with SSSE3 and SSE4.1 (the SHA-1 rounds).
bool cpu_has_sha_instructions();

// Allows or forbids the instruction paths for the whole process; returns the previous setting.
bool crypto_allow_instructions(bool allow);
