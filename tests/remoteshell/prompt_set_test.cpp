#include "remoteshell/core/prompt_set.h"

#include <gtest/gtest.h>

#include <cstring>

#include "base/memory.h"

namespace {

TEST(PromptSet, StartsAsTheOwnerExpectsAndFreesEverything) {
  int owner = 0;
  PromptSet* set = prompt_set_new(&owner);
  EXPECT_EQ(set->for_server, 1);
  EXPECT_EQ(set->owner, &owner);
  EXPECT_EQ(set->count, 0);
  set->title = text_clone("SSH login");
  prompt_set_add(set, text_clone("login as: "), 1, 64);
  prompt_set_add(set, text_clone("Password: "), 0, 100);
  ASSERT_EQ(set->count, 2);
  EXPECT_STREQ(set->items[1]->text, "Password: ");
  EXPECT_EQ(set->items[1]->echo, 0);
  EXPECT_EQ(set->items[1]->reply_size, 100);
  EXPECT_EQ(set->items[1]->reply[0], '\0');
  std::strcpy(set->items[1]->reply, "secret");
  prompt_set_free(set);  // ASan checks that nothing leaks or is touched twice
}

}  // namespace
