#pragma once
// The service's operators: root and the members of the group "mirvale". The data folder, the
// run folder, the control socket and the stored files belong to that group, so that an
// administrator's account that joins it can drive the service and read what it stores, and
// no other account can.
#include <optional>
#include <string>

#include <sys/types.h>

namespace platform {

inline constexpr const char* kOperatorGroupName = "mirvale";

// kOperatorGroupName, or MIRVALE_OPERATOR_GROUP when set (tests and private installations).
std::string OperatorGroupName();

// The group's id, looked up anew each time; nullopt when the group does not exist.
std::optional<gid_t> OperatorGroupId();

// Creates the group as a system group when it is missing; true when it exists afterwards.
bool EnsureOperatorGroup();

// Whether the account (with the process's primary group) is root or in the group, as its
// primary group or as a member.
bool IsOperator(uid_t uid, gid_t gid);

// Gives the folder or file to the group (when it exists) and sets its permission bits.
bool ShareWithOperators(const std::string& path, unsigned mode);

}  // namespace platform
