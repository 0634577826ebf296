#include "desktop/results/drop_down_combo.h"

namespace mirvale {

void DropDownCombo::showPopup() {
  emit aboutToDropDown();
  if (ownPopup_) QComboBox::showPopup();
}

void DropDownCombo::hidePopup() {
  QComboBox::hidePopup();
  emit closedUp();
}

}  // namespace mirvale
