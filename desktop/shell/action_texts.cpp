#include "desktop/shell/action_texts.h"

namespace mirvale {

QStringList SplitEntries(const QString& text) {
  QStringList entries;
  for (const QString& piece : text.split(QLatin1Char(';'))) {
    QString trimmed = piece;
    while (trimmed.startsWith(QLatin1Char(' '))) trimmed.remove(0, 1);
    while (trimmed.endsWith(QLatin1Char(' '))) trimmed.chop(1);
    if (!trimmed.isEmpty()) entries << trimmed;
  }
  return entries;
}

QString JoinEntries(const QStringList& entries) {
  QString text;
  for (const QString& entry : entries) text += entry + QLatin1Char(';');
  return text;
}

RunCommandFields SplitRunCommand(const QString& text) {
  const QStringList parts = text.split(QLatin1Char(';'));
  auto part = [&](int index) { return index < parts.size() ? parts[index] : QString(); };
  return RunCommandFields{part(0), part(1), part(2), part(3), part(4)};
}

QString JoinRunCommand(const RunCommandFields& f) {
  const QChar s(QLatin1Char(';'));
  return f.command + s + f.domain + s + f.password + s + f.user + s + f.parameters + s;
}

QString LastPathSegment(const QString& path) {
  const QString separator = QStringLiteral("\\r");
  qsizetype at = path.lastIndexOf(separator);
  return at < 0 ? path : path.mid(at + separator.size());
}

}  // namespace mirvale
