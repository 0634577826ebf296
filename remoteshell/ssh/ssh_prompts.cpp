// The questions both SSH versions ask through the conversation's prompt hook: the login name
// and the password.
#include <cstring>

#include "base/memory.h"
#include "remoteshell/core/backend.h"
#include "remoteshell/core/prompt_set.h"
#include "remoteshell/ssh/ssh_session.h"

namespace {
constexpr size_t kUserNameLimit = 100;
}  // namespace

bool ssh_ask(SshSession* ssh, PromptSet* prompts) { return backend_prompt(ssh->frontend, prompts) > 0; }

std::string ssh_reply_text(const Prompt* prompt) {
  return std::string(prompt->reply, strnlen(prompt->reply, static_cast<size_t>(prompt->reply_size)));
}

void ssh_wipe(std::string& text) {
  explicit_bzero(text.data(), text.size());
  text.clear();
}

bool ssh_ask_login_name(SshSession* ssh, std::string* user) {
  PromptSet* prompts = prompt_set_new(ssh->frontend);
  prompts->title = text_format("SSH login name");
  prompt_set_add(prompts, text_format("login as: "), 1, kSshReplySize);
  bool answered = ssh_ask(ssh, prompts);
  if (answered) *user = ssh_reply_text(prompts->items[0]).substr(0, kUserNameLimit);
  prompt_set_free(prompts);
  return answered;
}

bool ssh_login_name(SshSession* ssh, std::string* user) {
  *user = std::string(ssh->config.user_name, strnlen(ssh->config.user_name, kUserNameLimit));
  return !user->empty() || ssh_ask_login_name(ssh, user);
}

bool ssh_ask_password(SshSession* ssh, const std::string& user, std::string* password) {
  PromptSet* prompts = prompt_set_new(ssh->frontend);
  prompts->title = text_format("SSH password");
  prompt_set_add(prompts, text_format("%.90s@%.90s's password: ", user.c_str(), ssh->host.c_str()), 0, kSshReplySize);
  bool answered = ssh_ask(ssh, prompts);
  if (answered) {
    ssh_wipe(*password);
    *password = ssh_reply_text(prompts->items[0]);
  }
  prompt_set_free(prompts);
  return answered;
}
