#pragma once
// The results views' rules without widgets: command paths, the three ways configuration lines
// find their context, row comparisons, the report rows and stored-time texts. The views only
// show what these give.
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "common/configuration_lines.h"
#include "common/database_files.h"
#include "common/pool_records.h"
#include "common/record_map.h"
#include "common/text_trim.h"

namespace mirvale {

// ---- Command paths --------------------------------------------------------------------------
// The two characters backslash and r that join a line's context and the line (never a CR).
inline constexpr std::string_view kPathMarker = "\\r";

std::string JoinCommandPath(const std::vector<std::string>& parts, std::string_view separator = kPathMarker);
// A command cell split at its last marker; a cell without one fills both with the whole text.
struct CommandParts {
  std::string command;     // the context: the text before the last marker
  std::string parameters;  // the line: the text after the last marker
};
CommandParts SplitCommandCell(std::string_view cell);
// The text after the last marker (all of it without one).
std::string LastPathPart(std::string_view path);

size_t Indent(std::string_view text);  // leading white-space characters

// ---- Walk 1: forward stack walk (Shell Devices Report, Set Devices picker) ------------------
// Lines of one character or none are skipped; a deeper indent pushes the previous line as a
// parent, a shallower one pops parents until their steps are spent.
struct StackWalkLine {
  size_t index;                      // position in the given lines
  std::vector<std::string> parents;  // outermost first, leading white space removed
  std::string text;                  // the line trimmed at both ends
  std::string Path() const;          // parents and text joined by the marker
};
std::vector<StackWalkLine> ForwardStackWalk(const std::vector<std::string>& lines);

// ---- Walk 2: upward ancestor walk (Compare and Restore pages, restore requests) -------------
// The rows above position with a smaller indent than the last one found, outermost first, each
// with its leading white space removed.
std::vector<std::string> AncestorTexts(const std::vector<std::string>& rows, size_t position);
// What a page shows for a row and what a request carries: the ancestors joined by the marker
// (or the row itself at the top level), and the row trimmed.
CommandParts RowCommand(const std::vector<std::string>& rows, size_t position);

// ---- Walk 3: Select Changes of the Restore Devices dialog ----------------------------------
struct StoredLine {
  std::string text;
  bool current = false;
};
// The previous-configuration rows to tick: rows whose path the current configuration lacks, and
// for each current path the previous configuration lacks, the row of its nearest ancestor path.
std::set<size_t> SelectChanges(const std::vector<StoredLine>& deviceLines,
                               const std::vector<std::string>& previousRows);

// A restore request for the lines ticked under one context: the context and every ticked line of
// it, in row order, CR LF separated.
struct CommandRequest {
  std::string command;
  std::string value;
};
std::vector<CommandRequest> CollectMarkedChanges(const std::vector<std::string>& rows, const std::set<size_t>& ticked);

// ---- Comparisons (negative, 0, positive) ------------------------------------------------------
// The dotted address as a host-order number; 0xFFFFFFFF for anything else.
uint32_t IpStringToHostOrder(std::string_view text);
int CompareAddresses(std::string_view a, std::string_view b);
// Common prefix, then the digit runs after it as numbers when both exist and differ, else the
// texts without regard to case.
int CompareNatural(std::string_view a, std::string_view b);
// Device cells "address[/suffix]" of the reports.
int CompareDeviceCells(std::string_view a, std::string_view b);
// Stored times (decimal seconds); an empty or unreadable one is the earliest.
int CompareStoredTimes(std::string_view a, std::string_view b);

// ---- Stored times ----------------------------------------------------------------------------
// Decimal seconds since 1970 as date and time in the default locale; empty stays empty.
std::string FormatStoredTime(std::string_view seconds);

// ---- Pools -----------------------------------------------------------------------------------
// The distinct addresses of the devices (of one pool, or of all), in address order.
std::vector<std::string> DeviceAddresses(const DeviceDatabaseMap& devices, const std::string* pool = nullptr);
// The device database key: pool "/" address.
std::string DeviceKey(std::string_view pool, std::string_view address);

// ---- Reports ---------------------------------------------------------------------------------
enum class ReportKind { ShellDevices, SnmpDevices, SnmpInterfaces, SnmpL3Interfaces };
inline constexpr const char* kReportNames[] = {"Shell Devices Report", "Snmp Devices Report", "Snmp Interfaces Report",
                                               "Snmp L3 Interfaces Report"};
std::optional<ReportKind> ReportKindFromName(std::string_view name);
std::vector<std::string> ReportHeadings(ReportKind kind);

// A report row keeps the device and result it came from, so a page never confuses two rows
// that show the same label.
struct ReportRow {
  std::vector<std::string> cells;
  std::vector<std::string> sortTimes;  // per cell: the stored time behind a date cell, else empty
  std::string address;                 // the device's address
  std::string deviceKey;               // pool "/" address
  std::string resultKey;               // the result's key (a line number for shell rows)
};
// filter: nullopt for every device; otherwise only devices with exactly this address (an empty
// text lets none pass).
std::vector<ReportRow> BuildReport(ReportKind kind, const DeviceDatabaseMap& devices, const RecordMap<CPoolItem>& pools,
                                   const std::optional<std::string>& filter);
// Row order of a report for a sort column: 0 device cells, 5 and 7 stored times, else natural.
int CompareReportRows(const ReportRow& a, const ReportRow& b, int column);

// The interface of an SNMP result's instance: the instance when it is one of the interfaces
// ("1;2;10;"), else nothing.
std::optional<std::string> InterfaceOfKey(std::string_view key, std::string_view interfaces);
// The address-table entry ("10.0.0.1/3") of the address ending the key, else nothing.
std::optional<std::string> AddressEntryOfKey(std::string_view key, std::string_view addresses);

}  // namespace mirvale
