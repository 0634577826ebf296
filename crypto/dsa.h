#pragma once
// DSA with SHA-1 for the SSH-2 "ssh-dss" public-key algorithm. The per-signature secret is
// derived from SHA-512 of the private key and the message hash, so signing needs no random
// numbers and the same data always gives the same signature.

#include "crypto/bignum.h"

struct DsaKey {
  BigNum p;
  BigNum q;
  BigNum g;
  BigNum y;  // public
  BigNum x;  // private; null in public keys
};

// Releases a key made by the "ssh-dss" operations, values included.
void dsa_free_key(DsaKey* key);

// The "ssh-dss" operations of the HostKeyAlgorithm record.
void* dsa_key_from_public_blob(const unsigned char* blob, int length);
void dsa_free_key_any(void* key);
char* dsa_key_text(void* key);
unsigned char* dsa_public_blob(void* key, int* length);
unsigned char* dsa_private_blob(void* key, int* length);
void* dsa_key_from_blobs(const unsigned char* public_blob, int public_length, const unsigned char* private_blob,
                         int private_length);
void* dsa_key_from_openssh_blob(const unsigned char* blob, int length);
int dsa_openssh_private_blob(void* key, unsigned char* buffer, int size);
int dsa_public_bits(const unsigned char* blob, int length);
char* dsa_fingerprint(void* key);
int dsa_verify_signature(void* key, const unsigned char* signature, int signature_length, const unsigned char* data,
                         int data_length);
unsigned char* dsa_sign(void* key, const unsigned char* data, int data_length, int* signature_length);
