#include "desktop/pools/add_devices_dialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <QTreeWidget>

#include "desktop/pools/pool_properties_dialog.h"
#include "desktop/pools/refusal.h"
#include "desktop/pools/small_dialog_rules.h"

namespace mirvale {
namespace {

// An edit that takes the shape of a dotted IPv4 address, four parts of up to three digits. A part
// above 255 is refused with a message on OK rather than cut while typed (300 would become 30).
QLineEdit* AddressEdit(const QString& text, QWidget* parent) {
  auto* edit = new QLineEdit(text, parent);
  static const QRegularExpression kDotted(QStringLiteral("^(\\d{1,3}\\.){0,3}(\\d{1,3})?$"));
  edit->setValidator(new QRegularExpressionValidator(kDotted, edit));
  return edit;
}

}  // namespace

CConfigurationAddDevices::CConfigurationAddDevices(CConfigurationPoolProperties& pool) : QDialog(&pool), pool_(pool) {
  setWindowTitle(QStringLiteral("Add Devices"));
  auto* form = new QFormLayout(this);
  network = AddressEdit(QString(), this);
  mask = AddressEdit(QString::fromLatin1(kDefaultNetworkMask), this);
  form->addRow(QStringLiteral("Network Address:"), network);
  form->addRow(QStringLiteral("Mask Address:"), mask);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  form->addRow(buttons);
}

void CConfigurationAddDevices::accept() {
  const std::string address = network->text().toStdString();
  const std::string netmask = mask->text().toStdString();
  std::vector<std::string> existing;
  QTreeWidget& list = pool_.DeviceList();
  for (int i = 0; i < list.topLevelItemCount(); ++i) existing.push_back(list.topLevelItem(i)->text(0).toStdString());
  if (auto refusal = RefuseNetwork(address, netmask, existing)) {
    if (*refusal == kMaskTooBig) mask->setText(QString::fromLatin1(kDefaultNetworkMask));
    return ShowRefusal(this, *refusal);
  }
  pool_.AddDevice(CDeviceItem{address, netmask});
  QDialog::accept();
}

}  // namespace mirvale
