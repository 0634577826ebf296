#include "desktop/shell/settings_widgets.h"

#include <QApplication>
#include <QButtonGroup>
#include <QDialog>
#include <QFrame>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QRadioButton>

#include "desktop/shell/prompter.h"

namespace mirvale {

QLabel* MakeTitle(const QString& text, QWidget* parent) {
  auto* title = new QLabel(text, parent);
  QFont font(QStringLiteral("Arial"));
  font.setPixelSize(24);
  title->setFont(font);
  return title;
}

QWidget* MakeSectionHeader(const QString& text, QWidget* parent, QColor textColour) {
  auto* row = new QWidget(parent);
  auto* layout = new QHBoxLayout(row);
  layout->setContentsMargins(0, 6, 0, 0);
  auto* label = new QLabel(text, row);
  QFont font = label->font();
  font.setBold(true);
  label->setFont(font);
  QPalette palette = label->palette();
  palette.setColor(QPalette::WindowText, textColour);
  label->setPalette(palette);
  auto* rule = new QFrame(row);
  rule->setFixedHeight(2);
  rule->setStyleSheet(QStringLiteral("background: rgb(200, 205, 215); border: none;"));
  layout->addWidget(label);
  layout->addWidget(rule, 1, Qt::AlignVCenter);
  return row;
}

QLabel* MakeGreyText(const QString& text, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  QPalette palette = label->palette();
  palette.setColor(QPalette::WindowText, QColor(110, 110, 110));
  label->setPalette(palette);
  return label;
}

SettingsLink::SettingsLink(const QString& text, QWidget* parent, QColor colour, int pixelHeight)
    : QLabel(text, parent), colour_(colour) {
  QFont font(QStringLiteral("Arial"));
  font.setPixelSize(pixelHeight);
  font.setUnderline(true);
  setFont(font);
  SetLive(true);
}

void SettingsLink::SetLive(bool live) {
  live_ = live;
  QPalette palette = this->palette();
  palette.setColor(QPalette::WindowText, live ? colour_ : QColor(172, 168, 153));
  setPalette(palette);
  setCursor(live ? Qt::PointingHandCursor : Qt::ArrowCursor);
}

void SettingsLink::mouseReleaseEvent(QMouseEvent* event) {
  if (live_ && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) emit clicked();
  QLabel::mouseReleaseEvent(event);
}

void ShowRefusal(QWidget* parent, const QString& text) {
  Prompter::Current().Ask(parent, QMessageBox::NoIcon, text, QMessageBox::Ok);
}

WaitCursorScope::WaitCursorScope() { QApplication::setOverrideCursor(Qt::WaitCursor); }
WaitCursorScope::~WaitCursorScope() { QApplication::restoreOverrideCursor(); }

namespace {
DialogRunner& CurrentRunner() {
  static DialogRunner runner;
  return runner;
}
}  // namespace

int RunDialog(QDialog& dialog) {
  if (CurrentRunner()) return CurrentRunner()(dialog);
  return dialog.exec();
}

DialogRunner InstallDialogRunner(DialogRunner runner) {
  DialogRunner previous = std::move(CurrentRunner());
  CurrentRunner() = std::move(runner);
  return previous;
}

void PairRadios(QRadioButton* a, QRadioButton* b, QObject* owner) {
  auto* group = new QButtonGroup(owner);
  group->addButton(a);
  group->addButton(b);
}

void SetRadios(QRadioButton* a, bool aChecked, QRadioButton* b, bool bChecked) {
  QButtonGroup* group = a->group();
  if (group) group->setExclusive(false);
  a->setChecked(aChecked);
  b->setChecked(bChecked && !aChecked);
  if (group) group->setExclusive(true);
}

void MakeWhite(QWidget* pane) {
  QPalette palette = pane->palette();
  palette.setColor(QPalette::Window, QColor(255, 255, 255));
  pane->setPalette(palette);
  pane->setAutoFillBackground(true);
}

}  // namespace mirvale
