// Public-key timings: RSA-2048 sign and verify, DSA-1024 sign and the modular exponentiations
// of a group-14 key exchange, with OpenSSL's figures for the same operations printed first.
#include <benchmark/benchmark.h>

#include <cstring>
#include <iostream>

#include "crypto/diffie_hellman.h"
#include "crypto/diffie_hellman_groups.h"
#include "crypto/dsa.h"
#include "crypto/rsa.h"
#include "base/memory.h"
#include "tests/crypto/bignum_test_support.h"
#include "tests/support/scoped_env.h"

using namespace bignum_testing;

namespace {

testing_support::TempFolder *folder;
std::map<std::string, std::string> rsa_values, dsa_values;

RsaKey *rsa_key()
{
  static RsaKey key{};
  if (!key.modulus) {
    key.modulus = from_hex(rsa_values.at("modulus")).release();
    key.exponent = from_hex(rsa_values.at("publicExponent")).release();
    key.private_exponent = from_hex(rsa_values.at("privateExponent")).release();
    BigNumPtr p = from_hex(rsa_values.at("prime1")), q = from_hex(rsa_values.at("prime2"));
    if (bn_compare(p.get(), q.get()) < 0)
      std::swap(p, q);
    key.iqmp = bn_mod_inverse(q.get(), p.get());
    key.p = p.release();
    key.q = q.release();
    key.bits = bn_bit_count(key.modulus);
    key.bytes = (key.bits + 7) / 8;
  }
  return &key;
}

DsaKey *dsa_key()
{
  static DsaKey key{};
  if (!key.p) {
    key.p = from_hex(dsa_values.at("P")).release();
    key.q = from_hex(dsa_values.at("Q")).release();
    key.g = from_hex(dsa_values.at("G")).release();
    key.y = from_hex(dsa_values.at("pub")).release();
    key.x = from_hex(dsa_values.at("priv")).release();
  }
  return &key;
}

const unsigned char data[] = "exchange hash";

using SignFunction = unsigned char *(*)(void *key, const unsigned char *data, int data_length, int *signature_length);
using VerifyFunction = int (*)(void *key, const unsigned char *signature, int signature_length,
                               const unsigned char *data, int data_length);

// Signs a counter that changes every iteration, so no two signatures share their input.
void time_signing(benchmark::State &state, void *key, SignFunction sign)
{
  uint32_t counter = 0;
  for (auto _ : state) {
    ++counter;
    int length = 0;
    unsigned char *signature = sign(key, reinterpret_cast<unsigned char *>(&counter), 4, &length);
    benchmark::DoNotOptimize(signature);
    checked_free(signature);
  }
}

void time_verifying(benchmark::State &state, void *key, SignFunction sign, VerifyFunction verify)
{
  int length = 0;
  unsigned char *signature = sign(key, data, sizeof data, &length);
  for (auto _ : state)
    benchmark::DoNotOptimize(verify(key, signature, length, data, sizeof data));
  checked_free(signature);
}

void BM_Rsa2048Sign(benchmark::State &state) { time_signing(state, rsa_key(), rsa2_sign); }
BENCHMARK(BM_Rsa2048Sign)->Unit(benchmark::kMillisecond);

void BM_Rsa2048Verify(benchmark::State &state) { time_verifying(state, rsa_key(), rsa2_sign, rsa2_verify_signature); }
BENCHMARK(BM_Rsa2048Verify)->Unit(benchmark::kMillisecond);

void BM_Dsa1024Sign(benchmark::State &state) { time_signing(state, dsa_key(), dsa_sign); }
BENCHMARK(BM_Dsa1024Sign)->Unit(benchmark::kMillisecond);

void BM_Dsa1024Verify(benchmark::State &state) { time_verifying(state, dsa_key(), dsa_sign, dsa_verify_signature); }
BENCHMARK(BM_Dsa1024Verify)->Unit(benchmark::kMillisecond);

// Our half of a group-14 exchange: e = g^x mod p and K = f^x mod p. The argument is the
// requested exponent size; 0 draws x below q (about 2047 bits), the worst case.
void BM_Group14Exchange(benchmark::State &state)
{
  const KexAlgorithm group14 = {"group14", "group14", dh_group14_prime, dh_group_generator,
                                dh_group14_prime_length, 1, nullptr};
  DhContext *theirs = dh_new_from_group(&group14);
  BigNum f = dh_make_public(theirs, 0);
  for (auto _ : state) {
    DhContext *ours = dh_new_from_group(&group14);
    BigNum e = dh_make_public(ours, static_cast<int>(state.range(0)));
    BigNum k = dh_shared_secret(ours, f);
    benchmark::DoNotOptimize(k);
    bn_release(e);
    bn_release(k);
    dh_destroy(ours);
  }
  bn_release(f);
  dh_destroy(theirs);
}
BENCHMARK(BM_Group14Exchange)->Arg(0)->Arg(320)->Unit(benchmark::kMillisecond);

void make_keys()
{
  folder = new testing_support::TempFolder;
  std::string dir = folder->path();
  run_command("openssl genpkey -algorithm RSA -pkeyopt rsa_keygen_bits:2048 -out " + dir + "/rsa.pem 2>/dev/null");
  rsa_values = parse_openssl_text(run_command("openssl pkey -in " + dir + "/rsa.pem -text -noout"));
  run_command("openssl genpkey -genparam -algorithm DSA -pkeyopt dsa_paramgen_bits:1024 -pkeyopt "
              "dsa_paramgen_q_bits:160 -out " + dir + "/params.pem 2>/dev/null && openssl genpkey -paramfile " +
              dir + "/params.pem -out " + dir + "/dsa.pem");
  dsa_values = parse_openssl_text(run_command("openssl pkey -in " + dir + "/dsa.pem -text -noout"));
}

}  // namespace

int main(int argc, char **argv)
{
  make_keys();
  std::cout << "OpenSSL in this run (openssl speed; ffdh2048 uses a short exponent):\n"
            << run_command("openssl speed -seconds 1 rsa2048 dsa1024 ffdh2048 2>/dev/null | "
                           "grep -E '^(rsa|dsa| *sign| *op|[0-9]+ bits ffdh)'")
            << std::endl;
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  delete folder;
  return 0;
}
