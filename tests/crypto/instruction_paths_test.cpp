// The processor-instruction paths of AES and SHA-1 against the portable code, over the same
// random inputs cut at random places (where the processor lacks the instructions both runs
// take the portable path, and the comparison still holds).

#include <random>

#include <gtest/gtest.h>

#include "crypto/aes.h"
#include "crypto/cpu_features.h"
#include "crypto/sha1.h"
#include "tests/crypto/symmetric_test_util.h"

using namespace symmetric_test;

namespace {

struct AllowInstructions {
  explicit AllowInstructions(bool allow) : previous(crypto_allow_instructions(allow)) {}
  ~AllowInstructions() { crypto_allow_instructions(previous); }
  bool previous;
};

using Mode = void (*)(AesContext*, unsigned char*, std::size_t);

// One AES mode over a buffer in pieces of whole blocks.
Bytes run_aes(bool instructions, Mode mode, const Bytes& key, const Bytes& iv, Bytes data,
              const std::vector<std::size_t>& cuts) {
  AllowInstructions allow(instructions);
  AesContext* context = aes_make_context();
  EXPECT_TRUE(aes_setup(context, 16, key.data(), static_cast<int>(key.size())));
  aes_set_iv(context, iv.data());
  std::size_t done = 0;
  for (std::size_t cut : cuts) {
    mode(context, data.data() + done, cut - done);
    done = cut;
  }
  mode(context, data.data() + done, data.size() - done);
  aes_free_context(context);
  return data;
}

Bytes sha1_of(bool instructions, const Bytes& data, const std::vector<std::size_t>& cuts) {
  AllowInstructions allow(instructions);
  Sha1State state;
  sha1_begin(&state);
  std::size_t done = 0;
  for (std::size_t cut : cuts) {
    sha1_feed(&state, data.data() + done, cut - done);
    done = cut;
  }
  sha1_feed(&state, data.data() + done, data.size() - done);
  Bytes digest(SHA1_DIGEST_LENGTH);
  sha1_finish(&state, digest.data());
  return digest;
}

std::vector<std::size_t> random_cuts(std::mt19937& rng, std::size_t size, std::size_t unit) {
  std::vector<std::size_t> cuts;
  for (std::size_t at = 0; at < size;) {
    at += unit * std::uniform_int_distribution<std::size_t>(1, 20)(rng);
    if (at < size) cuts.push_back(at);
  }
  return cuts;
}

}  // namespace

TEST(InstructionPaths, AesModesAgreeWithTheTablesAcrossCutsAndCounterCarries) {
  std::mt19937 rng(17);
  const Mode modes[] = {aes_sdctr, aes_encrypt_cbc, aes_decrypt_cbc};
  // The counter's low 64 bits about to carry into the high ones, and the whole counter about
  // to wrap.
  const Bytes carry = from_hex("0123456789abcdeffffffffffffffffd");
  const Bytes wrap(16, 0xff);
  for (int key_bytes : {16, 24, 32}) {
    for (const Bytes& iv : {random_bytes(rng, 16), carry, wrap}) {
      const Bytes key = random_bytes(rng, static_cast<std::size_t>(key_bytes));
      const std::size_t blocks = std::uniform_int_distribution<std::size_t>(1, 70)(rng);
      const Bytes data = random_bytes(rng, 16 * blocks);
      const auto cuts = random_cuts(rng, data.size(), 16);
      for (Mode mode : modes)
        EXPECT_EQ(to_hex(run_aes(true, mode, key, iv, data, cuts)), to_hex(run_aes(false, mode, key, iv, data, cuts)))
            << key_bytes << " " << to_hex(iv) << " " << blocks;
    }
  }
}

TEST(InstructionPaths, Sha1AgreesWithThePortableRounds) {
  std::mt19937 rng(18);
  for (std::size_t size : {0, 55, 56, 64, 119, 1000, 16417}) {
    const Bytes data = random_bytes(rng, size);
    const auto cuts = random_cuts(rng, size, 7);
    EXPECT_EQ(to_hex(sha1_of(true, data, cuts)), to_hex(sha1_of(false, data, cuts))) << size;
  }
}
