#include "desktop/pools/copy_pool_dialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "desktop/pools/pool_properties_dialog.h"
#include "desktop/pools/refusal.h"
#include "desktop/pools/small_dialog_rules.h"
#include "desktop/shell/mirvale_app.h"

namespace mirvale {

CConfigurationCopyPool::CConfigurationCopyPool(CConfigurationPoolProperties& pool) : QDialog(&pool), pool_(pool) {
  setWindowTitle(QStringLiteral("Copy Pool"));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(QStringLiteral("Type new pool name:"), this));
  name = new QLineEdit(QString::fromLatin1(kNewPoolName), this);
  name->installEventFilter(this);
  layout->addWidget(name);
  useProtocol = new QCheckBox(QStringLiteral("Use protocol properties"), this);
  useDevices = new QCheckBox(QStringLiteral("Use devices properties"), this);
  useProtocol->setChecked(true);
  useDevices->setChecked(true);
  layout->addWidget(useProtocol);
  layout->addWidget(useDevices);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);
  connect(name, &QLineEdit::textEdited, this, [this](const QString& text) {
    if (auto replaced = NameEditRule(text.toStdString())) {
      name->setText(QString::fromStdString(*replaced));
      name->setCursorPosition(name->text().size());
    }
  });
}

bool CConfigurationCopyPool::eventFilter(QObject* watched, QEvent* event) {
  if (watched == name && event->type() == QEvent::FocusIn && !focusedOnce_) {
    focusedOnce_ = true;
    QTimer::singleShot(0, name, [this] { name->setCursorPosition(0); });
  }
  return QDialog::eventFilter(watched, event);
}

void CConfigurationCopyPool::accept() {
  const std::string newName = name->text().toStdString();
  const auto& pools = pool_.App().Document().m_mapPools;
  if (auto refusal = RefuseCopyName(newName, pools.Contains(newName), pools.Contains(pool_.PoolName().toStdString()))) {
    ShowRefusal(this, *refusal);
    name->setFocus();
    return;
  }
  pool_.NameEdit().setText(name->text());
  if (!useProtocol->isChecked()) {
    CPoolItem& image = pool_.Image().settings;
    CPoolItem cleared;
    cleared.m_bTelnet = image.m_bTelnet;
    cleared.m_bSsh = image.m_bSsh;
    cleared.m_bSnmpV1 = image.m_bSnmpV1;
    cleared.m_bSnmpV3 = image.m_bSnmpV3;
    cleared.m_bAllQueries = image.m_bAllQueries;
    cleared.m_nShellPort = image.m_nShellPort;
    cleared.m_nRetries = 1;
    cleared.m_nTimeout = 1000;
    image = cleared;
    pool_.EmptyQueries();
  }
  if (!useDevices->isChecked()) pool_.EmptyDevices();
  QDialog::accept();
}

}  // namespace mirvale
