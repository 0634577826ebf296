#include "desktop/results/detail_page_parts.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QTabWidget>
#include <QVBoxLayout>

namespace mirvale {

QLineEdit* ReadOnlyEdit(QWidget* parent, const char* objectName) {
  auto* edit = new QLineEdit(parent);
  edit->setObjectName(QString::fromLatin1(objectName));
  edit->setReadOnly(true);
  edit->setMinimumWidth(320);
  return edit;
}

QPushButton* StepButton(QWidget* parent, bool next) {
  auto* button = new QPushButton(parent);
  button->setObjectName(next ? QStringLiteral("NextButton") : QStringLiteral("PreviousButton"));
  button->setIcon(parent->style()->standardIcon(next ? QStyle::SP_ArrowRight : QStyle::SP_ArrowLeft));
  button->setToolTip(next ? QStringLiteral("Next") : QStringLiteral("Previous"));
  button->setFixedWidth(36);
  return button;
}

void WrapInSheet(QDialog& sheet, QWidget* page, const QString& caption) {
  auto* tabs = new QTabWidget(&sheet);
  tabs->addTab(page, caption);
  auto* close = new QDialogButtonBox(QDialogButtonBox::Close, &sheet);
  QObject::connect(close, &QDialogButtonBox::rejected, &sheet, &QDialog::reject);
  auto* layout = new QVBoxLayout(&sheet);
  layout->addWidget(tabs);
  layout->addWidget(close);
}

}  // namespace mirvale
