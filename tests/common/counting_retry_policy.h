#pragma once
// A retry policy for the file tests: counts the pauses instead of sleeping, and checks that
// each is the one-second pause the programs use between attempts.
#include <gtest/gtest.h>

#include <chrono>

#include "platform/retry.h"

struct CountingPolicy {
  int pauses = 0;
  platform::RetryPolicy policy() {
    platform::RetryPolicy p;
    p.sleep = [this](std::chrono::milliseconds duration) {
      EXPECT_EQ(duration.count(), 1000);
      ++pauses;
    };
    return p;
  }
};
