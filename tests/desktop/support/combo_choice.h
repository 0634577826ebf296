#pragma once
// Picks an entry of a dialog's combo box the way a click does: the current index changes and
// `activated` fires, which is what the dialogs follow.
#include <QComboBox>

#include <gtest/gtest.h>

namespace testing_support {

inline void Choose(QComboBox& combo, const QString& text) {
  const int index = combo.findText(text);
  ASSERT_GE(index, 0) << text.toStdString();
  combo.setCurrentIndex(index);
  emit combo.activated(index);
}

}  // namespace testing_support
