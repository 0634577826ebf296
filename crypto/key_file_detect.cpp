// Recognises a key file by its first 32 bytes.
#include <cstdio>
#include <cstring>

#include "crypto/key_file.h"
#include "crypto/key_file_ssh1_format.h"

int key_file_detect_type(const char* file) {
  std::FILE* f = std::fopen(file, "r");
  if (!f) return key_file_unopenable;
  char start[32];
  size_t got = std::fread(start, 1, sizeof start, f);
  std::fclose(f);
  if (got < sizeof start) return key_file_unknown;
  if (std::memcmp(start, ssh1_key_file_magic, sizeof start) == 0) return key_file_ssh1;
  if (std::memcmp(start, "Mirsh-User-Key-File-", 20) == 0) return key_file_ssh2;
  if (std::memcmp(start, "-----BEGIN ", 11) == 0) return key_file_openssh;
  if (std::memcmp(start, "---- BEGIN SSH2 ENCRYPTED PRIVAT", 32) == 0) return key_file_commercial;
  return key_file_unknown;
}

const char* key_file_type_text(int type) {
  switch (type) {
    case key_file_unopenable: return "unable to open file";
    case key_file_unknown: return "not a private key";
    case key_file_ssh1: return "SSH-1 private key";
    case key_file_ssh2: return "Mirsh SSH-2 private key";
    case key_file_openssh: return "OpenSSH SSH-2 private key";
    case key_file_commercial: return "Commercial SSH-2 private key";
    default: return "INTERNAL ERROR";
  }
}
