#pragma once
// Reads SNMP MIB module files and works out the numeric identifier of every object type they
// define under mgmt, mib-2, private or enterprises. One import keeps one table of names across
// all the files it reads, so a chain may run through several files.
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "common/pool_records.h"

namespace mirvale {

class MibImport {
 public:
  // False when the file cannot be opened (it is then skipped).
  bool ReadFile(const std::string& path);
  void ReadText(std::string_view text);

  // Every object type read (only the writable ones with writableOnly) whose chain reaches a
  // root, as queries (identifier, name, description), in the order of the objects' names.
  std::vector<CQueryItem> Resolve(bool writableOnly) const;
  // Object types not taken because their names hold a dot, which query names never do.
  const std::set<std::string>& RefusedNames() const { return refused_; }

 private:
  struct Definition {
    std::string parent;
    std::string number;
  };
  struct Candidate {
    Definition definition;
    std::string description;
    bool writable = false;
  };
  std::string ResolveParent(const std::string& parent) const;

  std::map<std::string, Definition> names_;
  std::map<std::string, Candidate> candidates_;
  std::set<std::string> refused_;
};

// The files an import reads: the path itself, or every file directly in a folder (sorted).
std::vector<std::string> MibFilesOf(const std::string& path);

// The refusal of the names RefusedNames lists; empty when there are none.
std::string DottedNamesMessage(const std::set<std::string>& names);

// "1 query was added.", "3 queries were added." or "No new queries were added.".
std::string QueriesAddedMessage(long count);

}  // namespace mirvale
