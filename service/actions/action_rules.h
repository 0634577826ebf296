#pragma once
// Which automatic actions fire for one stored value, and the texts they are started with.
// Actions are walked in the map's order; an action fires when it is enabled, watches the
// value's pool (exact bytes), covers the device's address, and its conditions hold. Its run,
// e-mail and trap parts then start, in that order, each when configured.
#include <ctime>
#include <memory>
#include <string>

#include "common/mirvale_doc.h"
#include "service/actions/action_requests.h"
#include "service/store/data_store.h"

namespace mirvale {

struct ActionSubject {
  std::string pool;
  std::string address;
  std::string name;
  std::time_t time = 0;
};

// One line of shell output. The value pattern is matched against the line cut of blanks at
// both ends; with changes-only, the line fires when the device had previous lines and the line
// as stored is not among them.
void CheckActions(const std::shared_ptr<const CMirvaleDoc>& settings, const ActionHooks& start,
                  const ActionSubject& subject, const std::string& line, const PreviousLines& previous);

// One SNMP value, before it is stored: the query pattern is matched against the query name or
// the key; with changes-only, it fires when nothing is stored under the key or the stored value
// differs.
void CheckQueryActions(const std::shared_ptr<const CMirvaleDoc>& settings, const ActionHooks& start,
                       const ServiceDataStore& store, const ActionSubject& subject, const std::string& key,
                       const std::string& queryName, const std::string& value);

// Control 145: the e-mail templates with test values, to the test recipients.
void SendTestMail(const std::shared_ptr<const CMirvaleDoc>& settings, const ActionHooks& start, std::time_t now);

// Whether the action's address condition covers the device's address: from the start address
// as written up to it with every bit below the prefix length set, compared as numbers (a host
// name, or any text that is not a dotted address, compares as 255.255.255.255).
bool ActionCoversAddress(const CActionItem& action, const std::string& address);

// The run command's five ";"-terminated fields; a field without its ";" is empty.
struct RunCommandFields {
  std::string program;
  std::string domain;
  std::string password;
  std::string user;
  std::string parameters;
};
RunCommandFields SplitRunCommand(const std::string& command);

}  // namespace mirvale
