#include "remoteshell/core/prompt_set.h"

#include <cstring>

#include "base/memory.h"

PromptSet* prompt_set_new(void* owner) {
  auto* set = checked_new_array<PromptSet>(1);
  *set = PromptSet{1, nullptr, 0, nullptr, 0, 0, nullptr, owner, 0};
  return set;
}

void prompt_set_add(PromptSet* set, char* text, int echo, int reply_size) {
  auto* prompt = checked_new_array<Prompt>(1);
  int size = reply_size > 0 ? reply_size : 1;
  prompt->text = text;
  prompt->echo = echo;
  prompt->reply = checked_new_array<char>(static_cast<size_t>(size));
  std::memset(prompt->reply, 0, static_cast<size_t>(size));
  prompt->reply_size = size;
  set->items = checked_resize_array(set->items, static_cast<size_t>(set->count) + 1);
  set->items[set->count++] = prompt;
}

void prompt_set_free(PromptSet* set) {
  if (set == nullptr) return;
  for (int i = 0; i < set->count; ++i) {
    Prompt* prompt = set->items[i];
    explicit_bzero(prompt->reply, static_cast<size_t>(prompt->reply_size));
    checked_free(prompt->reply);
    checked_free(prompt->text);
    checked_free(prompt);
  }
  checked_free(set->items);
  checked_free(set->title);
  checked_free(set->instructions);
  checked_free(set);
}
