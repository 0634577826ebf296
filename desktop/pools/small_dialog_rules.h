#pragma once
// The checks of the three small pool dialogs (Add Devices, Copy Pool, Add or Modify Query):
// each answers the refusal text, or nothing when the entry is accepted.
#include <optional>
#include <string>
#include <vector>

namespace mirvale {

inline constexpr char kDefaultNetworkMask[] = "255.255.255.0";
inline constexpr char kSingleDeviceMask[] = "255.255.255.255";
inline constexpr char kMaskTooBig[] = "Mask too big, please set multiple class c networks.";
inline constexpr char kMaskNotOneRun[] =
    "Invalid mask, its bits must be one run from the left (such as 255.255.255.0), please try again.";

// existingNetworks: column 0 of the device list.
std::optional<std::string> RefuseNetwork(const std::string& network, const std::string& mask,
                                         const std::vector<std::string>& existingNetworks);

// sourceSaved: the pool being edited is already a key of the settings' pool map.
std::optional<std::string> RefuseCopyName(const std::string& name, bool nameExists, bool sourceSaved);

// Name edit of Add or Modify Query: the text cut before its first ".".
std::string QueryNameRule(const std::string& text);

struct QueryRow {
  std::string oid;
  std::string name;
};
// rows: the query list; modifiedRow: the row being modified, or -1 for a new query.
std::optional<std::string> RefuseQuery(const std::string& oid, const std::string& name,
                                       const std::vector<QueryRow>& rows, int modifiedRow);

}  // namespace mirvale
