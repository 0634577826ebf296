#pragma once
// The small text rules of a device scan.
#include <string>
#include <string_view>

namespace mirvale {

// Number of arcs of a dotted identifier (its dots plus one).
int OidArcCount(std::string_view oid);

// The name a walked instance is stored under: the query name, extended by the answer's arcs
// beyond the query's identifier unless the answer is the query's ".0" instance; a name whose
// first ".0" stands at its very end loses it.
std::string QueryInstanceName(std::string_view queryOid, std::string_view queryName, std::string_view answerOid);

// The 32 data bytes of an echo: the token as decimal text, padded with zero bytes.
std::string EchoData(unsigned long token);

// Whether a reply's data, read as a decimal number, is the token.
bool EchoReplyMatches(std::string_view reply, unsigned long token);

}  // namespace mirvale
