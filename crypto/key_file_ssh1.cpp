// The SSH-1 private key file: a text first line, then binary (big-endian) key data whose
// private part may be encrypted with two-key triple DES under the MD5 of the pass phrase.
#include <cstdio>
#include <cstring>

#include "base/memory.h"
#include "crypto/key_file.h"
#include "crypto/key_file_ssh1_format.h"
#include "crypto/key_file_wiped_bytes.h"
#include "crypto/md5.h"
#include "crypto/secure_clear.h"
#include "crypto/triple_des.h"
#include "crypto/wire_buffer.h"

namespace {

constexpr int max_body = 16384;  // everything after the first line must be shorter
constexpr int cipher_none = 0;
constexpr int cipher_triple_des = 3;
constexpr int first_line_limit = 64;

const char* const format_error = "file format error";

struct Ssh1KeyFile {
  // Decryption runs over whole 8-byte blocks, so the buffer has a block of slack beyond the
  // longest body it can hold.
  WipedBytes body{max_body + 8};
  int length = 0;
  int cipher = 0;
  int private_start = 0;
};

void set_message(const char** message, const char* text) {
  if (message) *message = text;
}

const char* read_file(const char* file, Ssh1KeyFile& k) {
  std::FILE* f = std::fopen(file, "rb");
  if (!f) return "can't open file";
  char line[first_line_limit + 1];
  if (!std::fgets(line, sizeof line, f) || std::strcmp(line, ssh1_key_file_magic) != 0) {
    std::fclose(f);
    return "not an SSH-1 RSA file";
  }
  size_t got = std::fread(k.body.data(), 1, max_body, f);
  bool failed = std::ferror(f);
  std::fclose(f);
  if (failed || got >= static_cast<size_t>(max_body)) return "error reading file";
  k.length = static_cast<int>(got);
  return nullptr;
}

// Reads the cipher, the public key (into `key` when given) and the comment (into `comment`
// when given); notes where the private part starts.
bool parse_public_part(Ssh1KeyFile& k, RsaKey* key, char** comment) {
  WireBuffer in(k.body.data(), k.length);
  if (in.get_byte() != 0) return false;  // the zero byte after the first line
  k.cipher = in.get_byte();
  in.skip(4);  // reserved
  if (in.failed() || (k.cipher != cipher_none && k.cipher != cipher_triple_des)) return false;
  int used = rsa_read_ssh1_key(in.position(), static_cast<int>(in.remaining()), key, nullptr, 1);
  if (used < 0 || !in.skip(static_cast<size_t>(used))) return false;
  std::string_view text = in.get_string();
  if (in.failed()) return false;
  if (comment) {
    *comment = checked_new_array<char>(text.size() + 1);
    std::memcpy(*comment, text.data(), text.size());
    (*comment)[text.size()] = '\0';
  }
  k.private_start = k.length - static_cast<int>(in.remaining());
  return true;
}

// Reads d, iqmp, q and p; -1 when the check bytes disagree, 0 when malformed.
int parse_private_part(Ssh1KeyFile& k, RsaKey* key) {
  WireBuffer in(k.body.data() + k.private_start, k.length - k.private_start);
  std::string_view check = in.get_raw(4);
  if (in.failed()) return 0;
  if (check[0] != check[2] || check[1] != check[3]) return -1;
  int used = rsa_read_ssh1_private_exponent(in.position(), static_cast<int>(in.remaining()), key);
  if (used < 0 || !in.skip(static_cast<size_t>(used))) return 0;
  for (BigNum* value : {&key->iqmp, &key->q, &key->p}) {
    *value = in.get_mpint_ssh1();
    if (in.failed()) return 0;
  }
  return 1;
}

void decrypt_private_part(Ssh1KeyFile& k, const char* passphrase) {
  unsigned char key[MD5_DIGEST_LENGTH];
  md5_digest(passphrase, std::strlen(passphrase), key);
  int length = k.length - k.private_start;
  des3_decrypt_key_file(key, k.body.data() + k.private_start, static_cast<size_t>((length + 7) / 8 * 8));
  secure_clear(key, sizeof key);
}

}  // namespace

int ssh1_key_file_load(const char* file, RsaKey* key, const char* passphrase, const char** message) {
  set_message(message, nullptr);
  *key = RsaKey{};
  Ssh1KeyFile k;
  if (const char* error = read_file(file, k)) {
    set_message(message, error);
    return 0;
  }
  if (!parse_public_part(k, key, &key->comment)) {
    rsa_key_clear(key);
    set_message(message, format_error);
    return 0;
  }
  if (k.cipher == cipher_triple_des) decrypt_private_part(k, passphrase ? passphrase : "");
  int result = parse_private_part(k, key);
  if (result <= 0) {
    rsa_key_clear(key);
    set_message(message, result < 0 ? "wrong passphrase" : format_error);
    return result;
  }
  if (!rsa_key_check(key)) {
    rsa_key_clear(key);
    set_message(message, "rsa_verify failed");
    return 0;
  }
  return 1;
}

int ssh1_key_file_is_encrypted(const char* file, char** comment) {
  Ssh1KeyFile k;
  if (read_file(file, k) || !parse_public_part(k, nullptr, comment)) return 0;
  return k.cipher != cipher_none;
}

int ssh1_key_file_load_public(const char* file, unsigned char** blob, int* length, char** comment,
                              const char** message) {
  set_message(message, nullptr);
  Ssh1KeyFile k;
  if (const char* error = read_file(file, k)) {
    set_message(message, error);
    return 0;
  }
  RsaKey key{};
  if (!parse_public_part(k, &key, comment)) {
    rsa_key_clear(&key);
    set_message(message, format_error);
    return 0;
  }
  *blob = rsa_ssh1_public_blob(&key, length);
  rsa_key_clear(&key);
  return 1;
}
