#pragma once
// The texts an action keeps about what to do, without widgets: recipient and manager lists
// (every entry followed by ";"), the run command's five fields, and the command path's last line.
#include <QString>
#include <QStringList>

namespace mirvale {

// Pieces between ";" signs, trimmed of spaces, empty ones dropped.
QStringList SplitEntries(const QString& text);
// Every entry followed by ";".
QString JoinEntries(const QStringList& entries);

struct RunCommandFields {
  QString command, domain, password, user, parameters;
};
RunCommandFields SplitRunCommand(const QString& text);
// command;domain;password;user;parameters;
QString JoinRunCommand(const RunCommandFields& fields);

// The text after the last backslash-r pair of a command path (the whole path without one).
QString LastPathSegment(const QString& path);

}  // namespace mirvale
