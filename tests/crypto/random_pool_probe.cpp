// Seeds the random pool as a session would and prints its first 32 bytes in hex.
#include <cstdio>

#include "crypto/random_pool.h"

int main()
{
  random_acquire();
  for (int i = 0; i < 32; ++i)
    std::printf("%02x", random_next_byte());
  std::printf("\n");
  random_release();
  return 0;
}
