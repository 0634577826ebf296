#pragma once
// The program's help: the HTML pages shipped in resources/help, shown in a browser window of
// their own (no owner, so it stays open beside the main window).
#include <QWidget>

class QTextBrowser;

namespace mirvale {

class HelpWindow : public QWidget {
  Q_OBJECT
 public:
  explicit HelpWindow(QWidget* parent = nullptr);
  // Shows the window with a page of the help ("Welcome.htm").
  void ShowTopic(const QString& page);
  QTextBrowser& Browser() const { return *browser_; }

 private:
  QTextBrowser* browser_;
};

}  // namespace mirvale
