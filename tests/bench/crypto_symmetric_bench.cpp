// Throughput of the symmetric primitives on 16 KiB buffers, printed beside `openssl speed -evp`
// for the same algorithm in the same run: once with OpenSSL's AES-NI, PCLMULQDQ and SHA
// extensions masked (a like-for-like comparison with our table-driven code) and once unmasked.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "crypto/aes.h"
#include "crypto/arcfour.h"
#include "crypto/blowfish.h"
#include "crypto/des.h"
#include "crypto/hmac.h"
#include "crypto/md5.h"
#include "crypto/sha1.h"
#include "crypto/sha256.h"
#include "crypto/sha512.h"
#include "crypto/triple_des.h"

namespace {

constexpr std::size_t buffer_size = 16384;

struct Row {
  std::string name;
  std::string openssl_arguments;  // empty when OpenSSL has no counterpart
  double target;                  // fraction of masked OpenSSL aimed at, 0 for none
  std::function<void(unsigned char *, std::size_t)> process;
};

// A cipher record's operations with a fixed key and IV, for the lifetime of the benchmark run.
struct CipherUnderTest {
  void *context;
  void (*operation)(void *, unsigned char *, std::size_t);
  void operator()(unsigned char *buffer, std::size_t length) const { operation(context, buffer, length); }
};

CipherUnderTest make_cipher(void *(*make)(), void (*set_key)(void *, const unsigned char *),
                            void (*set_iv)(void *, const unsigned char *),
                            void (*operation)(void *, unsigned char *, std::size_t))
{
  static const unsigned char key[32] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16,
                                        17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32};
  static const unsigned char iv[16] = {9, 8, 7, 6, 5, 4, 3, 2, 1, 0, 1, 2, 3, 4, 5, 6};
  void *context = make();
  set_key(context, key);
  if (set_iv)
    set_iv(context, iv);
  return {context, operation};
}

template <typename State, std::size_t N>
std::function<void(unsigned char *, std::size_t)> hash_of(void (*begin)(State *),
                                                          void (*feed)(State *, const void *, std::size_t),
                                                          void (*finish)(State *, unsigned char *))
{
  return [=](unsigned char *buffer, std::size_t length) {
    State state;
    begin(&state);
    feed(&state, buffer, length);
    unsigned char digest[N];
    finish(&state, digest);
    benchmark::DoNotOptimize(digest);
  };
}

std::vector<Row> make_rows()
{
  static unsigned char mac_buffer[buffer_size + 20];
  auto packet_mac = [](void *(*make)(), void (*set_key)(void *, const unsigned char *),
                       void (*generate)(void *, unsigned char *, std::size_t, std::uint32_t)) {
    void *context = make();
    static const unsigned char key[20] = {7};
    set_key(context, key);
    return [=](unsigned char *buffer, std::size_t length) {
      std::copy(buffer, buffer + length, mac_buffer);
      generate(context, mac_buffer, length, 42);
    };
  };
  const std::string legacy = " -provider legacy -provider default";
  return {
      {"aes128-cbc encrypt", "-evp aes-128-cbc", 0.4,
       make_cipher(aes_cipher_new_context, aes128_cipher_set_key, aes_cipher_set_iv, aes_cipher_encrypt_cbc)},
      {"aes128-cbc decrypt", "-evp aes-128-cbc -decrypt", 0.4,
       make_cipher(aes_cipher_new_context, aes128_cipher_set_key, aes_cipher_set_iv, aes_cipher_decrypt_cbc)},
      {"aes256-cbc encrypt", "-evp aes-256-cbc", 0.4,
       make_cipher(aes_cipher_new_context, aes256_cipher_set_key, aes_cipher_set_iv, aes_cipher_encrypt_cbc)},
      {"aes128-ctr", "-evp aes-128-ctr", 0.4,
       make_cipher(aes_cipher_new_context, aes128_cipher_set_key, aes_cipher_set_iv, aes_cipher_sdctr)},
      {"aes256-ctr", "-evp aes-256-ctr", 0.4,
       make_cipher(aes_cipher_new_context, aes256_cipher_set_key, aes_cipher_set_iv, aes_cipher_sdctr)},
      {"3des-cbc encrypt", "-evp des-ede3-cbc", 0.5,
       make_cipher(des3_cipher_new_context, des3_cipher_set_key, des3_cipher_set_iv, des3_cipher_encrypt_cbc)},
      {"3des-cbc decrypt", "-evp des-ede3-cbc -decrypt", 0.5,
       make_cipher(des3_cipher_new_context, des3_cipher_set_key, des3_cipher_set_iv, des3_cipher_decrypt_cbc)},
      {"3des-ctr", "", 0,
       make_cipher(des3_cipher_new_context, des3_cipher_set_key, des3_cipher_set_iv, des3_cipher_sdctr)},
      {"ssh1 3des inner-cbc", "", 0,
       make_cipher(ssh1_des3_new_context, ssh1_des3_set_session_key, nullptr, ssh1_des3_encrypt)},
      {"des-cbc encrypt", "-evp des-cbc" + legacy, 0,
       make_cipher(des_cipher_new_context, des_cipher_set_key, des_cipher_set_iv, des_cipher_encrypt_cbc)},
      {"blowfish-cbc encrypt", "-evp bf-cbc" + legacy, 0.5,
       make_cipher(blowfish_cipher_new_context, blowfish128_cipher_set_key, blowfish_cipher_set_iv,
                   blowfish_cipher_encrypt_cbc)},
      {"blowfish-ctr", "", 0,
       make_cipher(blowfish_cipher_new_context, blowfish256_cipher_set_key, blowfish_cipher_set_iv,
                   blowfish_cipher_sdctr)},
      {"ssh1 blowfish", "", 0,
       make_cipher(ssh1_blowfish_new_context, ssh1_blowfish_set_session_key, nullptr, ssh1_blowfish_encrypt)},
      {"arcfour128", "-evp rc4" + legacy, 0,
       make_cipher(arcfour_cipher_new_context, arcfour128_cipher_set_key, nullptr, arcfour_cipher_crypt)},
      {"md5", "-evp md5", 0.6, hash_of<Md5State, 16>(md5_begin, md5_feed, md5_finish)},
      {"sha1", "-evp sha1", 0.4, hash_of<Sha1State, 20>(sha1_begin, sha1_feed, sha1_finish)},
      {"sha256", "-evp sha256", 0.4, hash_of<Sha256State, 32>(sha256_begin, sha256_feed, sha256_finish)},
      {"sha512", "-evp sha512", 0, hash_of<Sha512State, 64>(sha512_begin, sha512_feed, sha512_finish)},
      {"hmac-md5 packet", "-hmac md5", 0,
       packet_mac(hmac_md5_mac_new_context, hmac_md5_mac_set_key, hmac_md5_mac_generate)},
      {"hmac-sha1 packet", "-hmac sha1", 0,
       packet_mac(hmac_sha1_mac_new_context, hmac_sha1_mac_set_key, hmac_sha1_mac_generate)},
  };
}

// Bytes per second of one `openssl speed` run on 16 KiB blocks, 0 when it cannot be measured.
double openssl_speed(const std::string &arguments, bool masked)
{
  // AES-NI and PCLMULQDQ (CPUID.1:ECX bits 25 and 1), SHA extensions (CPUID.7:EBX bit 29).
  const std::string environment = masked ? "OPENSSL_ia32cap='~0x200000200000000:~0x20000000' " : "";
  const std::string command =
      environment + "openssl speed " + arguments + " -bytes 16384 -seconds 1 -mr 2>/dev/null";
  FILE *pipe = popen(command.c_str(), "r");
  if (!pipe)
    return 0;
  double rate = 0;
  char line[512];
  while (std::fgets(line, sizeof line, pipe)) {
    const std::string text = line;
    if (text.rfind("+F:", 0) == 0)
      rate = std::stod(text.substr(text.rfind(':') + 1));
  }
  pclose(pipe);
  return rate;
}

class CollectingReporter : public benchmark::ConsoleReporter {
public:
  std::map<std::string, double> bytes_per_second;

  void ReportRuns(const std::vector<Run> &runs) override
  {
    for (const auto &run : runs)
      if (run.counters.count("bytes_per_second"))
        bytes_per_second[run.benchmark_name()] = run.counters.at("bytes_per_second");
    ConsoleReporter::ReportRuns(runs);
  }
};

}  // namespace

int main(int argc, char **argv)
{
  const std::vector<Row> rows = make_rows();
  static std::vector<unsigned char> buffer(buffer_size, 0x5a);
  for (const auto &row : rows) {
    benchmark::RegisterBenchmark(row.name.c_str(), [process = row.process](benchmark::State &state) {
      for (auto _ : state) {
        process(buffer.data(), buffer.size());
        benchmark::DoNotOptimize(buffer.data());
        benchmark::ClobberMemory();
      }
      state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * buffer_size));
    });
  }
  benchmark::Initialize(&argc, argv);
  CollectingReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);

  std::printf("\n%-22s %10s %12s %8s %7s %12s\n", "16 KiB buffers", "ours MB/s", "masked MB/s", "share",
              "target", "native MB/s");
  for (const auto &row : rows) {
    const auto found = reporter.bytes_per_second.find(row.name);
    if (found == reporter.bytes_per_second.end())
      continue;
    const double ours = found->second / 1e6;
    if (row.openssl_arguments.empty()) {
      std::printf("%-22s %10.1f %12s %8s %7s %12s\n", row.name.c_str(), ours, "-", "-", "-", "-");
      continue;
    }
    const double masked = openssl_speed(row.openssl_arguments, true) / 1e6;
    const double native = openssl_speed(row.openssl_arguments, false) / 1e6;
    char share[16] = "-", target[16] = "-";
    if (masked > 0)
      std::snprintf(share, sizeof share, "%.0f%%", 100 * ours / masked);
    if (row.target > 0)
      std::snprintf(target, sizeof target, "%s%.0f%%", masked > 0 && ours / masked >= row.target ? "" : "!",
                    100 * row.target);
    std::printf("%-22s %10.1f %12.1f %8s %7s %12.1f\n", row.name.c_str(), ours, masked, share, target, native);
  }
  benchmark::Shutdown();
  return 0;
}
