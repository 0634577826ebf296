#include "desktop/shell/placeholder_pane.h"

#include <QLabel>
#include <QVBoxLayout>

namespace mirvale {

PlaceholderPane::PlaceholderPane(const QString& title, const QString& description, QWidget* parent, bool oneLine)
    : QWidget(parent) {
  auto* layout = new QVBoxLayout(this);
  auto* text = new QLabel(description, this);
  text->setWordWrap(true);
  text->setObjectName(QStringLiteral("placeholderText"));
  if (oneLine) {
    layout->setContentsMargins(24, 4, 24, 4);
    layout->addWidget(text);
    return;
  }
  layout->setContentsMargins(24, 20, 24, 20);
  auto* heading = new QLabel(title, this);
  QFont font = heading->font();
  font.setPixelSize(20);
  font.setBold(true);
  heading->setFont(font);
  heading->setStyleSheet(QStringLiteral("color: rgb(1, 103, 204);"));
  layout->addWidget(heading);
  layout->addWidget(text);
  layout->addStretch(1);
}

}  // namespace mirvale
