#pragma once
// The service's operators: root and the members of the group "mirvale". The data folder, the
// run folder, the control socket and the stored files belong to that group, so that an
// administrator's account that joins it can drive the service and read what it stores, and
// no other account can.
#include <optional>
#include <string>
#include <vector>

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

// Whether this process, as the kernel sees it now (effective ids and supplementary groups), is
// root or in the group: an account added to the group counts only once it logs in again.
bool ProcessIsOperator();

// Gives the folder or file to the group (when it exists) and sets its permission bits.
bool ShareWithOperators(const std::string& path, unsigned mode);

// The data folder's mode: new files there take the group (set-group-id), and the sticky bit
// keeps a member from renaming or replacing a file that is not their own.
inline constexpr unsigned kSharedDataFolderMode = 03770;
// The run folder's mode: root's alone to fill; members may reach the control socket in it but
// never create, rename or remove anything there (a member's entry at the socket's name would
// keep the service from starting).
inline constexpr unsigned kSharedRunFolderMode = 0750;

// A mode as four octal digits, as chmod takes it ("3770").
std::string OctalMode(unsigned mode);

// Leaves the folders operators share as registration and the service's start must: the data
// folder (created when missing) in the group with kSharedDataFolderMode and its parent
// reachable (0755), the run folder with kSharedRunFolderMode (refused when another account owns
// it, since its owner could replace what the service puts there). A folder already so is not
// touched, so that a sandbox refusing set-group-id modes (systemd's RestrictSUIDSGID) refuses
// nothing. One text per failure, naming the folder and the reason.
std::vector<std::string> ShareOperatorFolders();

}  // namespace platform
