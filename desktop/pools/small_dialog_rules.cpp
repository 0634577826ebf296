#include "desktop/pools/small_dialog_rules.h"

#include <bit>

#include "common/ipv4_address.h"
#include "common/pool_network.h"
#include "desktop/pools/pool_image.h"

namespace mirvale {

std::optional<std::string> RefuseNetwork(const std::string& network, const std::string& mask,
                                         const std::vector<std::string>& existingNetworks) {
  if (network.empty() || mask.empty()) return "Invalid devices properties, please try again.";
  for (const std::string& existing : existingNetworks)
    if (existing == network) return "Network already exists, please try again.";
  // Each part of an address is 0 to 255: the edits let more through, so nothing typed is cut.
  if (!ParseIpv4(network)) return "Invalid network address, please try again.";
  auto maskNumber = ParseIpv4(mask);
  if (!maskNumber) return "Invalid mask address, please try again.";
  // A scattered mask would scan one set of addresses and prune by another.
  if (!IsContiguousMask(mask)) return kMaskNotOneRun;
  if (std::popcount(*maskNumber) < 24) return kMaskTooBig;
  return std::nullopt;
}

std::optional<std::string> RefuseCopyName(const std::string& name, bool nameExists, bool sourceSaved) {
  if (name.empty()) return "Empty pool name, please try again.";
  if (name == kNewPoolName) return "Invalid pool name, please try again.";
  if (nameExists) return "Pool name already exists, please try again.";
  if (!sourceSaved) return "Invalid source pool, please save pool and try again.";
  return std::nullopt;
}

std::string QueryNameRule(const std::string& text) { return text.substr(0, text.find('.')); }

std::optional<std::string> RefuseQuery(const std::string& oid, const std::string& name,
                                       const std::vector<QueryRow>& rows, int modifiedRow) {
  const size_t instance = oid.find(".0");
  const bool endsInInstance = instance != std::string::npos && instance + 2 == oid.size();
  if (oid.empty() || endsInInstance || oid.back() == '.') return "Invalid query properties, please try again.";
  if (name.find('.') != std::string::npos) return "Name can't include '.' character, please try again.";
  for (size_t row = 0; row < rows.size(); ++row) {
    if (static_cast<int>(row) != modifiedRow && rows[row].name == name) return "Name already exists, please try again.";
    // A new query whose identifier is listed already would silently change nothing.
    if (modifiedRow < 0 && rows[row].oid == oid) return "Query already exists, please try again.";
  }
  return std::nullopt;
}

}  // namespace mirvale
