#include "desktop/shell/email_format_page.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "desktop/shell/mirvale_app.h"

namespace mirvale {

CConfigurationToolsActionsFormat::CConfigurationToolsActionsFormat(const PaneContext& context, QWidget* parent)
    : QDialog(parent),
      subjectCheck(new QCheckBox(QStringLiteral("Email subject"), this)),
      subject(new QLineEdit(this)),
      bodyCheck(new QCheckBox(QStringLiteral("Email body:"), this)),
      body(new QPlainTextEdit(this)),
      context_(context) {
  setWindowTitle(QStringLiteral("Email Format"));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(subjectCheck);
  layout->addWidget(subject);
  layout->addWidget(bodyCheck);
  layout->addWidget(body, 1);
  layout->addWidget(new QLabel(QStringLiteral("Use ($pool, $device, $name, $action, $date) as arguments."), this));
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Apply, this);
  layout->addWidget(buttons);
  applyButton = buttons->button(QDialogButtonBox::Apply);
  applyButton->setEnabled(false);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(applyButton, &QPushButton::clicked, this, [this] {
    Apply();
    applyButton->setEnabled(false);
  });

  const CMirvaleDoc& doc = context_.app.Document();
  subject->setEnabled(false);
  body->setEnabled(false);
  if (!doc.m_strMailSubject.empty()) {
    subjectCheck->setChecked(true);
    subject->setEnabled(true);
    subject->setText(QString::fromStdString(doc.m_strMailSubject));
  }
  if (!doc.m_strMailBody.empty()) {
    bodyCheck->setChecked(true);
    body->setEnabled(true);
    body->setPlainText(QString::fromStdString(doc.m_strMailBody));
  }
  connect(subjectCheck, &QCheckBox::clicked, this, [this](bool ticked) {
    subject->setEnabled(ticked);
    if (!ticked) subject->clear();
    applyButton->setEnabled(true);
  });
  connect(bodyCheck, &QCheckBox::clicked, this, [this](bool ticked) {
    body->setEnabled(ticked);
    if (!ticked) body->clear();
    applyButton->setEnabled(true);
  });
  connect(subject, &QLineEdit::textEdited, applyButton, [this] { applyButton->setEnabled(true); });
  connect(body, &QPlainTextEdit::textChanged, applyButton, [this] { applyButton->setEnabled(true); });
  applyButton->setEnabled(false);
}

void CConfigurationToolsActionsFormat::Apply() {
  context_.app.WithDocument([&](CMirvaleDoc& doc) {
    doc.m_strMailSubject = subjectCheck->isChecked() ? subject->text().toStdString() : std::string();
    doc.m_strMailBody = bodyCheck->isChecked() ? body->toPlainText().toStdString() : std::string();
  });
  context_.app.CommitSettings(this);
}

void CConfigurationToolsActionsFormat::accept() {
  Apply();
  QDialog::accept();
}

}  // namespace mirvale
