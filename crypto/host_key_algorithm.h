#pragma once
// The record through which the SSH layers reach a public-key algorithm ("ssh-rsa",
// "ssh-dss"). Keys are opaque to them. Every returned text or blob is new, from
// checked_alloc, and released with checked_free; keys are released with free_key.

struct HostKeyAlgorithm {
  void* (*key_from_public_blob)(const unsigned char* blob, int length);
  void (*free_key)(void* key);
  // The public values as "0x" hexadecimal numbers separated by ",0x".
  char* (*key_text)(void* key);
  unsigned char* (*public_blob)(void* key, int* length);
  unsigned char* (*private_blob)(void* key, int* length);
  // Null when the values are malformed or inconsistent.
  void* (*key_from_blobs)(const unsigned char* public_blob, int public_length, const unsigned char* private_blob,
                          int private_length);
  // All the key's values as mpints in the order of the other common private-key format.
  void* (*key_from_openssh_blob)(const unsigned char* blob, int length);
  // Returns the bytes needed; writes nothing when size is smaller.
  int (*openssh_private_blob)(void* key, unsigned char* buffer, int size);
  // Key size in bits from a public blob; -1 when the blob cannot be read.
  int (*public_bits)(const unsigned char* blob, int length);
  // "<name> <bits> " and the MD5 of the public blob as lower-case hex pairs joined by ":".
  char* (*fingerprint)(void* key);
  // 1 valid, 0 not.
  int (*verify_signature)(void* key, const unsigned char* signature, int signature_length, const unsigned char* data,
                          int data_length);
  // New signature blob; null when the key cannot sign.
  unsigned char* (*sign)(void* key, const unsigned char* data, int data_length, int* signature_length);
  const char* name;
  const char* cache_type;
};
