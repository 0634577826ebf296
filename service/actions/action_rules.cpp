#include "service/actions/action_rules.h"

#include <vector>

#include "common/ipv4_address.h"
#include "common/text_trim.h"
#include "service/actions/placeholders.h"
#include "service/actions/prefix_length.h"
#include "service/actions/wildcard_match.h"
#include "service/host/local_time_text.h"

namespace mirvale {

namespace {

void StartActions(const std::shared_ptr<const CMirvaleDoc>& settings, const ActionHooks& start,
                  const std::string& actionName, const CActionItem& action, const ActionSubject& subject) {
  PlaceholderValues values{subject.pool, subject.address, subject.name, actionName, FormatLocalDateTime(subject.time)};
  if (!action.m_strRunCommand.empty() && start.run) {
    RunCommandFields fields = SplitRunCommand(action.m_strRunCommand);
    start.run(RunActionRequest{fields.program, BuildRunArguments(fields.parameters, values), fields.user, fields.domain,
                               fields.password});
  }
  if (!action.m_strMailRecipients.empty() && start.email) {
    start.email(EmailActionRequest{ReplacePlaceholders(settings->m_strMailBody, values),
                                   ReplacePlaceholdersInSubject(settings->m_strMailSubject, values),
                                   action.m_strMailRecipients, settings});
  }
  if (!action.m_strTrapManagers.empty() && start.trap) {
    start.trap(TrapActionRequest{"Pool=" + values.pool + ", Device=" + values.device + ", Name=" + values.name +
                                     ", Action=" + values.action + ", Date=" + values.date,
                                 action.m_strTrapManagers});
  }
}

template <typename Conditions>
void WalkActions(const std::shared_ptr<const CMirvaleDoc>& settings, const ActionHooks& start,
                 const ActionSubject& subject, Conditions&& conditionsHold) {
  if (!settings) return;
  for (const auto& [name, action] : settings->m_mapActions) {
    if (!action->m_bEnabled || action->m_strPool != subject.pool) continue;
    if (!ActionCoversAddress(*action, subject.address)) continue;
    if (!conditionsHold(*action)) continue;
    StartActions(settings, start, name, *action, subject);
  }
}

}  // namespace

bool ActionCoversAddress(const CActionItem& action, const std::string& address) {
  // The start is taken as written, never masked: 10.0.0.5 with 24 begins at 10.0.0.5.
  const uint32_t start = AddressToHostOrder(action.m_strAddress);
  const uint32_t end = start | ~MaskFromPrefixLength(ParsePrefixLength(action.m_strMaskBits));
  const uint32_t device = AddressToHostOrder(address);
  return start <= device && device <= end;
}

RunCommandFields SplitRunCommand(const std::string& command) {
  std::vector<std::string> fields;
  size_t start = 0;
  for (size_t end = command.find(';'); end != std::string::npos && fields.size() < 5; end = command.find(';', start)) {
    fields.push_back(command.substr(start, end - start));
    start = end + 1;
  }
  fields.resize(5);
  return {fields[0], fields[1], fields[2], fields[3], fields[4]};
}

void CheckActions(const std::shared_ptr<const CMirvaleDoc>& settings, const ActionHooks& start,
                  const ActionSubject& subject, const std::string& line, const PreviousLines& previous) {
  const std::string cut = Trim(line);
  WalkActions(settings, start, subject, [&](const CActionItem& action) {
    if (!WildcardMatch(cut, action.m_strValue)) return false;
    if (!action.m_bChangesOnly) return true;
    // The previous lines are keyed by the line as stored, indentation included.
    return !previous.empty() && previous.find(line) == previous.end();
  });
}

void CheckQueryActions(const std::shared_ptr<const CMirvaleDoc>& settings, const ActionHooks& start,
                       const ServiceDataStore& store, const ActionSubject& subject, const std::string& key,
                       const std::string& queryName, const std::string& value) {
  WalkActions(settings, start, subject, [&](const CActionItem& action) {
    if (!WildcardMatch(queryName, action.m_strQuery) && !WildcardMatch(key, action.m_strQuery)) return false;
    if (!WildcardMatch(value, action.m_strValue)) return false;
    if (!action.m_bChangesOnly) return true;
    CDbQuery stored;
    return !store.FindQueryValue(DeviceKey(subject.pool, subject.address), key, stored) || stored.m_strValue != value;
  });
}

void SendTestMail(const std::shared_ptr<const CMirvaleDoc>& settings, const ActionHooks& start, std::time_t now) {
  if (!settings || !start.email) return;
  PlaceholderValues values{"N/A", "127.0.0.1", "localhost", "N/A", FormatLocalDateTime(now)};
  start.email(EmailActionRequest{ReplacePlaceholders(settings->m_strMailBody, values),
                                 ReplacePlaceholdersInSubject(settings->m_strMailSubject, values),
                                 settings->m_strTestRecipients, settings});
}

}  // namespace mirvale
