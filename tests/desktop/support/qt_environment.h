#pragma once
// The one QApplication of a desktop test program, made before the first test and removed after
// the last: on the offscreen platform, or on a private Xvfb display for screenshots. A message
// box nobody expected fails the test instead of waiting for a click (tests that expect one
// install a RecordingPrompter). Each test source registers it once:
//   static auto* const qt = testing_support::UseQtApplication();             // offscreen
//   static auto* const qt = testing_support::UseQtApplication(Display::Xvfb); // screenshots
#include <QApplication>
#include <memory>

#include <gtest/gtest.h>

#include "desktop/shell/prompter.h"
#include "tests/desktop/support/xvfb_server.h"

namespace testing_support {

enum class Display { Offscreen, Xvfb };

// Answers No (or Cancel, or Ok) at once and fails the running test.
class UnexpectedMessagePrompter : public mirvale::Prompter {
 public:
  QMessageBox::StandardButton Ask(QWidget*, QMessageBox::Icon, const QString& text,
                                  QMessageBox::StandardButtons buttons) override {
    ADD_FAILURE() << "unexpected message box: " << text.toStdString();
    for (auto answer : {QMessageBox::No, QMessageBox::Cancel, QMessageBox::Ok})
      if (buttons.testFlag(answer)) return answer;
    return QMessageBox::NoButton;
  }
};

class QtEnvironment : public ::testing::Environment {
 public:
  explicit QtEnvironment(Display display) : display_(display) {}
  void SetUp() override {
    if (display_ == Display::Xvfb) {
      xvfb_ = std::make_unique<XvfbServer>();
      ASSERT_TRUE(xvfb_->Running()) << "Xvfb did not start";
      setenv("DISPLAY", xvfb_->DisplayName().c_str(), 1);
      setenv("QT_QPA_PLATFORM", "xcb", 1);
    } else {
      setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    app_ = std::make_unique<QApplication>(argc_, argv_);
    mirvale::Prompter::Install(std::make_unique<UnexpectedMessagePrompter>());
  }
  void TearDown() override {
    mirvale::Prompter::Install(nullptr);
    app_.reset();
    xvfb_.reset();
  }

 private:
  Display display_;
  int argc_ = 1;
  char name_[16] = "mirvale-test";
  char* argv_[2] = {name_, nullptr};
  std::unique_ptr<XvfbServer> xvfb_;
  std::unique_ptr<QApplication> app_;
};

inline ::testing::Environment* UseQtApplication(Display display = Display::Offscreen) {
  return ::testing::AddGlobalTestEnvironment(new QtEnvironment(display));
}

}  // namespace testing_support
