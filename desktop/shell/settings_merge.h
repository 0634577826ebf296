#pragma once
// How one member's edit joins the settings other members (and the service) wrote meanwhile,
// without widgets. Three documents take part: the base (what this desktop last loaded or
// committed), mine (the base with this user's edit) and theirs (what the service holds now).
//
// The rule, for each option field of the document and each record by its key (pools,
// devices and queries inside a pool, restore requests, automatic scans, actions): what only
// one side changed is taken from that side; what both changed alike stays; what both changed
// differently is a conflict. A record's own fields (a pool's protocol settings, an action's
// conditions) change together as one part, so no record is ever made of halves of two edits;
// the keyed records inside it (a pool's devices and queries) merge one by one.
#include <string>
#include <vector>

#include "common/mirvale_doc.h"

namespace mirvale {

struct SettingsMerge {
  CMirvaleDoc merged;  // every conflict decided for mine
  // What both changed differently, in words ("pool labsnmp", "the scan logging").
  std::vector<std::string> conflicts;
};

SettingsMerge MergeSettings(const CMirvaleDoc& base, const CMirvaleDoc& mine, const CMirvaleDoc& theirs);

}  // namespace mirvale
