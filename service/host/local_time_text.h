#pragma once
// Local date and time as the service writes it into e-mails, traps and the audit log, and
// reads it back for the audit log's retention: "YYYY-MM-DD HH:MM:SS" in local time.
#include <ctime>
#include <optional>
#include <string>
#include <string_view>

namespace mirvale {

std::string FormatLocalDateTime(std::time_t time);

// nullopt when the text does not start with a date and time in that form.
std::optional<std::time_t> ParseLocalDateTime(std::string_view text);

// Decimal seconds since 1970 ("%ld"), the form of every stored time.
std::string SecondsText(std::time_t time);

}  // namespace mirvale
