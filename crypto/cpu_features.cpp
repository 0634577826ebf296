#include "crypto/cpu_features.h"

#include <atomic>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

namespace {

std::atomic<bool> allowed{true};

struct Features {
  bool aes = false;
  bool sha = false;
};

Features detect() {
  Features features;
#if defined(__x86_64__) || defined(__i386__)
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
  if (__get_cpuid(1, &eax, &ebx, &ecx, &edx) == 0) return features;
  const bool ssse3 = (ecx & bit_SSSE3) != 0, sse41 = (ecx & bit_SSE4_1) != 0;
  features.aes = ssse3 && sse41 && (ecx & bit_AES) != 0;
  if (__get_cpuid_count(7, 0, &eax, &ebx, &ecx, &edx) != 0) features.sha = ssse3 && sse41 && (ebx & bit_SHA) != 0;
#endif
  return features;
}

const Features& features() {
  static const Features detected = detect();
  return detected;
}

}  // namespace

bool cpu_has_aes_instructions() { return allowed.load(std::memory_order_relaxed) && features().aes; }
bool cpu_has_sha_instructions() { return allowed.load(std::memory_order_relaxed) && features().sha; }
bool crypto_allow_instructions(bool allow) { return allowed.exchange(allow); }
