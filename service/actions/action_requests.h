#pragma once
// What the action rules hand to the action threads (run a program, send an e-mail, send a
// trap), and the hooks through which those threads are started.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/mirvale_doc.h"

namespace mirvale {

struct RunActionRequest {
  std::string program;
  std::vector<std::string> arguments;  // never joined into a shell command
  std::string user;
  std::string domain;
  std::string password;
};

struct EmailActionRequest {
  std::string body;
  std::string subject;
  std::string recipients;  // separated by ";"
  std::shared_ptr<const CMirvaleDoc> settings;  // mail server settings as they were at the start
};

struct TrapActionRequest {
  std::string message;
  std::string managers;
};

// Each hook runs on a worker thread of its own; an empty hook drops the action.
struct ActionHooks {
  std::function<void(const RunActionRequest&)> run;
  std::function<void(const EmailActionRequest&)> email;
  std::function<void(const TrapActionRequest&)> trap;
};

}  // namespace mirvale
