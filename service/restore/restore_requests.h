#pragma once
// The set and restore requests of the settings document: which of them a run carries out, and
// how their results go back. A run works on a copy of the pending requests and merges the
// results into whatever document is current when it ends, so that settings taken over in the
// meantime (control 134) keep their own changes and still receive the results.
#include <cstddef>
#include <string>
#include <vector>

#include "common/mirvale_doc.h"

namespace mirvale {

struct RestoreRequest {
  std::string key;  // the request's key in m_mapRestore
  CRestoreItem item;
};

// The requests that carry no result yet, in the map's order. A request with a result was
// carried out by an earlier run and is never sent again.
std::vector<RestoreRequest> PendingRestoreRequests(const CMirvaleDoc& doc);

// Writes each carried-out request's result into the document's request under the same key,
// when that request is still pending and asks for the same thing (a request replaced meanwhile
// keeps its own state). Returns the number of results written.
size_t MergeRestoreResults(CMirvaleDoc& doc, const std::vector<RestoreRequest>& done);

}  // namespace mirvale
