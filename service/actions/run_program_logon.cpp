#include "service/actions/run_program_logon.h"

#include <cstdlib>
#include <cstring>

#include <security/pam_appl.h>

namespace mirvale {

namespace {

struct Credentials {
  const std::string* user;
  const std::string* password;
};

// Answers hidden prompts with the password and visible ones with the user name; messages
// need no answer. PAM frees the replies.
int Converse(int count, const pam_message** messages, pam_response** responses, void* data) {
  if (count <= 0) return PAM_CONV_ERR;
  auto* credentials = static_cast<Credentials*>(data);
  auto* replies = static_cast<pam_response*>(calloc(static_cast<size_t>(count), sizeof(pam_response)));
  if (replies == nullptr) return PAM_BUF_ERR;
  for (int i = 0; i < count; ++i) {
    const char* answer = nullptr;
    switch (messages[i]->msg_style) {
      case PAM_PROMPT_ECHO_OFF: answer = credentials->password->c_str(); break;
      case PAM_PROMPT_ECHO_ON: answer = credentials->user->c_str(); break;
      case PAM_ERROR_MSG:
      case PAM_TEXT_INFO: break;
      default:
        for (int j = 0; j < i; ++j) free(replies[j].resp);
        free(replies);
        return PAM_CONV_ERR;
    }
    if (answer != nullptr && (replies[i].resp = strdup(answer)) == nullptr) {
      for (int j = 0; j < i; ++j) free(replies[j].resp);
      free(replies);
      return PAM_BUF_ERR;
    }
  }
  *responses = replies;
  return PAM_SUCCESS;
}

}  // namespace

LogonResult LogonUser(const std::string& user, const std::string& password) {
  Credentials credentials{&user, &password};
  pam_conv conversation{Converse, &credentials};
  pam_handle_t* handle = nullptr;
  int status = pam_start(kPamServiceName, user.c_str(), &conversation, &handle);
  if (status != PAM_SUCCESS) return {false, "PAM could not start"};
  status = pam_authenticate(handle, PAM_SILENT | PAM_DISALLOW_NULL_AUTHTOK);
  if (status == PAM_SUCCESS) status = pam_acct_mgmt(handle, PAM_SILENT | PAM_DISALLOW_NULL_AUTHTOK);
  LogonResult result{status == PAM_SUCCESS, status == PAM_SUCCESS ? "" : pam_strerror(handle, status)};
  pam_end(handle, status);
  return result;
}

}  // namespace mirvale
