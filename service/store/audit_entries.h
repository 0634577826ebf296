#pragma once
// The one way audit lines enter the queue: a device scan queues its result when the scan log is
// on, a set or restore run each request's result when the changes log is on, each in the forms
// switched on in the settings.
#include <ctime>
#include <string_view>

#include "common/mirvale_doc.h"
#include "service/store/audit_lines.h"
#include "service/store/audit_queue.h"

namespace mirvale {

AuditForms AuditFormsOf(const CMirvaleDoc& settings);

// One device's result; scanStart = the scan's start time.
void QueueScanAudit(AuditQueue& queue, const CMirvaleDoc& settings, std::time_t scanStart, std::string_view user,
                    std::string_view pool, std::string_view address, std::string_view name, std::string_view status);

// One request carried out at when, with its result.
void QueueSetAudit(AuditQueue& queue, const CMirvaleDoc& settings, std::time_t when, const CRestoreItem& request);

}  // namespace mirvale
