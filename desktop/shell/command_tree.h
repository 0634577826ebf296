#pragma once
// The tree the Action Properties page offers for choosing a command or query, built without
// widgets from the device database: for a shell pool the stored configuration lines nested by
// their indentation (merged across the pool's devices), for an SNMP pool the pool's queries with
// the stored results under them.
#include <QString>
#include <vector>

#include "common/database_files.h"
#include "common/pool_records.h"

namespace mirvale {

struct CommandTreeNode {
  QString text;
  std::vector<CommandTreeNode> children;
};

std::vector<CommandTreeNode> ShellCommandTree(const DeviceDatabaseMap& devices, const std::string& pool);
std::vector<CommandTreeNode> QueryTree(const CPoolItem& pool, const DeviceDatabaseMap& devices,
                                       const std::string& poolName);
// The first digit runs after the common prefix compare as numbers; otherwise without case.
bool NaturalLess(const QString& a, const QString& b);

}  // namespace mirvale
