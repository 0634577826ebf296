#include "service/store/audit_entries.h"

namespace mirvale {

AuditForms AuditFormsOf(const CMirvaleDoc& settings) {
  return AuditForms{settings.m_bLogText != 0, settings.m_bLogCsv != 0};
}

void QueueScanAudit(AuditQueue& queue, const CMirvaleDoc& settings, std::time_t scanStart, std::string_view user,
                    std::string_view pool, std::string_view address, std::string_view name, std::string_view status) {
  if (!settings.m_bScanLog) return;
  queue.Append(ScanAuditLines(AuditFormsOf(settings), scanStart, user, pool, address, name, status));
}

void QueueSetAudit(AuditQueue& queue, const CMirvaleDoc& settings, std::time_t when, const CRestoreItem& request) {
  if (!settings.m_bChangesLog) return;
  queue.Append(SetAuditLines(AuditFormsOf(settings), when, request.m_strUser, request.m_strOid, request.m_strValue,
                             request.m_strPool, request.m_strAddress, request.m_strName, request.m_strResult));
}

}  // namespace mirvale
