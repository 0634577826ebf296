#pragma once
// The random pool's seed file. Its path comes from the string value "RandSeedFile" of
// "Software\Hollerin\Mirsh"; otherwise it is MIRSH.RND in the home folder, or in the data
// folder when there is no home.
#include <string>

std::string seed_file_path();

// Passes the seed file's bytes in chunks of at most 1024 bytes; a missing file is skipped.
using SeedChunkCallback = void (*)(const void* data, int length);
void random_seed_file_read(SeedChunkCallback callback);

// Replaces the seed file (mode 0600); a failed write leaves no partial file.
void random_seed_file_write(const void* data, int length);
