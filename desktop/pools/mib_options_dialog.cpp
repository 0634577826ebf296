#include "desktop/pools/mib_options_dialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QVBoxLayout>

namespace mirvale {

CConfigurationMibOptions::CConfigurationMibOptions(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Select MIB Options"));
  auto* layout = new QHBoxLayout(this);
  auto* icon = new QLabel(this);
  icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxQuestion).pixmap(32, 32));
  layout->addWidget(icon, 0, Qt::AlignTop);
  auto* choices = new QWidget(this);
  choices->setAutoFillBackground(true);
  choices->setStyleSheet(QStringLiteral("background: white;"));
  auto* column = new QVBoxLayout(choices);
  writableOnly = new QRadioButton(QStringLiteral("Add only writable queries (recommended)."), choices);
  all = new QRadioButton(QStringLiteral("Add all available queries."), choices);
  writableOnly->setChecked(true);
  column->addWidget(writableOnly);
  column->addWidget(all);
  auto* ok = new QPushButton(QStringLiteral("OK"), choices);
  ok->setDefault(true);
  column->addWidget(ok, 0, Qt::AlignRight);
  layout->addWidget(choices);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

bool CConfigurationMibOptions::WritableOnly() const { return writableOnly->isChecked(); }

}  // namespace mirvale
