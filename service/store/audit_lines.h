#pragma once
// The audit log's line forms. Each event gives one line per switched-on form: tab-separated
// and comma-separated, each ending with CR LF. Line breaks inside values become blanks so that
// one record stays one line; a tab inside a value of the tab form becomes a blank, and a
// comma-form field holding a comma or a quote is quoted.
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

namespace mirvale {

struct AuditForms {
  bool tabs = false;    // m_bLogText
  bool commas = false;  // m_bLogCsv
};

inline constexpr std::string_view kAuditTabHeader = "Date\tUser\tOperation\tPool\tIp\tName\tStatus\r\n";
inline constexpr std::string_view kAuditCommaHeader = "Date,User,Operation,Pool,Ip,Name,Status\r\n";

// One device's result in one scan; when = the scan's start time.
std::vector<std::string> ScanAuditLines(AuditForms forms, std::time_t when, std::string_view user,
                                        std::string_view pool, std::string_view address, std::string_view name,
                                        std::string_view status);

// One set or restore request; for a shell request the object identifier is empty and the
// value holds the command's parameters.
std::vector<std::string> SetAuditLines(AuditForms forms, std::time_t when, std::string_view user,
                                       std::string_view oid, std::string_view value, std::string_view pool,
                                       std::string_view address, std::string_view name, std::string_view result);

}  // namespace mirvale
