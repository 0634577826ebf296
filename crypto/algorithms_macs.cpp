// The MAC and exchange-hash records, and the MAC and compression lists of the key exchange.
#include "crypto/algorithms.h"
#include "crypto/hmac.h"
#include "crypto/sha1.h"
#include "crypto/sha256.h"

const MacAlgorithm ssh_hmac_sha1 = {hmac_sha1_mac_new_context,
                                    hmac_sha1_mac_free_context,
                                    hmac_sha1_mac_set_key,
                                    hmac_sha1_mac_generate,
                                    hmac_sha1_mac_verify,
                                    "hmac-sha1",
                                    20,
                                    "HMAC-SHA1"};
const MacAlgorithm ssh_hmac_sha1_96 = {hmac_sha1_mac_new_context,
                                       hmac_sha1_mac_free_context,
                                       hmac_sha1_mac_set_key,
                                       hmac_sha1_96_mac_generate,
                                       hmac_sha1_96_mac_verify,
                                       "hmac-sha1-96",
                                       12,
                                       "HMAC-SHA1-96"};
const MacAlgorithm ssh_hmac_sha1_buggy = {hmac_sha1_mac_new_context,
                                          hmac_sha1_mac_free_context,
                                          hmac_sha1_mac_set_key_16,
                                          hmac_sha1_mac_generate,
                                          hmac_sha1_mac_verify,
                                          "hmac-sha1",
                                          20,
                                          "bug-compatible HMAC-SHA1"};
const MacAlgorithm ssh_hmac_sha1_96_buggy = {hmac_sha1_mac_new_context,
                                             hmac_sha1_mac_free_context,
                                             hmac_sha1_mac_set_key_16,
                                             hmac_sha1_96_mac_generate,
                                             hmac_sha1_96_mac_verify,
                                             "hmac-sha1-96",
                                             12,
                                             "bug-compatible HMAC-SHA1-96"};
const MacAlgorithm ssh_hmac_md5 = {hmac_md5_mac_new_context,
                                   hmac_md5_mac_free_context,
                                   hmac_md5_mac_set_key,
                                   hmac_md5_mac_generate,
                                   hmac_md5_mac_verify,
                                   "hmac-md5",
                                   16,
                                   "HMAC-MD5"};

const HashAlgorithm ssh_sha1 = {sha1_hash_begin, sha1_hash_feed, sha1_hash_finish, 20, "SHA-1"};
const HashAlgorithm ssh_sha256 = {sha256_hash_begin, sha256_hash_feed, sha256_hash_finish, 32, "SHA-256"};

const MacAlgorithm* const ssh2_macs[ssh2_mac_count] = {&ssh_hmac_sha1, &ssh_hmac_sha1_96, &ssh_hmac_md5};
const MacAlgorithm* const ssh2_buggy_macs[ssh2_mac_count] = {&ssh_hmac_sha1_buggy, &ssh_hmac_sha1_96_buggy,
                                                             &ssh_hmac_md5};

const CompressionAlgorithm* const ssh2_compressions[ssh2_compression_count] = {&ssh_zlib, &ssh_compression_none};
