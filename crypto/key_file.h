#pragma once
// Private key files for public-key user authentication: the SSH-1 binary format and the text
// format for SSH-2 keys (versions 1 and 2), plus recognition of the two other common SSH-2
// formats by their first bytes. Every loader takes a file name and a pass phrase (may be
// null) and reports failures as fixed English texts in `message` (when given; null on
// success). Texts and blobs handed out are new, from checked_alloc, released with checked_free.

#include "crypto/host_key_algorithm.h"
#include "crypto/rsa.h"

// A loaded SSH-2 key: its algorithm record, the key, and the comment (owned text).
struct Ssh2KeyResult {
  const HostKeyAlgorithm* algorithm;
  void* key;
  char* comment;
};

// Returned instead of a key when an encrypted file's check fails.
inline Ssh2KeyResult wrong_passphrase_result{};
inline Ssh2KeyResult* const WrongPassphrase = &wrong_passphrase_result;

// Releases a result of ssh2_key_file_load (null and WrongPassphrase are ignored).
void ssh2_key_result_free(Ssh2KeyResult* result);

// 1 with `key` filled (comment included), 0 on failure, -1 on a wrong pass phrase.
int ssh1_key_file_load(const char* file, RsaKey* key, const char* passphrase, const char** message);
// 1 when the file names a cipher; `comment` (may be null) receives the comment.
int ssh1_key_file_is_encrypted(const char* file, char** comment);
// 1 with the SSH-1 public blob (bit count, exponent, modulus) and the comment; 0 on failure.
int ssh1_key_file_load_public(const char* file, unsigned char** blob, int* length, char** comment,
                              const char** message);

// A new result, WrongPassphrase, or null.
Ssh2KeyResult* ssh2_key_file_load(const char* file, const char* passphrase, const char** message);
// The decoded public blob, without checking the MAC; null on failure.
unsigned char* ssh2_key_file_load_public(const char* file, char** algorithm, int* length, char** comment,
                                         const char** message);
// 1 when "Encryption" is "aes256-cbc", and also when the "Comment" header is missing after a
// readable "Encryption" line; 0 when the file cannot be opened or its first two headers are
// unreadable.
int ssh2_key_file_is_encrypted(const char* file, char** comment);

enum KeyFileType {
  key_file_unopenable = 0,
  key_file_unknown = 1,
  key_file_ssh1 = 2,
  key_file_ssh2 = 3,
  key_file_openssh = 4,
  key_file_commercial = 5,
};
int key_file_detect_type(const char* file);
const char* key_file_type_text(int type);
