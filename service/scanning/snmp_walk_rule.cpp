#include "service/scanning/snmp_walk_rule.h"

#include <algorithm>

namespace mirvale {

bool IsWalkStepWithin(std::span<const oid> request, std::span<const oid> answer, int prefixArcs) {
  size_t prefix = prefixArcs > 0 ? std::min(static_cast<size_t>(prefixArcs), request.size()) : 0;
  if (answer.size() <= prefix) return false;
  if (!std::equal(request.begin(), request.begin() + prefix, answer.begin())) return false;
  return std::lexicographical_compare(request.begin(), request.end(), answer.begin(), answer.end());
}

}  // namespace mirvale
