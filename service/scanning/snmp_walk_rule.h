#pragma once
// Whether a get-next answer continues a walk: it must lie under the first prefix arcs of the
// requested identifier (all of them when it has fewer) and be strictly greater than the request,
// so an agent that answers the same or a smaller identifier cannot make a walk loop for ever.
#include <span>

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

namespace mirvale {

bool IsWalkStepWithin(std::span<const oid> request, std::span<const oid> answer, int prefixArcs);

}  // namespace mirvale
