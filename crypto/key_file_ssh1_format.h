#pragma once
// The SSH-1 private key file's first line, 32 characters.
inline constexpr char ssh1_key_file_magic[] = "SSH PRIVATE KEY FILE FORMAT 1.1\n";
static_assert(sizeof ssh1_key_file_magic == 33);
