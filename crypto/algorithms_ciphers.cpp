// The cipher records and their families.
#include "crypto/aes.h"
#include "crypto/algorithms.h"
#include "crypto/arcfour.h"
#include "crypto/blowfish.h"
#include "crypto/des.h"
#include "crypto/triple_des.h"

namespace {

constexpr unsigned cbc = SSH_CIPHER_IS_CBC;

}  // namespace

const CipherAlgorithm ssh_aes256_ctr = {
    aes_cipher_new_context, aes_cipher_free_context, aes_cipher_set_iv, aes256_cipher_set_key,
    aes_cipher_sdctr, aes_cipher_sdctr, "aes256-ctr", 16, 256, 0, "AES-256 SDCTR"};
const CipherAlgorithm ssh_aes256_cbc = {
    aes_cipher_new_context, aes_cipher_free_context, aes_cipher_set_iv, aes256_cipher_set_key,
    aes_cipher_encrypt_cbc, aes_cipher_decrypt_cbc, "aes256-cbc", 16, 256, cbc, "AES-256 CBC"};
const CipherAlgorithm ssh_rijndael_lysator = {
    aes_cipher_new_context, aes_cipher_free_context, aes_cipher_set_iv, aes256_cipher_set_key,
    aes_cipher_encrypt_cbc, aes_cipher_decrypt_cbc, "rijndael-cbc@lysator.liu.se", 16, 256, cbc, "AES-256 CBC"};
const CipherAlgorithm ssh_aes192_ctr = {
    aes_cipher_new_context, aes_cipher_free_context, aes_cipher_set_iv, aes192_cipher_set_key,
    aes_cipher_sdctr, aes_cipher_sdctr, "aes192-ctr", 16, 192, 0, "AES-192 SDCTR"};
const CipherAlgorithm ssh_aes192_cbc = {
    aes_cipher_new_context, aes_cipher_free_context, aes_cipher_set_iv, aes192_cipher_set_key,
    aes_cipher_encrypt_cbc, aes_cipher_decrypt_cbc, "aes192-cbc", 16, 192, cbc, "AES-192 CBC"};
const CipherAlgorithm ssh_aes128_ctr = {
    aes_cipher_new_context, aes_cipher_free_context, aes_cipher_set_iv, aes128_cipher_set_key,
    aes_cipher_sdctr, aes_cipher_sdctr, "aes128-ctr", 16, 128, 0, "AES-128 SDCTR"};
const CipherAlgorithm ssh_aes128_cbc = {
    aes_cipher_new_context, aes_cipher_free_context, aes_cipher_set_iv, aes128_cipher_set_key,
    aes_cipher_encrypt_cbc, aes_cipher_decrypt_cbc, "aes128-cbc", 16, 128, cbc, "AES-128 CBC"};

const CipherAlgorithm ssh_blowfish_ctr = {
    blowfish_cipher_new_context, blowfish_cipher_free_context, blowfish_cipher_set_iv, blowfish256_cipher_set_key,
    blowfish_cipher_sdctr, blowfish_cipher_sdctr, "blowfish-ctr", 8, 256, 0, "Blowfish-256 SDCTR"};
const CipherAlgorithm ssh_blowfish_cbc = {
    blowfish_cipher_new_context, blowfish_cipher_free_context, blowfish_cipher_set_iv, blowfish128_cipher_set_key,
    blowfish_cipher_encrypt_cbc, blowfish_cipher_decrypt_cbc, "blowfish-cbc", 8, 128, cbc, "Blowfish-128 CBC"};

const CipherAlgorithm ssh_3des_ctr = {
    des3_cipher_new_context, des3_cipher_free_context, des3_cipher_set_iv, des3_cipher_set_key,
    des3_cipher_sdctr, des3_cipher_sdctr, "3des-ctr", 8, 168, 0, "triple-DES SDCTR"};
const CipherAlgorithm ssh_3des_cbc = {
    des3_cipher_new_context, des3_cipher_free_context, des3_cipher_set_iv, des3_cipher_set_key,
    des3_cipher_encrypt_cbc, des3_cipher_decrypt_cbc, "3des-cbc", 8, 168, cbc, "triple-DES CBC"};

const CipherAlgorithm ssh_arcfour256 = {
    arcfour_cipher_new_context, arcfour_cipher_free_context, arcfour_cipher_set_iv, arcfour256_cipher_set_key,
    arcfour_cipher_crypt, arcfour_cipher_crypt, "arcfour256", 1, 256, 0, "Arcfour-256"};
const CipherAlgorithm ssh_arcfour128 = {
    arcfour_cipher_new_context, arcfour_cipher_free_context, arcfour_cipher_set_iv, arcfour128_cipher_set_key,
    arcfour_cipher_crypt, arcfour_cipher_crypt, "arcfour128", 1, 128, 0, "Arcfour-128"};

const CipherAlgorithm ssh_des_cbc = {
    des_cipher_new_context, des_cipher_free_context, des_cipher_set_iv, des_cipher_set_key,
    des_cipher_encrypt_cbc, des_cipher_decrypt_cbc, "des-cbc", 8, 56, cbc, "single-DES CBC"};
const CipherAlgorithm ssh_des_sshcom = {
    des_cipher_new_context, des_cipher_free_context, des_cipher_set_iv, des_cipher_set_key,
    des_cipher_encrypt_cbc, des_cipher_decrypt_cbc, "des-cbc@ssh.com", 8, 56, cbc, "single-DES CBC"};

namespace {

const CipherAlgorithm *const aes_members[] = {&ssh_aes256_ctr, &ssh_aes256_cbc, &ssh_rijndael_lysator,
                                              &ssh_aes192_ctr, &ssh_aes192_cbc, &ssh_aes128_ctr, &ssh_aes128_cbc};
const CipherAlgorithm *const blowfish_members[] = {&ssh_blowfish_ctr, &ssh_blowfish_cbc};
const CipherAlgorithm *const triple_des_members[] = {&ssh_3des_ctr, &ssh_3des_cbc};
const CipherAlgorithm *const arcfour_members[] = {&ssh_arcfour256, &ssh_arcfour128};
const CipherAlgorithm *const des_members[] = {&ssh_des_cbc, &ssh_des_sshcom};

template <std::size_t N>
constexpr CipherGroup group_of(const CipherAlgorithm *const (&members)[N])
{
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
const Ssh1CipherAlgorithm ssh1_blowfish = {ssh1_blowfish_new_context,
                                           ssh1_blowfish_free_context,
                                           ssh1_blowfish_set_session_key,
                                           ssh1_blowfish_encrypt,
                                           ssh1_blowfish_decrypt,
                                           8,
                                           "Blowfish-128 CBC"};
