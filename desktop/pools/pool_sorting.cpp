#include "desktop/pools/pool_sorting.h"

#include <algorithm>
#include <cctype>
#include <optional>

#include "common/ipv4_address.h"

namespace mirvale {
namespace {

// The digits after position from (skipping other characters up to the first digit), as a
// number that saturates instead of wrapping, so very long digit runs still order sensibly.
std::optional<unsigned long long> NumberAfter(std::string_view text, size_t from) {
  size_t at = from;
  while (at < text.size() && !std::isdigit(static_cast<unsigned char>(text[at]))) ++at;
  if (at >= text.size()) return std::nullopt;
  unsigned long long value = 0;
  for (; at < text.size() && std::isdigit(static_cast<unsigned char>(text[at])); ++at) {
    unsigned digit = static_cast<unsigned>(text[at] - '0');
    value = value > (~0ULL - digit) / 10 ? ~0ULL : value * 10 + digit;
  }
  return value;
}

}  // namespace

int CompareAddressNumbers(std::string_view a, std::string_view b) {
  uint32_t left = AddressToHostOrder(a);
  uint32_t right = AddressToHostOrder(b);
  return left < right ? -1 : (left > right ? 1 : 0);
}

int CompareCaseInsensitive(std::string_view a, std::string_view b) {
  size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    int left = std::tolower(static_cast<unsigned char>(a[i]));
    int right = std::tolower(static_cast<unsigned char>(b[i]));
    if (left != right) return left < right ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

int CompareNaturally(std::string_view a, std::string_view b) {
  size_t common = 0;
  while (common < a.size() && common < b.size() && a[common] == b[common]) ++common;
  // A number cut by the common prefix ("1.3.1" against "1.3.10") is read from its first digit.
  while (common > 0 && std::isdigit(static_cast<unsigned char>(a[common - 1]))) --common;
  auto left = NumberAfter(a, common);
  auto right = NumberAfter(b, common);
  if (left && right && *left != *right) return *left < *right ? -1 : 1;
  return CompareCaseInsensitive(a, b);
}

}  // namespace mirvale
