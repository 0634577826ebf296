#include "crypto/entropy.h"

#include <cerrno>
#include <cstring>
#include <ctime>

#include <fcntl.h>
#include <sys/random.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/sysinfo.h>
#include <unistd.h>

#include "base/tick.h"
#include "crypto/secure_clear.h"

namespace {

// Kernel random bytes: getrandom, or /dev/urandom where the call is missing. Returns the
// bytes obtained.
int kernel_random(unsigned char* out, int length) {
  int got = 0;
  while (got < length) {
    ssize_t n = getrandom(out + got, static_cast<std::size_t>(length - got), GRND_NONBLOCK);
    if (n > 0) {
      got += static_cast<int>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    break;
  }
  if (got == length) return got;
  int fd = open("/dev/urandom", O_RDONLY | O_CLOEXEC);
  if (fd < 0) return got;
  while (got < length) {
    ssize_t n = read(fd, out + got, static_cast<std::size_t>(length - got));
    if (n > 0)
      got += static_cast<int>(n);
    else if (!(n < 0 && errno == EINTR))
      break;
  }
  close(fd);
  return got;
}

template <typename T>
void add_value(EntropySink sink, const T& value) {
  sink(&value, static_cast<int>(sizeof value));
}

void add_clock(EntropySink sink, clockid_t clock) {
  timespec now{};
  if (clock_gettime(clock, &now) == 0) add_value(sink, now);
}

void add_usage(EntropySink sink) {
  rusage usage{};
  if (getrusage(RUSAGE_SELF, &usage) == 0) add_value(sink, usage);
  struct sysinfo system {};
  if (sysinfo(&system) == 0) add_value(sink, system);
}

}  // namespace

void entropy_gather_heavy(EntropySink sink) {
  unsigned char random[64];
  int got = kernel_random(random, sizeof random);
  if (got > 0) sink(random, got);
  secure_clear(random, sizeof random);
  add_value(sink, getpid());
  add_value(sink, getppid());
  add_value(sink, static_cast<long>(syscall(SYS_gettid)));
  add_clock(sink, CLOCK_REALTIME);
  add_clock(sink, CLOCK_MONOTONIC);
  add_clock(sink, CLOCK_BOOTTIME);
  add_clock(sink, CLOCK_PROCESS_CPUTIME_ID);
  add_clock(sink, CLOCK_THREAD_CPUTIME_ID);
  add_usage(sink);
}

void entropy_gather_light(EntropySink sink) {
  add_clock(sink, CLOCK_REALTIME);
  add_clock(sink, CLOCK_MONOTONIC);
}

void entropy_gather_regular(EntropySink sink) {
  add_clock(sink, CLOCK_PROCESS_CPUTIME_ID);
  add_clock(sink, CLOCK_THREAD_CPUTIME_ID);
  add_usage(sink);
  unsigned char random[32];
  int got = kernel_random(random, sizeof random);
  if (got > 0) sink(random, got);
  secure_clear(random, sizeof random);
}

void entropy_tiny_clocks(unsigned char out[12]) {
  uint32_t tick = tick_count();
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  uint64_t nanoseconds = static_cast<uint64_t>(now.tv_sec) * 1000000000u + static_cast<uint64_t>(now.tv_nsec);
  std::memcpy(out, &tick, 4);
  std::memcpy(out + 4, &nanoseconds, 8);
}
