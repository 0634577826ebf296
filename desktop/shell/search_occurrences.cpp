#include "desktop/shell/search_occurrences.h"

namespace mirvale {

QList<qsizetype> SearchOccurrences(const QString& cellText, const QString& upperSearch) {
  QList<qsizetype> positions;
  if (upperSearch.isEmpty()) return positions;
  const QString upper = cellText.toUpper();
  for (qsizetype at = upper.indexOf(upperSearch); at >= 0; at = upper.indexOf(upperSearch, at + upperSearch.size()))
    positions.append(at);
  return positions;
}

}  // namespace mirvale
