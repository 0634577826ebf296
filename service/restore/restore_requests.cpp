#include "service/restore/restore_requests.h"

namespace mirvale {
namespace {

bool SameRequest(const CRestoreItem& a, const CRestoreItem& b) {
  CRestoreItem left = a;
  CRestoreItem right = b;
  left.m_strResult.clear();
  right.m_strResult.clear();
  return left == right;
}

}  // namespace

std::vector<RestoreRequest> PendingRestoreRequests(const CMirvaleDoc& doc) {
  std::vector<RestoreRequest> pending;
  for (const auto& [key, item] : doc.m_mapRestore) {
    if (item->m_strResult.empty()) pending.push_back({key, *item});
  }
  return pending;
}

size_t MergeRestoreResults(CMirvaleDoc& doc, const std::vector<RestoreRequest>& done) {
  size_t written = 0;
  for (const auto& request : done) {
    if (request.item.m_strResult.empty()) continue;
    CRestoreItem* current = doc.m_mapRestore.Find(request.key);
    if (!current || !current->m_strResult.empty() || !SameRequest(*current, request.item)) continue;
    current->m_strResult = request.item.m_strResult;
    ++written;
  }
  return written;
}

}  // namespace mirvale
