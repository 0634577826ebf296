#pragma once
// Writing the audit file: queued lines are appended (a new file starts with the header of each
// switched-on form), then records older than the retention are removed by rewriting the file
// atomically. A file that cannot be written keeps the queue intact for the next flush and only
// whole lines in the file.
#include <cstdint>
#include <ctime>
#include <string>

#include "service/store/audit_lines.h"
#include "service/store/audit_queue.h"

namespace mirvale {

struct AuditLogSettings {
  AuditForms forms;
  std::string file;       // m_strLogFile
  uint32_t keep = 0;      // m_nLogKeep; 0 keeps everything
  uint32_t keepUnit = 0;  // m_nLogKeepUnit: 0 minutes, 1 hours, 2 days
};

// The file is written with the service's unprivileged account's rights (see run_account.h).
// False, with the reason, when the lines could not be written or the retention not applied.
bool FlushAuditLog(AuditQueue& queue, const AuditLogSettings& settings, std::time_t now, std::string& reason);

// Whether a record of the given age is old under the retention (divisions truncate; days
// compare whole hours).
bool IsAuditRecordOld(long long ageSeconds, uint32_t keep, uint32_t keepUnit);

}  // namespace mirvale
