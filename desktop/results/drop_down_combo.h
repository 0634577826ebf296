#pragma once
// A drop-down list that tells its owner before it opens, so the owner can refill it (the Reports
// filter) or open something else in its place (the Set Devices picker, ownPopup false).
#include <QComboBox>

namespace mirvale {

class DropDownCombo : public QComboBox {
  Q_OBJECT
 public:
  explicit DropDownCombo(bool ownPopup = true, QWidget* parent = nullptr) : QComboBox(parent), ownPopup_(ownPopup) {}
  void showPopup() override;
  void hidePopup() override;

 signals:
  void aboutToDropDown();
  void closedUp();  // the list closed, whether or not an item was chosen

 private:
  const bool ownPopup_;
};

}  // namespace mirvale
