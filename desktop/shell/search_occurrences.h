#pragma once
// Where a search text occurs in a cell, for the colour list's highlighting: positions in the
// cell of every occurrence of the (already upper-cased) search text in the upper-cased cell,
// left to right, not overlapping.
#include <QList>
#include <QString>

namespace mirvale {

QList<qsizetype> SearchOccurrences(const QString& cellText, const QString& upperSearch);

}  // namespace mirvale
