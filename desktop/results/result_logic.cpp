#include "desktop/results/result_logic.h"

#include <QDateTime>
#include <QLocale>
#include <algorithm>
#include <cctype>
#include <map>

#include "common/ipv4_address.h"

namespace mirvale {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int Sign(long long value) { return value < 0 ? -1 : value > 0 ? 1 : 0; }

int CompareNoCase(std::string_view a, std::string_view b) {
  const size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    int ca = std::tolower(static_cast<unsigned char>(a[i]));
    int cb = std::tolower(static_cast<unsigned char>(b[i]));
    if (ca != cb) return ca < cb ? -1 : 1;
  }
  return Sign(static_cast<long long>(a.size()) - static_cast<long long>(b.size()));
}

// Digit runs of any length compare as numbers: leading zeros dropped, then length, then text.
int CompareDigitRuns(std::string_view a, std::string_view b) {
  auto strip = [](std::string_view run) {
    size_t zeros = 0;
    while (zeros + 1 < run.size() && run[zeros] == '0') ++zeros;
    return run.substr(zeros);
  };
  a = strip(a);
  b = strip(b);
  if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
  return Sign(a.compare(b));
}

std::string_view DigitRun(std::string_view text, size_t from) {
  size_t end = from;
  while (end < text.size() && IsDigit(text[end])) ++end;
  return text.substr(std::min(from, text.size()), end - std::min(from, text.size()));
}

std::optional<long long> StoredSeconds(std::string_view text) {
  if (text.empty()) return std::nullopt;
  long long value = 0;
  for (char c : text) {
    if (!IsDigit(c) || value > 1'000'000'000'000LL) return std::nullopt;
    value = value * 10 + (c - '0');
  }
  return value;
}

// The full path of a line for the Select Changes comparison: CR-joined ancestors, then the line.
std::string ComparisonPath(const std::vector<std::string>& lines, size_t position) {
  std::string ancestors = Trim(JoinCommandPath(AncestorTexts(lines, position), "\r"));
  std::string line = Trim(lines[position]);
  return ancestors.empty() ? line : ancestors + "\r" + line;
}

}  // namespace

std::string JoinCommandPath(const std::vector<std::string>& parts, std::string_view separator) {
  std::string joined;
  for (size_t i = 0; i < parts.size(); ++i) {
    if (i) joined += separator;
    joined += parts[i];
  }
  return joined;
}

CommandParts SplitCommandCell(std::string_view cell) {
  size_t marker = cell.rfind(kPathMarker);
  if (marker == std::string_view::npos) return {std::string(cell), std::string(cell)};
  return {std::string(cell.substr(0, marker)), std::string(cell.substr(marker + kPathMarker.size()))};
}

std::string LastPathPart(std::string_view path) { return SplitCommandCell(path).parameters; }

size_t Indent(std::string_view text) {
  size_t count = 0;
  while (count < text.size() && IsBlank(text[count])) ++count;
  return count;
}

std::string StackWalkLine::Path() const {
  std::vector<std::string> parts = parents;
  parts.push_back(text);
  return JoinCommandPath(parts);
}

std::vector<StackWalkLine> ForwardStackWalk(const std::vector<std::string>& lines) {
  struct Parent {
    std::string text;
    size_t step;
  };
  std::vector<Parent> stack;
  std::vector<StackWalkLine> walked;
  std::string previous;
  std::optional<size_t> baseline;
  for (size_t index = 0; index < lines.size(); ++index) {
    const std::string right = TrimRight(lines[index]);
    const std::string text = TrimLeft(right);
    if (right.empty() || text.size() < 2) continue;
    const size_t indent = right.size() - text.size();
    if (!baseline) baseline = indent;
    if (indent > *baseline) {
      stack.push_back({previous, indent - *baseline});
    } else {
      while (indent < *baseline && !stack.empty()) {
        *baseline -= std::min(*baseline, stack.back().step);
        stack.pop_back();
      }
    }
    previous = text;
    baseline = indent;
    StackWalkLine line{index, {}, text};
    for (const auto& parent : stack) line.parents.push_back(TrimLeft(parent.text));
    walked.push_back(std::move(line));
  }
  return walked;
}

std::vector<std::string> AncestorTexts(const std::vector<std::string>& rows, size_t position) {
  std::vector<std::string> ancestors;
  if (position >= rows.size()) return ancestors;
  size_t bound = Indent(rows[position]);
  for (size_t j = position + 1; j-- > 0 && bound > 0;) {
    size_t indent = Indent(rows[j]);
    if (indent < bound) {
      ancestors.push_back(TrimLeft(rows[j]));
      bound = indent;
    }
  }
  std::reverse(ancestors.begin(), ancestors.end());
  return ancestors;
}

CommandParts RowCommand(const std::vector<std::string>& rows, size_t position) {
  if (position >= rows.size()) return {};
  std::string line = Trim(rows[position]);
  std::vector<std::string> ancestors = AncestorTexts(rows, position);
  if (ancestors.empty()) return {line, line};
  return {Trim(JoinCommandPath(ancestors)), line};
}

std::set<size_t> SelectChanges(const std::vector<StoredLine>& deviceLines,
                               const std::vector<std::string>& previousRows) {
  std::vector<std::string> stored;
  for (const auto& line : deviceLines) stored.push_back(line.text);
  std::set<std::string> currentPaths;
  for (size_t n = 0; n < deviceLines.size(); ++n)
    if (deviceLines[n].current) currentPaths.insert(ComparisonPath(stored, n));

  std::set<size_t> ticked;
  std::map<std::string, size_t> previousPaths;
  for (size_t i = 0; i < previousRows.size(); ++i) {
    std::string path = ComparisonPath(previousRows, i);
    previousPaths[path] = i;
    if (!currentPaths.count(path)) ticked.insert(i);
  }
  // An added line ticks its nearest ancestor that the previous configuration has, unless a line
  // under that ancestor is already ticked: a changed line reads as added in its new form, and
  // restoring its old form is all that is needed.
  auto tickedBelow = [&](const std::string& ancestor) {
    const std::string prefix = ancestor + "\r";
    for (size_t row : ticked)
      for (const auto& [path, index] : previousPaths)
        if (index == row && path.compare(0, prefix.size(), prefix) == 0) return true;
    return false;
  };
  std::set<size_t> ancestors;
  for (std::string path : currentPaths) {
    if (previousPaths.count(path)) continue;
    for (size_t cut = path.rfind('\r'); cut != std::string::npos; cut = path.rfind('\r')) {
      path.resize(cut);
      auto found = previousPaths.find(path);
      if (found != previousPaths.end()) {
        if (!tickedBelow(path)) ancestors.insert(found->second);
        break;
      }
    }
  }
  ticked.insert(ancestors.begin(), ancestors.end());
  return ticked;
}

std::vector<CommandRequest> CollectMarkedChanges(const std::vector<std::string>& rows, const std::set<size_t>& ticked) {
  std::vector<CommandRequest> requests;
  for (size_t row : ticked) {
    if (row >= rows.size()) continue;
    CommandParts parts = RowCommand(rows, row);
    auto same = std::find_if(requests.begin(), requests.end(),
                             [&](const CommandRequest& request) { return request.command == parts.command; });
    if (same == requests.end())
      requests.push_back({parts.command, parts.parameters});
    else
      same->value += "\r\n" + parts.parameters;
  }
  return requests;
}

uint32_t IpStringToHostOrder(std::string_view text) { return AddressToHostOrder(text); }

int CompareAddresses(std::string_view a, std::string_view b) {
  uint32_t x = IpStringToHostOrder(a), y = IpStringToHostOrder(b);
  return x < y ? -1 : x > y ? 1 : 0;
}

int CompareNatural(std::string_view a, std::string_view b) {
  size_t prefix = 0;
  while (prefix < a.size() && prefix < b.size() && a[prefix] == b[prefix]) ++prefix;
  // A run that began inside the common prefix still counts from its first digit.
  size_t start = prefix;
  while (start > 0 && IsDigit(a[start - 1])) --start;
  std::string_view runA = DigitRun(a, start), runB = DigitRun(b, start);
  if (!runA.empty() && !runB.empty()) {
    int byNumber = CompareDigitRuns(runA, runB);
    if (byNumber) return byNumber;
  }
  return CompareNoCase(a, b);
}

int CompareDeviceCells(std::string_view a, std::string_view b) {
  size_t slashA = a.find('/'), slashB = b.find('/');
  if (slashA == std::string_view::npos && slashB == std::string_view::npos) return CompareAddresses(a, b);
  if (slashA == std::string_view::npos || slashB == std::string_view::npos) return 0;
  int byAddress = CompareAddresses(a.substr(0, slashA), b.substr(0, slashB));
  if (byAddress) return byAddress;
  return CompareDigitRuns(DigitRun(a, slashA + 1), DigitRun(b, slashB + 1));
}

int CompareStoredTimes(std::string_view a, std::string_view b) {
  long long x = StoredSeconds(a).value_or(-1), y = StoredSeconds(b).value_or(-1);
  return Sign(x - y);
}

std::string FormatStoredTime(std::string_view seconds) {
  auto value = StoredSeconds(seconds);
  if (!value) return std::string(seconds);
  QDateTime time = QDateTime::fromSecsSinceEpoch(*value);
  return QLocale().toString(time, QLocale::ShortFormat).toStdString();
}

std::vector<std::string> DeviceAddresses(const DeviceDatabaseMap& devices, const std::string* pool) {
  std::vector<std::string> addresses;
  for (const auto& [key, device] : devices) {
    if (pool && device->m_strPool != *pool) continue;
    if (std::find(addresses.begin(), addresses.end(), device->m_strAddress) == addresses.end())
      addresses.push_back(device->m_strAddress);
  }
  std::stable_sort(addresses.begin(), addresses.end(),
                   [](const std::string& a, const std::string& b) { return CompareAddresses(a, b) < 0; });
  return addresses;
}

std::string DeviceKey(std::string_view pool, std::string_view address) {
  return std::string(pool) + "/" + std::string(address);
}

std::optional<ReportKind> ReportKindFromName(std::string_view name) {
  for (size_t i = 0; i < std::size(kReportNames); ++i)
    if (name == kReportNames[i]) return static_cast<ReportKind>(i);
  return std::nullopt;
}

std::vector<std::string> ReportHeadings(ReportKind kind) {
  if (kind == ReportKind::ShellDevices) return {"Device", "Name", "Pool", "Command", "Date"};
  return {"Device", "Name", "Pool", "Query", "Value", "Date", "Prev Value", "Prev Date"};
}

std::optional<std::string> InterfaceOfKey(std::string_view key, std::string_view interfaces) {
  size_t dot = key.rfind('.');
  if (dot == std::string_view::npos) return std::nullopt;
  std::string instance(key.substr(dot + 1));
  std::string entry = instance + ";";
  if (std::string_view(interfaces).substr(0, entry.size()) == entry ||
      interfaces.find(";" + entry) != std::string_view::npos)
    return instance;
  return std::nullopt;
}

std::optional<std::string> AddressEntryOfKey(std::string_view key, std::string_view addresses) {
  std::string address;
  std::string_view rest = key;
  for (int arc = 0; arc < 4; ++arc) {
    size_t dot = rest.rfind('.');
    if (dot == std::string_view::npos) break;
    address = std::string(rest.substr(dot + 1)) + (address.empty() ? "" : "." + address);
    rest = rest.substr(0, dot);
  }
  if (address.empty()) return std::nullopt;
  const std::string start = address + "/";
  if (addresses.substr(0, start.size()) == start) return std::string(addresses.substr(0, addresses.find(';')));
  size_t found = addresses.find(";" + start);
  if (found == std::string_view::npos) return std::nullopt;
  std::string_view entry = addresses.substr(found + 1);
  return std::string(entry.substr(0, entry.find(';')));
}

std::vector<ReportRow> BuildReport(ReportKind kind, const DeviceDatabaseMap& devices, const RecordMap<CPoolItem>& pools,
                                   const std::optional<std::string>& filter) {
  std::vector<ReportRow> rows;
  for (const auto& [deviceKey, device] : devices) {
    if (filter && device->m_strAddress != *filter) continue;
    const CPoolItem* pool = pools.Find(device->m_strPool);
    if (!pool) continue;
    auto row = [&](std::string deviceCell, std::string resultKey) {
      ReportRow r;
      r.cells = {std::move(deviceCell), device->m_strName, device->m_strPool};
      r.sortTimes.assign(3, "");
      r.address = device->m_strAddress;
      r.deviceKey = deviceKey;
      r.resultKey = std::move(resultKey);
      return r;
    };
    if (kind == ReportKind::ShellDevices) {
      if (!pool->IsShellPool()) continue;
      std::vector<const CDbQuery*> lines = ConfigurationLines(*device);
      std::vector<std::string> texts;
      for (const CDbQuery* line : lines) texts.push_back(line->m_strValue);
      for (const auto& walked : ForwardStackWalk(texts)) {
        const CDbQuery& line = *lines[walked.index];
        ReportRow r = row(device->m_strAddress, line.m_strKey);
        r.cells.push_back(walked.Path());
        r.cells.push_back(FormatStoredTime(line.m_strTime));
        r.sortTimes.insert(r.sortTimes.end(), {"", line.m_strTime});
        rows.push_back(std::move(r));
      }
      continue;
    }
    if (!pool->IsSnmpPool()) continue;
    for (const auto& [key, result] : device->m_pQueries) {
      std::string deviceCell = device->m_strAddress;
      if (kind == ReportKind::SnmpInterfaces) {
        auto instance = InterfaceOfKey(result->m_strKey, device->m_strInterfaces);
        if (!instance) continue;
        deviceCell += "/" + *instance;
      } else if (kind == ReportKind::SnmpL3Interfaces) {
        auto entry = AddressEntryOfKey(result->m_strKey, device->m_strAddresses);
        if (!entry) continue;
        deviceCell = *entry;
      }
      ReportRow r = row(deviceCell, result->m_strKey);
      r.cells.push_back(result->m_strName.empty() ? result->m_strKey : result->m_strName);
      r.cells.push_back(result->m_strValue);
      r.cells.push_back(FormatStoredTime(result->m_strTime));
      r.cells.push_back(result->m_strPrevValue);
      r.cells.push_back(result->m_strPrevTime.empty() ? "" : FormatStoredTime(result->m_strPrevTime));
      r.sortTimes.insert(r.sortTimes.end(), {"", "", result->m_strTime, "", result->m_strPrevTime});
      rows.push_back(std::move(r));
    }
  }
  return rows;
}

int CompareReportRows(const ReportRow& a, const ReportRow& b, int column) {
  const size_t c = static_cast<size_t>(column);
  const std::string empty;
  const std::string& x = c < a.cells.size() ? a.cells[c] : empty;
  const std::string& y = c < b.cells.size() ? b.cells[c] : empty;
  if (column == 0) return CompareDeviceCells(x, y);
  const bool snmp = a.cells.size() > 5;
  if (snmp && (column == 5 || column == 7)) return CompareStoredTimes(a.sortTimes[c], b.sortTimes[c]);
  return CompareNatural(x, y);
}

}  // namespace mirvale
