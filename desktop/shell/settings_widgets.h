#pragma once
// The look the settings panes share: the big title, section headers with their 2-pixel rule,
// navy links that act on a click, the hourglass, and the plain refusal box of dialog validation.
#include <QLabel>
#include <QString>
#include <functional>

class QDialog;
class QRadioButton;

namespace mirvale {

QLabel* MakeTitle(const QString& text, QWidget* parent);
// A header text with a rule reaching the right edge.
QWidget* MakeSectionHeader(const QString& text, QWidget* parent, QColor textColour = QColor(0, 0, 0));
QLabel* MakeGreyText(const QString& text, QWidget* parent);

class SettingsLink : public QLabel {
  Q_OBJECT
 public:
  SettingsLink(const QString& text, QWidget* parent, QColor colour = QColor(0, 0, 128), int pixelHeight = 14);
  // A dead link is grey and ignores clicks.
  void SetLive(bool live);
  bool Live() const { return live_; }

 signals:
  void clicked();

 protected:
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  QColor colour_;
  bool live_ = true;
};

// A message box without an icon; the dialog that refuses stays open.
void ShowRefusal(QWidget* parent, const QString& text);

class WaitCursorScope {
 public:
  WaitCursorScope();
  ~WaitCursorScope();
  WaitCursorScope(const WaitCursorScope&) = delete;
  WaitCursorScope& operator=(const WaitCursorScope&) = delete;
};

// Runs a modal dialog and answers its result. Tests install a runner that works the dialog's
// controls and confirms or cancels it, so no test waits in a modal loop.
using DialogRunner = std::function<int(QDialog& dialog)>;
int RunDialog(QDialog& dialog);
// Installs runner (none: exec()); the previous runner is returned.
DialogRunner InstallDialogRunner(DialogRunner runner);

// Makes two radios exclusive of each other only (several pairs may share one parent).
void PairRadios(QRadioButton* a, QRadioButton* b, QObject* owner);
// Sets both radios of a pair, also both cleared.
void SetRadios(QRadioButton* a, bool aChecked, QRadioButton* b, bool bChecked);

// White panes: every settings pane paints on the white button-highlight brush.
void MakeWhite(QWidget* pane);

}  // namespace mirvale
