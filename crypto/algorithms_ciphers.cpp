// The cipher records and their families.
#include "crypto/aes.h"
#include "crypto/algorithms.h"
#include "crypto/arcfour.h"
#include "crypto/blowfish.h"
#include "crypto/des.h"
#include "crypto/triple_des.h"

namespace {

using CipherSetKey = void (*)(void*, const unsigned char*);
using CipherOperation = void (*)(void*, unsigned char*, std::size_t);

// What the records of one cipher share; its records differ by key set-up, mode and name.
struct CipherFamily {
  void* (*new_context)();
  void (*free_context)(void*);
  void (*set_iv)(void*, const unsigned char*);
  CipherOperation encrypt_cbc;
  CipherOperation decrypt_cbc;
  CipherOperation keystream;  // SDCTR or a stream cipher: the same operation both ways
  int block_size;
};

constexpr CipherFamily aes = {aes_cipher_new_context,
                              aes_cipher_free_context,
                              aes_cipher_set_iv,
                              aes_cipher_encrypt_cbc,
                              aes_cipher_decrypt_cbc,
                              aes_cipher_sdctr,
                              16};
constexpr CipherFamily blowfish = {blowfish_cipher_new_context,
                                   blowfish_cipher_free_context,
                                   blowfish_cipher_set_iv,
                                   blowfish_cipher_encrypt_cbc,
                                   blowfish_cipher_decrypt_cbc,
                                   blowfish_cipher_sdctr,
                                   8};
constexpr CipherFamily triple_des = {des3_cipher_new_context,
                                     des3_cipher_free_context,
                                     des3_cipher_set_iv,
                                     des3_cipher_encrypt_cbc,
                                     des3_cipher_decrypt_cbc,
                                     des3_cipher_sdctr,
                                     8};
constexpr CipherFamily arcfour = {arcfour_cipher_new_context,
                                  arcfour_cipher_free_context,
                                  arcfour_cipher_set_iv,
                                  nullptr,
                                  nullptr,
                                  arcfour_cipher_crypt,
                                  1};
constexpr CipherFamily des = {des_cipher_new_context,
                              des_cipher_free_context,
                              des_cipher_set_iv,
                              des_cipher_encrypt_cbc,
                              des_cipher_decrypt_cbc,
                              nullptr,
                              8};

constexpr CipherAlgorithm cbc_record(const CipherFamily& family, CipherSetKey set_key, const char* name, int key_bits,
                                     const char* display_name) {
  return {family.new_context, family.free_context, family.set_iv, set_key,
          family.encrypt_cbc, family.decrypt_cbc,  name,          family.block_size,
          key_bits,           SSH_CIPHER_IS_CBC,   display_name};
}

constexpr CipherAlgorithm keystream_record(const CipherFamily& family, CipherSetKey set_key, const char* name,
                                           int key_bits, const char* display_name) {
  return {family.new_context,
          family.free_context,
          family.set_iv,
          set_key,
          family.keystream,
          family.keystream,
          name,
          family.block_size,
          key_bits,
          0,
          display_name};
}

}  // namespace

constinit const CipherAlgorithm ssh_aes256_ctr =
    keystream_record(aes, aes256_cipher_set_key, "aes256-ctr", 256, "AES-256 SDCTR");
constinit const CipherAlgorithm ssh_aes256_cbc =
    cbc_record(aes, aes256_cipher_set_key, "aes256-cbc", 256, "AES-256 CBC");
constinit const CipherAlgorithm ssh_rijndael_lysator =
    cbc_record(aes, aes256_cipher_set_key, "rijndael-cbc@lysator.liu.se", 256, "AES-256 CBC");
constinit const CipherAlgorithm ssh_aes192_ctr =
    keystream_record(aes, aes192_cipher_set_key, "aes192-ctr", 192, "AES-192 SDCTR");
constinit const CipherAlgorithm ssh_aes192_cbc =
    cbc_record(aes, aes192_cipher_set_key, "aes192-cbc", 192, "AES-192 CBC");
constinit const CipherAlgorithm ssh_aes128_ctr =
    keystream_record(aes, aes128_cipher_set_key, "aes128-ctr", 128, "AES-128 SDCTR");
constinit const CipherAlgorithm ssh_aes128_cbc =
    cbc_record(aes, aes128_cipher_set_key, "aes128-cbc", 128, "AES-128 CBC");

constinit const CipherAlgorithm ssh_blowfish_ctr =
    keystream_record(blowfish, blowfish256_cipher_set_key, "blowfish-ctr", 256, "Blowfish-256 SDCTR");
constinit const CipherAlgorithm ssh_blowfish_cbc =
    cbc_record(blowfish, blowfish128_cipher_set_key, "blowfish-cbc", 128, "Blowfish-128 CBC");

constinit const CipherAlgorithm ssh_3des_ctr =
    keystream_record(triple_des, des3_cipher_set_key, "3des-ctr", 168, "triple-DES SDCTR");
constinit const CipherAlgorithm ssh_3des_cbc =
    cbc_record(triple_des, des3_cipher_set_key, "3des-cbc", 168, "triple-DES CBC");

constinit const CipherAlgorithm ssh_arcfour256 =
    keystream_record(arcfour, arcfour256_cipher_set_key, "arcfour256", 256, "Arcfour-256");
constinit const CipherAlgorithm ssh_arcfour128 =
    keystream_record(arcfour, arcfour128_cipher_set_key, "arcfour128", 128, "Arcfour-128");

constinit const CipherAlgorithm ssh_des_cbc = cbc_record(des, des_cipher_set_key, "des-cbc", 56, "single-DES CBC");
constinit const CipherAlgorithm ssh_des_sshcom =
    cbc_record(des, des_cipher_set_key, "des-cbc@ssh.com", 56, "single-DES CBC");

namespace {

const CipherAlgorithm* const aes_members[] = {&ssh_aes256_ctr, &ssh_aes256_cbc, &ssh_rijndael_lysator, &ssh_aes192_ctr,
                                              &ssh_aes192_cbc, &ssh_aes128_ctr, &ssh_aes128_cbc};
const CipherAlgorithm* const blowfish_members[] = {&ssh_blowfish_ctr, &ssh_blowfish_cbc};
const CipherAlgorithm* const triple_des_members[] = {&ssh_3des_ctr, &ssh_3des_cbc};
const CipherAlgorithm* const arcfour_members[] = {&ssh_arcfour256, &ssh_arcfour128};
const CipherAlgorithm* const des_members[] = {&ssh_des_cbc, &ssh_des_sshcom};

template <std::size_t N>
constexpr CipherGroup group_of(const CipherAlgorithm* const (&members)[N]) {
  return {static_cast<int>(N), members};
}

}  // namespace

const CipherGroup ssh2_aes = group_of(aes_members);
const CipherGroup ssh2_blowfish = group_of(blowfish_members);
const CipherGroup ssh2_3des = group_of(triple_des_members);
const CipherGroup ssh2_arcfour = group_of(arcfour_members);
const CipherGroup ssh2_des = group_of(des_members);

const Ssh1CipherAlgorithm ssh1_3des = {ssh1_des3_new_context, ssh1_des3_free_context, ssh1_des3_set_session_key,
                                       ssh1_des3_encrypt,     ssh1_des3_decrypt,      8,
                                       "triple-DES inner-CBC"};
const Ssh1CipherAlgorithm ssh1_des = {ssh1_des_new_context, ssh1_des_free_context, ssh1_des_set_session_key,
                                      ssh1_des_encrypt,     ssh1_des_decrypt,      8,
                                      "single-DES CBC"};
const Ssh1CipherAlgorithm ssh1_blowfish = {
    ssh1_blowfish_new_context, ssh1_blowfish_free_context, ssh1_blowfish_set_session_key,
    ssh1_blowfish_encrypt,     ssh1_blowfish_decrypt,      8,
    "Blowfish-128 CBC"};
