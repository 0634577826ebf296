#include "base/memory.h"

#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "base/process_exit.h"

namespace {

TEST(CheckedAlloc, ZeroElementsGiveAUsableByte) {
  auto* block = static_cast<char*>(checked_alloc(0, 8));
  block[0] = 'x';
  checked_free(block);
  checked_free(nullptr);
}

TEST(CheckedAlloc, ReallocOfNullAllocates) {
  auto* block = checked_resize_array<int>(nullptr, 4);
  block[3] = 7;
  block = checked_resize_array(block, 1000);
  EXPECT_EQ(block[3], 7);
  checked_free(block);
}

TEST(CheckedAllocDeathTest, OversizedProductIsOutOfMemory) {
  // 65536 * 32768 = 2^31: one past the largest block, and it would wrap a 32-bit product.
  EXPECT_EXIT(checked_alloc(65536, 32768), testing::ExitedWithCode(1), "FATAL ERROR: Out of memory!");
  EXPECT_EXIT(checked_realloc(nullptr, SIZE_MAX / 2, 4), testing::ExitedWithCode(1), "Out of memory!");
}

int hook_runs = 0;
void counting_hook() { ++hook_runs; }
void report_hook() { std::fprintf(stderr, "hook ran %d\n", hook_runs); }

TEST(CheckedAllocDeathTest, FatalExitRunsHooksOnceInReverseOrder) {
  EXPECT_EXIT(
      {
        shutdown_hook_register(report_hook);
        shutdown_hook_register(counting_hook);
        shutdown_hook_register(counting_hook);
        fatal_error_exit("%s", "boom");
      },
      testing::ExitedWithCode(1), "FATAL ERROR: boom\nhook ran 1");
}

TEST(Texts, CloneConcatAndFormat) {
  EXPECT_EQ(text_clone(nullptr), nullptr);
  char* clone = text_clone("abc");
  EXPECT_STREQ(clone, "abc");
  char* joined = text_concat("a", "", "bc", "d", nullptr);
  EXPECT_STREQ(joined, "abcd");
  std::string long_piece(2000, 'z');
  char* formatted = text_format("%d:%s.", 42, long_piece.c_str());
  EXPECT_EQ(std::string(formatted), "42:" + long_piece + ".");
  for (char* text : {clone, joined, formatted}) checked_free(text);
}

}  // namespace
