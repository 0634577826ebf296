#pragma once
// CFlatSplitterWnd: a splitter of two side-by-side views painted flat: a white area framed in
// RGB(127,157,185) and a 5-pixel bar in RGB(196,218,250). The owner dialog names the pool and
// device its two views show; when the splitter goes away it hands the keyboard focus back to
// the widget that had it when the splitter was made.
#include <QPointer>
#include <QSplitter>
#include <QString>

namespace mirvale {

class CFlatSplitterWnd : public QSplitter {
  Q_OBJECT
 public:
  explicit CFlatSplitterWnd(QWidget* parent = nullptr);
  ~CFlatSplitterWnd() override;

  // Set by the owner before its views fill themselves; the views read them through their parent.
  QString m_strPool;
  QString m_strDevice;

 protected:
  QSplitterHandle* createHandle() override;
  void paintEvent(QPaintEvent*) override;

 private:
  QPointer<QWidget> m_pSavedActiveView;
};

}  // namespace mirvale
