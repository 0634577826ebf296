// Hashes against Python's hashlib over random lengths, fed in randomly cut pieces.

#include <gtest/gtest.h>

#include <random>

#include "crypto/md5.h"
#include "crypto/sha1.h"
#include "crypto/sha256.h"
#include "crypto/sha512.h"
#include "tests/crypto/symmetric_test_util.h"

using namespace symmetric_test;

namespace {

const char *const hashlib_program = R"(
import hashlib, sys
for line in sys.stdin:
    data = bytes.fromhex(line.strip())
    print(' '.join(hashlib.new(n, data).hexdigest() for n in ('md5', 'sha1', 'sha256', 'sha512')))
)";

template <typename State, std::size_t N>
std::string digest_in_pieces(const Bytes &data, std::mt19937 &rng, void (*begin)(State *),
                             void (*feed)(State *, const void *, std::size_t), void (*finish)(State *, unsigned char *))
{
  const auto [a, b] = random_cuts(rng, data.size());
  State state;
  begin(&state);
  feed(&state, data.data(), a);
  feed(&state, data.data() + a, b - a);
  feed(&state, data.data() + b, data.size() - b);
  unsigned char out[N];
  finish(&state, out);
  return to_hex(out, N);
}

}  // namespace

TEST(HashDifferential, MatchesHashlibOverRandomLengthsAndCuts)
{
  std::mt19937 rng(1321);
  std::vector<Bytes> messages;
  std::string input;
  for (int i = 0; i < 300; ++i) {
    // Mostly short messages around the padding boundaries, some long ones.
    const std::size_t length = i < 260 ? static_cast<std::size_t>(i) : rng() % 5000;
    messages.push_back(random_bytes(rng, length));
    input += to_hex(messages.back()) + "\n";
  }
  const auto lines = split_lines(run_python(hashlib_program, input));
  ASSERT_EQ(lines.size(), messages.size());
  for (std::size_t i = 0; i < messages.size(); ++i) {
    const std::string ours = digest_in_pieces<Md5State, 16>(messages[i], rng, md5_begin, md5_feed, md5_finish) + " " +
                             digest_in_pieces<Sha1State, 20>(messages[i], rng, sha1_begin, sha1_feed, sha1_finish) +
                             " " +
                             digest_in_pieces<Sha256State, 32>(messages[i], rng, sha256_begin, sha256_feed,
                                                               sha256_finish) +
                             " " +
                             digest_in_pieces<Sha512State, 64>(messages[i], rng, sha512_begin, sha512_feed,
                                                               sha512_finish);
    EXPECT_EQ(ours, lines[i]) << "message length " << messages[i].size();
  }
}
