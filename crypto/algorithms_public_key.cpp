// The key-exchange and public-key records.
#include "crypto/algorithms.h"
#include "crypto/diffie_hellman_groups.h"
#include "crypto/dsa.h"
#include "crypto/rsa.h"

const KexAlgorithm ssh_diffiehellman_group1_sha1 = {
    "diffie-hellman-group1-sha1", "group1", dh_group1_prime, dh_group_generator, dh_group1_prime_length, 1, &ssh_sha1};
const KexAlgorithm ssh_diffiehellman_group14_sha1 = {
    "diffie-hellman-group14-sha1", "group14", dh_group14_prime, dh_group_generator,
    dh_group14_prime_length,       1,         &ssh_sha1};
const KexAlgorithm ssh_diffiehellman_gex_sha256 = {
    "diffie-hellman-group-exchange-sha256", nullptr, nullptr, nullptr, 0, 0, &ssh_sha256};
const KexAlgorithm ssh_diffiehellman_gex_sha1 = {
    "diffie-hellman-group-exchange-sha1", nullptr, nullptr, nullptr, 0, 0, &ssh_sha1};

namespace {

const KexAlgorithm* const group1_members[] = {&ssh_diffiehellman_group1_sha1};
const KexAlgorithm* const group14_members[] = {&ssh_diffiehellman_group14_sha1};
const KexAlgorithm* const gex_members[] = {&ssh_diffiehellman_gex_sha256, &ssh_diffiehellman_gex_sha1};

}  // namespace

const KexGroup ssh_diffiehellman_group1 = {1, group1_members};
const KexGroup ssh_diffiehellman_group14 = {1, group14_members};
const KexGroup ssh_diffiehellman_gex = {2, gex_members};

const HostKeyAlgorithm ssh_rsa = {rsa2_key_from_public_blob,
                                  rsa2_free_key,
                                  rsa2_key_text,
                                  rsa2_public_blob,
                                  rsa2_private_blob,
                                  rsa2_key_from_blobs,
                                  rsa2_key_from_openssh_blob,
                                  rsa2_openssh_private_blob,
                                  rsa2_public_bits,
                                  rsa2_fingerprint,
                                  rsa2_verify_signature,
                                  rsa2_sign,
                                  "ssh-rsa",
                                  "rsa2"};
const HostKeyAlgorithm ssh_dss = {dsa_key_from_public_blob,
                                  dsa_free_key_any,
                                  dsa_key_text,
                                  dsa_public_blob,
                                  dsa_private_blob,
                                  dsa_key_from_blobs,
                                  dsa_key_from_openssh_blob,
                                  dsa_openssh_private_blob,
                                  dsa_public_bits,
                                  dsa_fingerprint,
                                  dsa_verify_signature,
                                  dsa_sign,
                                  "ssh-dss",
                                  "dss"};

const HostKeyAlgorithm* const ssh2_host_keys[ssh2_host_key_count] = {&ssh_rsa, &ssh_dss};
