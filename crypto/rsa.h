#pragma once
// RSA for SSH-1 (host and server keys, session-key encryption, challenge answers) and for the
// SSH-2 "ssh-rsa" public-key algorithm. Private operations are blinded with a factor derived
// from the private key and the input, so signing needs no random numbers.

#include "crypto/bignum.h"

struct RsaKey {
  int bits;   // key size as stated by SSH-1 data
  int bytes;  // length of the modulus in bytes
  BigNum modulus;
  BigNum exponent;
  BigNum private_exponent;
  BigNum p;
  BigNum q;
  BigNum iqmp;  // q^-1 mod p
  char* comment;
};

// SSH-1 key data: a 4-byte bit count, then SSH-1 integers: order 0 (the wire) exponent then
// modulus, order 1 (key files) modulus then exponent, any other order the modulus only. Returns
// the bytes used, or -1 when short or when the modulus or exponent is zero. With key null it
// only measures. modulus_start (may be null) receives where the modulus begins.
int rsa_read_ssh1_key(const unsigned char* buffer, int length, RsaKey* key, const unsigned char** modulus_start,
                      int order);
// Reads one SSH-1 integer into private_exponent; returns the bytes used or -1.
int rsa_read_ssh1_private_exponent(const unsigned char* buffer, int length, RsaKey* key);

// PKCS #1 v1.5 type 2 padding and encryption in place: length bytes of data in a buffer of
// capacity bytes become key->bytes bytes. 0 (buffer unchanged) when the data does not fit the
// key, the result does not fit the buffer or the key is unusable, else 1.
int rsa_public_encrypt_ssh1(unsigned char* buffer, int length, int capacity, const RsaKey* key);
// value^d mod n, blinded; null when the key cannot do it.
BigNum rsa_private_decrypt(ConstBigNum value, const RsaKey* key);

// 4-byte bit count of the modulus, SSH-1 exponent, SSH-1 modulus (checked_free).
unsigned char* rsa_ssh1_public_blob(const RsaKey* key, int* length);

int rsa_key_text_size(const RsaKey* key);
// "0x" e ",0x" n in lower-case hex.
void rsa_key_text(char* buffer, const RsaKey* key);
// "<bits> " and the MD5 of the modulus then exponent bytes, and " <comment>" when there is
// room; always zero-terminated within size.
void rsa_fingerprint_text(char* buffer, int size, const RsaKey* key);

// 1 when n = p q, e d = 1 modulo p - 1 and q - 1, p > q and iqmp q = 1 mod p; else 0.
int rsa_key_check(const RsaKey* key);

// Releases every value and the comment of a key the caller holds, leaving it empty.
void rsa_key_clear(RsaKey* key);
// Releases a key made by the "ssh-rsa" operations, values included.
void rsa_free_key(RsaKey* key);

// The "ssh-rsa" operations of the HostKeyAlgorithm record.
void* rsa2_key_from_public_blob(const unsigned char* blob, int length);
void rsa2_free_key(void* key);
char* rsa2_key_text(void* key);
unsigned char* rsa2_public_blob(void* key, int* length);
unsigned char* rsa2_private_blob(void* key, int* length);
void* rsa2_key_from_blobs(const unsigned char* public_blob, int public_length, const unsigned char* private_blob,
                          int private_length);
void* rsa2_key_from_openssh_blob(const unsigned char* blob, int length);
int rsa2_openssh_private_blob(void* key, unsigned char* buffer, int size);
int rsa2_public_bits(const unsigned char* blob, int length);
char* rsa2_fingerprint(void* key);
int rsa2_verify_signature(void* key, const unsigned char* signature, int signature_length, const unsigned char* data,
                          int data_length);
unsigned char* rsa2_sign(void* key, const unsigned char* data, int data_length, int* signature_length);
