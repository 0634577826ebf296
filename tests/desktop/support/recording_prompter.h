#pragma once
// A prompter for tests: records every message and answers at once (Yes/Ok unless told
// otherwise), so no test waits in a modal loop. Installed for the scope of the object.
#include <QStringList>
#include <memory>

#include "desktop/shell/prompter.h"

namespace testing_support {

class RecordingPrompter {
 public:
  struct Record : mirvale::Prompter {
    QStringList texts;
    QList<QMessageBox::Icon> icons;
    QMessageBox::StandardButton answer = QMessageBox::Yes;
    QMessageBox::StandardButton Ask(QWidget*, QMessageBox::Icon icon, const QString& text,
                                    QMessageBox::StandardButtons buttons) override {
      texts.append(text);
      icons.append(icon);
      return buttons.testFlag(answer) ? answer : QMessageBox::Ok;
    }
  };

  RecordingPrompter() {
    auto record = std::make_unique<Record>();
    record_ = record.get();
    previous_ = mirvale::Prompter::Install(std::move(record));
  }
  ~RecordingPrompter() { mirvale::Prompter::Install(std::move(previous_)); }
  RecordingPrompter(const RecordingPrompter&) = delete;
  RecordingPrompter& operator=(const RecordingPrompter&) = delete;

  const QStringList& Texts() const { return record_->texts; }
  const QList<QMessageBox::Icon>& Icons() const { return record_->icons; }
  void Answer(QMessageBox::StandardButton button) { record_->answer = button; }

 private:
  Record* record_;
  std::unique_ptr<mirvale::Prompter> previous_;
};

}  // namespace testing_support
