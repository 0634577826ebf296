#include "desktop/results/detail_page_parts.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QTabWidget>
#include <QVBoxLayout>
#include <utility>

#include "desktop/results/configuration_restore_thread.h"
#include "desktop/shell/mirvale_app.h"
#include "desktop/shell/prompter.h"
#include "desktop/results/set_restore_job.h"

namespace mirvale {

QLineEdit* ReadOnlyEdit(QWidget* parent, const char* objectName) {
  auto* edit = new QLineEdit(parent);
  edit->setObjectName(QString::fromLatin1(objectName));
  edit->setReadOnly(true);
  edit->setMinimumWidth(320);
  return edit;
}

QLineEdit* AddReadOnlyRow(QFormLayout& form, QWidget* parent, const char* objectName, const QString& label) {
  QLineEdit* edit = ReadOnlyEdit(parent, objectName);
  form.addRow(label, edit);
  return edit;
}

namespace {

QPushButton* StepButton(QWidget* parent, bool next) {
  auto* button = new QPushButton(parent);
  button->setObjectName(next ? QStringLiteral("NextButton") : QStringLiteral("PreviousButton"));
  button->setIcon(parent->style()->standardIcon(next ? QStyle::SP_ArrowRight : QStyle::SP_ArrowLeft));
  button->setToolTip(next ? QStringLiteral("Next") : QStringLiteral("Previous"));
  button->setFixedWidth(36);
  return button;
}

}  // namespace

bool PageButtons::Update(int& row, int count) const {
  if (row >= count) row = count - 1;
  request->setEnabled(row >= 0);
  previous->setEnabled(row > 0);
  next->setEnabled(row >= 0 && row < count - 1);
  return row >= 0;
}

PageButtons AddPageButtons(QFormLayout& form, QWidget* page, const QString& requestText) {
  PageButtons buttons{StepButton(page, false), StepButton(page, true), new QPushButton(requestText, page)};
  buttons.request->setObjectName(QStringLiteral("SetButton"));
  auto* row = new QHBoxLayout;
  row->addWidget(buttons.previous);
  row->addWidget(buttons.next);
  row->addStretch(1);
  row->addWidget(buttons.request);
  form.addRow(row);
  return buttons;
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

void DetailPage::AddButtons(QFormLayout& form, QWidget* page, const QString& requestText,
                            std::function<void()> request) {
  buttons_ = AddPageButtons(form, page, requestText);
  connect(buttons_.previous, &QPushButton::clicked, this, &DetailPage::Previous);
  connect(buttons_.next, &QPushButton::clicked, this, &DetailPage::Next);
  connect(buttons_.request, &QPushButton::clicked, this, std::move(request));
}

void DetailPage::Move(int direction) {
  if (row_ < 0) return;
  rows_.Select(row_, false);
  // A step that cannot move (past the first or last row) leaves the row selected as it was.
  row_ = StepTo(row_, rows_.Step(row_, direction), rows_.RowCount());
  if (rows_.Selectable(row_)) rows_.Select(row_, true);
  ShowRow();
}

bool DetailPage::SendRequest(CMirvaleApp& app, const RestoreRequest& request, const QString& failure) {
  if (!SetRestoreJob(app, this, {request})) return false;
  if (RequestSucceeded(app.Document(), request.key)) return true;
  ShowInformation(this, QString::fromStdString(WithFailureReasons(failure.toStdString(), app.Document(), {request.key})));
  return false;
}

}  // namespace mirvale
