// SSH-2 user authentication: the "none" request, then public keys (ssh2_publickey.cpp),
// keyboard-interactive and password (with password change), every question asked through the
// conversation's prompt hook.
#include <algorithm>
#include <cstring>
#include <string>

#include "base/memory.h"
#include "remoteshell/core/backend.h"
#include "remoteshell/core/prompt_set.h"
#include "remoteshell/ssh/ssh_session.h"

namespace {

enum : uint8_t {
  kMsgUserauthRequest = 50,
  kMsgUserauthFailure = 51,
  kMsgUserauthSuccess = 52,
  kMsgUserauthBanner = 53,
  kMsgUserauth60 = 60,  // PASSWD_CHANGEREQ or INFO_REQUEST, by the method asked
  kMsgUserauthInfoResponse = 61,
};

constexpr size_t kUserNameLimit = 100;
constexpr int kReplySize = kSshReplySize;
// The service answers every question with the one configured password, so a change (two
// replies that must match) could be asked for ever: a few rounds, then the login is given up.
constexpr int kPasswordChangeRounds = 3;

bool method_listed(std::string_view list, std::string_view method) {
  while (!list.empty()) {
    size_t comma = list.find(',');
    if (list.substr(0, comma) == method) return true;
    if (comma == std::string_view::npos) break;
    list.remove_prefix(comma + 1);
  }
  return false;
}

void send_keyboard_interactive(SshSession* ssh) {
  WireBuffer request;
  ssh2_userauth_request_head(request, ssh, "keyboard-interactive");
  request.put_string("");
  request.put_string("");
  ssh2_send(ssh, request);
  ssh->auth.last = kAuthKeyboardInteractive;
  ssh->auth.step = kAuthAwaitKiReply;
  ssh->auth.ki_answered = false;
}

void send_password(SshSession* ssh) {
  if (!ssh_ask_password(ssh, ssh->auth.user, &ssh->auth.password)) return ssh2_userauth_give_up(ssh);
  WireBuffer request;
  ssh2_userauth_request_head(request, ssh, "password");
  request.put_bool(false);
  size_t secret_from = request.bytes().size();
  request.put_string(ssh->auth.password);
  ssh2_send(ssh, request, secret_from);
  ssh_event(ssh, "Sent password");
  ssh->auth.last = kAuthPassword;
  ssh->auth.step = kAuthAwaitPasswordReply;
}

void next_attempt(SshSession* ssh, std::string_view methods) {
  if (method_listed(methods, "publickey") && ssh2_publickey_offer(ssh)) return;
  if (ssh->config.auth_ki && !ssh->auth.ki_refused && method_listed(methods, "keyboard-interactive"))
    return send_keyboard_interactive(ssh);
  if (method_listed(methods, "password")) return send_password(ssh);
  backend_login_refused(ssh->frontend);
  ssh_disconnect(ssh, nullptr, "No supported authentication methods available", 14, false);
}

// A round of attempts for one user name: the "none" request, then every method afresh. The
// name is asked for when ask_name is set.
void start_round(SshSession* ssh, bool ask_name) {
  if (ask_name && !ssh_ask_login_name(ssh, &ssh->auth.user))
    return ssh_disconnect(ssh, "No username provided", nullptr, 0, true);
  SshAuthState& auth = ssh->auth;
  auth.ki_refused = false;
  auth.key_tried = false;
  auth.password_changes = 0;
  auth.agent_next = auth.agent_match >= 0 ? static_cast<size_t>(auth.agent_match) : 0;
  WireBuffer request;
  ssh2_userauth_request_head(request, ssh, "none");
  ssh2_send(ssh, request);
  auth.last = kAuthNone;
  auth.step = kAuthAwaitReply;
}

void take_failure(SshSession* ssh, WireBuffer& body) {
  ssh->auth.methods = std::string(body.get_string());
  bool partial = body.get_bool();
  if (ssh->auth.step == kAuthAwaitKiReply && !ssh->auth.ki_answered) {
    ssh_event(ssh, "Keyboard-interactive authentication refused");
    ssh->auth.ki_refused = true;
    ssh->auth.last = kAuthKeyboardInteractiveRefused;
  }
  if (!partial && ssh->auth.last != kAuthNone) backend_login_refused(ssh->frontend);
  if (partial) {
    ssh_write_error(ssh, "Further authentication required\r\n");
    ssh_event(ssh, "Further authentication required");
  } else if (ssh->auth.last == kAuthPublicKeyOffered) {
    ssh_write_error(ssh, "Server refused our key\r\n");
    ssh_event(ssh, "Server refused public key");
  } else if (ssh->auth.last == kAuthAgentKeyOffered) {
    ssh_event(ssh, "Server refused public key");
  } else if (ssh->auth.last != kAuthNone && ssh->auth.last != kAuthKeyboardInteractiveRefused) {
    ssh_write_error(ssh, "Access denied\r\n");
    ssh_event(ssh, "Access denied");
    if (ssh->auth.last == kAuthPassword && ssh->config.change_username) return start_round(ssh, true);
  }
  ssh2_userauth_next(ssh);
}

void take_password_change(SshSession* ssh, WireBuffer& body) {
  std::string server_prompt(body.get_string());
  if (ssh->auth.password_changes == 0) {
    ssh_write_error(ssh, "Server requested password change\r\n");
  } else {
    ssh_event(ssh, "Server rejected new password");
    ssh_write_error(ssh, "Server rejected new password\r\n");
  }
  std::string fresh;
  while (fresh.empty()) {
    if (++ssh->auth.password_changes > kPasswordChangeRounds) return ssh2_userauth_give_up(ssh);
    PromptSet* prompts = prompt_set_new(ssh->frontend);
    prompts->title = text_format("New SSH password");
    prompts->instructions = text_format("%s", server_prompt.c_str());
    prompts->instructions_shown = 1;
    prompt_set_add(prompts, text_format("Enter new password: "), 0, kReplySize);
    prompt_set_add(prompts, text_format("Confirm new password: "), 0, kReplySize);
    bool answered = ssh_ask(ssh, prompts);
    std::string first = answered ? ssh_reply_text(prompts->items[0]) : "";
    std::string second = answered ? ssh_reply_text(prompts->items[1]) : "";
    prompt_set_free(prompts);
    if (!answered) return ssh2_userauth_give_up(ssh);
    if (first == second)
      fresh.swap(first);
    else
      ssh_write_error(ssh, "Passwords do not match\r\n");
    ssh_wipe(first);
    ssh_wipe(second);
  }
  WireBuffer request;
  ssh2_userauth_request_head(request, ssh, "password");
  request.put_bool(true);
  size_t secret_from = request.bytes().size();
  request.put_string(ssh->auth.password);
  request.put_string(fresh);
  ssh_wipe(fresh);
  ssh2_send(ssh, request, secret_from);
  ssh_event(ssh, "Sent new password");
}

void take_info_request(SshSession* ssh, const unsigned char* body, size_t length) {
  PromptSet* prompts = ssh2_ki_prompts(ssh->frontend, body, length);
  if (prompts == nullptr) return ssh_fatal(ssh, "Malformed keyboard-interactive request from server");
  ssh->auth.ki_answered = true;
  bool answered = prompts->count == 0 || ssh_ask(ssh, prompts);
  if (!answered) {
    prompt_set_free(prompts);
    return ssh2_userauth_give_up(ssh);
  }
  WireBuffer response;
  response.put_byte(kMsgUserauthInfoResponse);
  response.put_uint32(static_cast<uint32_t>(prompts->count));
  for (int i = 0; i < prompts->count; ++i) {
    const Prompt* prompt = prompts->items[i];
    response.put_string(prompt->reply, strnlen(prompt->reply, static_cast<size_t>(prompt->reply_size)));
  }
  prompt_set_free(prompts);
  ssh2_send(ssh, response, 5);
}

bool auth_packet(SshSession* ssh, const unsigned char* payload, size_t length) {
  uint8_t type = payload[0];
  WireBuffer body(payload + 1, static_cast<std::ptrdiff_t>(length - 1));
  if (ssh->auth.step == kAuthDone) return ssh2_connection_packet(ssh, payload, length);
  switch (type) {
    case kMsgUserauthBanner: return true;  // banners are not shown
    case kMsgUserauthSuccess:
      ssh_event(ssh, "Access granted");
      ssh->auth.step = kAuthDone;
      ssh_wipe(ssh->auth.password);
      ssh2_connection_start(ssh);
      return true;
    case kMsgUserauthFailure: take_failure(ssh, body); return true;
    case kMsgUserauth60:
      if (ssh->auth.step == kAuthAwaitPasswordReply) {
        take_password_change(ssh, body);
        return true;
      }
      if (ssh->auth.step == kAuthAwaitKiReply) {
        take_info_request(ssh, payload + 1, length - 1);
        return true;
      }
      if (ssh->auth.step == kAuthAwaitAgentKeyOk || ssh->auth.step == kAuthAwaitKeyFileOk) {
        ssh2_publickey_accepted(ssh);
        return true;
      }
      break;
    default: break;
  }
  ssh_fatal(ssh, "Strange packet received during authentication: type " + std::to_string(type));
  return true;
}

}  // namespace

void ssh2_userauth_request_head(WireBuffer& request, SshSession* ssh, const char* method) {
  request.put_byte(kMsgUserauthRequest);
  request.put_string(ssh->auth.user);
  request.put_string("ssh-connection");
  request.put_string(method);
}

void ssh2_userauth_next(SshSession* ssh) {
  ssh->auth.step = kAuthAwaitReply;
  next_attempt(ssh, ssh->auth.methods);
}

const char* ssh2_userauth_message_name(const SshSession* ssh, uint8_t type) {
  switch (type) {
    case kMsgUserauthRequest: return "SSH2_MSG_USERAUTH_REQUEST";
    case kMsgUserauthFailure: return "SSH2_MSG_USERAUTH_FAILURE";
    case kMsgUserauthSuccess: return "SSH2_MSG_USERAUTH_SUCCESS";
    case kMsgUserauthBanner: return "SSH2_MSG_USERAUTH_BANNER";
    default: break;
  }
  // Types 60 and 61 mean what the method being tried makes them mean.
  SshAuthStep step = ssh->auth.step;
  if (type == kMsgUserauth60 && (step == kAuthAwaitAgentKeyOk || step == kAuthAwaitKeyFileOk))
    return "SSH2_MSG_USERAUTH_PK_OK";
  if (type == kMsgUserauth60 && step == kAuthAwaitPasswordReply) return "SSH2_MSG_USERAUTH_PASSWD_CHANGEREQ";
  if (type == kMsgUserauth60 && step == kAuthAwaitKiReply) return "SSH2_MSG_USERAUTH_INFO_REQUEST";
  if (type == kMsgUserauthInfoResponse && step == kAuthAwaitKiReply) return "SSH2_MSG_USERAUTH_INFO_RESPONSE";
  return nullptr;
}

void ssh2_userauth_give_up(SshSession* ssh) {
  backend_login_refused(ssh->frontend);
  ssh_disconnect(ssh, nullptr, "Unable to authenticate", 13, true);
}

PromptSet* ssh2_ki_prompts(void* owner, const unsigned char* data, size_t length) {
  WireBuffer body(data, static_cast<std::ptrdiff_t>(length));
  std::string_view name = body.get_string();
  std::string_view instruction = body.get_string();
  body.get_string();  // language
  uint32_t count = body.get_uint32();
  // Each prompt takes at least five bytes (an empty string and its echo flag): a count the
  // packet cannot hold is refused before anything is made for it.
  if (body.failed() || count > body.remaining() / 5) return nullptr;
  PromptSet* prompts = prompt_set_new(owner);
  if (!name.empty()) {
    prompts->title = text_format("SSH server: %.*s", static_cast<int>(name.size()), name.data());
    prompts->title_shown = 1;
  } else {
    prompts->title = text_format("SSH server authentication");
  }
  prompts->instructions =
      text_format("Using keyboard-interactive authentication.%s%.*s", instruction.empty() ? "" : "\n",
                  static_cast<int>(instruction.size()), instruction.data());
  prompts->instructions_shown = 1;
  for (uint32_t i = 0; i < count; ++i) {
    std::string_view text = body.get_string();
    bool echo = body.get_bool();
    if (body.failed()) {
      prompt_set_free(prompts);
      return nullptr;
    }
    char* shown = text.empty() ? text_format("<server failed to send prompt>: ")
                               : text_format("%.*s", static_cast<int>(text.size()), text.data());
    prompt_set_add(prompts, shown, echo ? 1 : 0, kReplySize);
  }
  return prompts;
}

void ssh2_request_service(SshSession* ssh, const char* service) {
  ssh->service_requested = service;
  WireBuffer request;
  request.put_byte(kMsgServiceRequest);
  request.put_string(service);
  ssh2_send(ssh, request);
}

void ssh2_userauth_skip(SshSession* ssh) {
  ssh->packet_handler = auth_packet;
  ssh->auth.step = kAuthDone;
  ssh2_connection_start(ssh);
}

void ssh2_userauth_start(SshSession* ssh) {
  ssh->packet_handler = auth_packet;
  ssh2_publickey_prepare(ssh);
  if (ssh->state == kSshClosed) return;
  ssh->auth.user = std::string(ssh->config.user_name, strnlen(ssh->config.user_name, kUserNameLimit));
  start_round(ssh, ssh->auth.user.empty());
}
