#pragma once
// Questions to the user through the conversation's prompt hook.
#include "remoteshell/ssh/ssh_session.h"

// ---- questions through the conversation's prompt hook (ssh_prompts.cpp) ----
inline constexpr int kSshReplySize = 100;
// True when answered. Answers that come later are not taken by this client (the service
// answers at once), so they count as cancelled.
bool ssh_ask(SshSession* ssh, PromptSet* prompts);
std::string ssh_reply_text(const Prompt* prompt);
void ssh_wipe(std::string& text);
// The "login as: " question; false when cancelled.
bool ssh_ask_login_name(SshSession* ssh, std::string* user);
// "UserName" (its first 100 characters), else the question; false when cancelled.
bool ssh_login_name(SshSession* ssh, std::string* user);
// The "SSH password" question for user@host; false when cancelled.
bool ssh_ask_password(SshSession* ssh, const std::string& user, std::string* password);
