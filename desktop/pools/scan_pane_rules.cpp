#include "desktop/pools/scan_pane_rules.h"

#include <QDateTime>
#include <QLocale>
#include <algorithm>
#include <climits>

#include "common/status_texts.h"
#include "desktop/shell/await_without_freezing.h"
#include "desktop/shell/mirvale_app.h"
#include "platform/service_control.h"

namespace mirvale {

bool StatusMatchesFilter(const std::string& status, int filter) {
  auto has = [&](const char* text) { return status.find(text) != std::string::npos; };
  switch (filter) {
    case kFilterChanged: return has(kStatusChanged);
    case kFilterUnchanged: return has(kStatusUnchanged);
    case kFilterUnreachable: return has(kStatusUnreachable);
    case kFilterFailed: return IsFailureStatus(status);
    default: return false;
  }
}

QString CounterText(long count, const std::string& total) {
  if (total.empty()) return QString();
  return QStringLiteral("%1 of %2 Devices Found.").arg(count).arg(QString::fromStdString(total));
}

QString FormatScanTime(const std::string& seconds) {
  if (seconds.empty()) return QString();
  bool ok = false;
  const qint64 value = QString::fromStdString(seconds).toLongLong(&ok);
  if (!ok) return QString();
  return QLocale::system().toString(QDateTime::fromSecsSinceEpoch(value), QLocale::ShortFormat);
}

int ProgressTotal(const std::string& total) {
  const long long value = std::strtoll(total.c_str(), nullptr, 10);
  return static_cast<int>(std::clamp<long long>(value, 0, INT_MAX));
}

bool SendServiceRequest(const CMirvaleApp& app, uint32_t code, QWidget* waiting) {
  const auto timeout = app.Options().controlTimeout;
  return AwaitWithoutFreezing(
      [code, timeout] {
        auto status = platform::SendServiceControl(code, platform::ControlSocketPath(), timeout);
        return status && *status == platform::kControlDone;
      },
      {waiting});
}

}  // namespace mirvale
