#pragma once
// Questions for the owner of a connection (login name, password, pass phrase, keyboard-
// interactive prompts), each with a reply buffer that is wiped before it is released.

struct Prompt {
  char* text;   // owned
  int echo;     // the answer may be shown
  char* reply;  // owned, reply_size bytes
  int reply_size;
};

struct PromptSet {
  int for_server;
  char* title;  // owned or null
  int title_shown;
  char* instructions;  // owned or null
  int instructions_shown;
  int count;
  Prompt** items;  // owned
  void* owner;
  long user_data;
};

PromptSet* prompt_set_new(void* owner);
// Takes ownership of text (from checked_alloc); the reply buffer starts zeroed.
void prompt_set_add(PromptSet* set, char* text, int echo, int reply_size);
void prompt_set_free(PromptSet* set);
