#pragma once
// The orders of the pool and scan lists: addresses as host-order numbers, query identifiers in
// natural numeric order (1.3.6.1.2.1.1.9 before 1.3.6.1.2.1.1.10), dates as points in time.
#include <string_view>

namespace mirvale {

// < 0, 0, > 0 like strcmp. Texts that are not dotted addresses compare as 255.255.255.255.
int CompareAddressNumbers(std::string_view a, std::string_view b);

// After the common prefix, the digits that follow in each text (other characters skipped) are
// read as numbers and the smaller comes first; with no digits on either side, or equal
// numbers, the texts compare case-insensitively.
int CompareNaturally(std::string_view a, std::string_view b);

int CompareCaseInsensitive(std::string_view a, std::string_view b);

}  // namespace mirvale
