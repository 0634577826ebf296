#pragma once
// Every algorithm the SSH layers may negotiate, as immutable records of operations and names,
// with the preference groups and the constant lists offered in the SSH-2 key exchange.

#include "crypto/algorithm_types.h"
#include "crypto/host_key_algorithm.h"
#include "crypto/kex_algorithm.h"
#include "crypto/ssh_zlib.h"

// SSH-2 ciphers.
extern const CipherAlgorithm ssh_aes256_ctr;
extern const CipherAlgorithm ssh_aes256_cbc;
extern const CipherAlgorithm ssh_rijndael_lysator;  // AES-256 CBC under its older private name
extern const CipherAlgorithm ssh_aes192_ctr;
extern const CipherAlgorithm ssh_aes192_cbc;
extern const CipherAlgorithm ssh_aes128_ctr;
extern const CipherAlgorithm ssh_aes128_cbc;
extern const CipherAlgorithm ssh_blowfish_ctr;
extern const CipherAlgorithm ssh_blowfish_cbc;
extern const CipherAlgorithm ssh_3des_ctr;
extern const CipherAlgorithm ssh_3des_cbc;
extern const CipherAlgorithm ssh_arcfour256;
extern const CipherAlgorithm ssh_arcfour128;
extern const CipherAlgorithm ssh_des_cbc;
extern const CipherAlgorithm ssh_des_sshcom;  // single DES CBC under its private name

// Cipher families, members in order of preference.
extern const CipherGroup ssh2_aes;
extern const CipherGroup ssh2_blowfish;
extern const CipherGroup ssh2_3des;
extern const CipherGroup ssh2_arcfour;
extern const CipherGroup ssh2_des;

// SSH-1 ciphers.
extern const Ssh1CipherAlgorithm ssh1_3des;
extern const Ssh1CipherAlgorithm ssh1_des;
extern const Ssh1CipherAlgorithm ssh1_blowfish;

// MACs; the two "bug-compatible" records use only the first 16 bytes of the SHA-1 MAC key,
// for servers that do the same.
extern const MacAlgorithm ssh_hmac_sha1;
extern const MacAlgorithm ssh_hmac_sha1_96;
extern const MacAlgorithm ssh_hmac_sha1_buggy;
extern const MacAlgorithm ssh_hmac_sha1_96_buggy;
extern const MacAlgorithm ssh_hmac_md5;

// Exchange hashes.
extern const HashAlgorithm ssh_sha1;
extern const HashAlgorithm ssh_sha256;

// Key exchanges and their groups.
extern const KexAlgorithm ssh_diffiehellman_group1_sha1;
extern const KexAlgorithm ssh_diffiehellman_group14_sha1;
extern const KexAlgorithm ssh_diffiehellman_gex_sha256;
extern const KexAlgorithm ssh_diffiehellman_gex_sha1;
extern const KexGroup ssh_diffiehellman_group1;
extern const KexGroup ssh_diffiehellman_group14;
extern const KexGroup ssh_diffiehellman_gex;

// Public-key algorithms.
extern const HostKeyAlgorithm ssh_rsa;
extern const HostKeyAlgorithm ssh_dss;

// The lists offered in the SSH-2 key exchange, in this order.
constexpr int ssh2_host_key_count = 2;
extern const HostKeyAlgorithm* const ssh2_host_keys[ssh2_host_key_count];
constexpr int ssh2_mac_count = 3;
extern const MacAlgorithm* const ssh2_macs[ssh2_mac_count];
extern const MacAlgorithm* const ssh2_buggy_macs[ssh2_mac_count];
constexpr int ssh2_compression_count = 2;
extern const CompressionAlgorithm* const ssh2_compressions[ssh2_compression_count];
