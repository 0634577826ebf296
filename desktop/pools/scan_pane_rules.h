#pragma once
// The Scan pane's widget-free rules: the Home pane's status filters, the counter label, the
// shown form of a scan time, and the control codes the pane sends to the service.
#include <QString>
#include <cstdint>
#include <string>

class QWidget;

namespace mirvale {

class CMirvaleApp;

enum StatusFilter {
  kFilterNone = 0,
  kFilterChanged = 1,
  kFilterUnchanged = 2,
  kFilterUnreachable = 3,
  kFilterFailed = 4
};

// Whether a status text belongs to the filter's group (the Home pane counts the same way).
bool StatusMatchesFilter(const std::string& status, int filter);

// "<count> of <total> Devices Found.", or empty while the total is unknown.
QString CounterText(long count, const std::string& total);

// Decimal seconds since 1970 as a date and time in the user's locale; empty for no number.
QString FormatScanTime(const std::string& seconds);

// The scan's total as a progress range: decimal text to a number, never cut to 16 bits.
int ProgressTotal(const std::string& total);

// Sends a control code to the service and waits for its answer (one attempt, the control
// time-out) while waiting drops input; false when the service did not carry it out.
bool SendServiceRequest(const CMirvaleApp& app, uint32_t code, QWidget* waiting);

}  // namespace mirvale
