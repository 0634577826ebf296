#include "service/scanning/device_scan_texts.h"

#include <algorithm>
#include <charconv>

namespace mirvale {

int OidArcCount(std::string_view oid) { return static_cast<int>(std::count(oid.begin(), oid.end(), '.')) + 1; }

std::string QueryInstanceName(std::string_view queryOid, std::string_view queryName, std::string_view answerOid) {
  std::string name(queryName);
  std::string zeroInstance = std::string(queryOid) + ".0";
  if (!queryName.empty() && answerOid != zeroInstance && answerOid.starts_with(queryOid))
    name += answerOid.substr(queryOid.size());
  size_t zero = name.find(".0");
  if (zero != std::string::npos && zero + 2 == name.size()) name.resize(zero);
  return name;
}

std::string EchoData(unsigned long token) {
  std::string data = std::to_string(token);
  data.resize(32, '\0');
  return data;
}

bool EchoReplyMatches(std::string_view reply, unsigned long token) {
  unsigned long value = 0;
  auto [end, error] = std::from_chars(reply.data(), reply.data() + reply.size(), value);
  return error == std::errc() && end != reply.data() && value == token;
}

}  // namespace mirvale
