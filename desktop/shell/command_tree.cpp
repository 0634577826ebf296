#include "desktop/shell/command_tree.h"

#include <algorithm>

#include "common/configuration_lines.h"

namespace mirvale {

namespace {

CommandTreeNode& ChildNamed(std::vector<CommandTreeNode>& nodes, const QString& text) {
  for (CommandTreeNode& node : nodes)
    if (node.text == text) return node;
  nodes.push_back(CommandTreeNode{text, {}});
  return nodes.back();
}

template <typename Less>
void SortTree(std::vector<CommandTreeNode>& nodes, Less less) {
  // Stable: the natural order is not transitive for every mix of texts, and must not break the sort.
  std::stable_sort(nodes.begin(), nodes.end(),
                   [&](const CommandTreeNode& a, const CommandTreeNode& b) { return less(a.text, b.text); });
  for (CommandTreeNode& node : nodes) SortTree(node.children, less);
}

int Indentation(const QString& line) {
  int count = 0;
  while (count < line.size() && line[count].isSpace()) ++count;
  return count;
}

// The node at path (texts from the top level down), created as needed.
std::vector<CommandTreeNode>& ChildrenAt(std::vector<CommandTreeNode>& top, const std::vector<QString>& path) {
  std::vector<CommandTreeNode>* level = &top;
  for (const QString& text : path) level = &ChildNamed(*level, text).children;
  return *level;
}

}  // namespace

std::vector<CommandTreeNode> ShellCommandTree(const DeviceDatabaseMap& devices, const std::string& pool) {
  std::vector<CommandTreeNode> top;
  for (const auto& entry : devices) {
    const CDbItem& device = *entry.second;
    if (device.m_strPool != pool) continue;
    struct Ancestor {
      int indent;
      QString text;
    };
    std::vector<Ancestor> stack;
    for (const CDbQuery* query : ConfigurationLines(device)) {
      QString line = QString::fromStdString(query->m_strValue);
      while (!line.isEmpty() && line.back().isSpace()) line.chop(1);
      if (line.trimmed().size() <= 1) continue;
      const int indent = Indentation(line);
      // A line closes every open line indented as deep or deeper.
      while (!stack.empty() && stack.back().indent >= indent) stack.pop_back();
      std::vector<QString> path;
      for (const Ancestor& ancestor : stack) path.push_back(ancestor.text);
      ChildNamed(ChildrenAt(top, path), line);
      stack.push_back(Ancestor{indent, line});
    }
  }
  SortTree(top, [](const QString& a, const QString& b) { return a < b; });
  return top;
}

bool NaturalLess(const QString& a, const QString& b) {
  qsizetype common = 0;
  while (common < a.size() && common < b.size() && a[common] == b[common]) ++common;
  // A number the common prefix cut in two is read whole.
  while (common > 0 && a[common - 1].isDigit()) --common;
  auto firstDigits = [common](const QString& text) {
    qsizetype from = common;
    while (from < text.size() && !text[from].isDigit()) ++from;
    qsizetype end = from;
    while (end < text.size() && text[end].isDigit()) ++end;
    return text.mid(from, end - from);
  };
  const QString da = firstDigits(a), db = firstDigits(b);
  if (!da.isEmpty() && !db.isEmpty()) {
    bool okA = false, okB = false;
    const qulonglong na = da.toULongLong(&okA), nb = db.toULongLong(&okB);
    if (okA && okB && na != nb) return na < nb;
  }
  return a.compare(b, Qt::CaseInsensitive) < 0;
}

std::vector<CommandTreeNode> QueryTree(const CPoolItem& pool, const DeviceDatabaseMap& devices,
                                       const std::string& poolName) {
  std::vector<CommandTreeNode> top;
  auto queryText = [](const CQueryItem& query) {
    return QString::fromStdString(query.m_strName.empty() ? query.m_strOid : query.m_strName);
  };
  for (const auto& entry : pool.m_pQueries) top.push_back(CommandTreeNode{queryText(*entry.second), {}});
  for (const auto& entry : devices) {
    const CDbItem& device = *entry.second;
    if (device.m_strPool != poolName) continue;
    for (const auto& result : device.m_pQueries) {
      const CDbQuery& value = *result.second;
      const QString text = QString::fromStdString(value.m_strName.empty() ? value.m_strKey : value.m_strName);
      if (const CQueryItem* query = pool.m_pQueries.Find(value.m_strQueryOid)) {
        CommandTreeNode& parent = ChildNamed(top, queryText(*query));
        if (text != parent.text) ChildNamed(parent.children, text);
      } else {
        ChildNamed(top, text);
      }
    }
  }
  SortTree(top, NaturalLess);
  return top;
}

}  // namespace mirvale
