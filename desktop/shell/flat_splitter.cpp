#include "desktop/shell/flat_splitter.h"

#include <QApplication>
#include <QPainter>

namespace mirvale {
namespace {

const QColor kFrameColour(127, 157, 185);
const QColor kBarColour(196, 218, 250);
constexpr int kBarWidth = 5;

class FlatSplitterHandle : public QSplitterHandle {
 public:
  FlatSplitterHandle(Qt::Orientation orientation, QSplitter* parent) : QSplitterHandle(orientation, parent) {}

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.fillRect(rect(), kBarColour);
    p.setPen(kFrameColour);
    p.drawRect(rect().adjusted(0, 0, -1, -1));
  }
};

}  // namespace

CFlatSplitterWnd::CFlatSplitterWnd(QWidget* parent)
    : QSplitter(Qt::Horizontal, parent), m_pSavedActiveView(QApplication::focusWidget()) {
  setHandleWidth(kBarWidth);
  setChildrenCollapsible(false);
  setContentsMargins(1, 1, 1, 1);
}

CFlatSplitterWnd::~CFlatSplitterWnd() {
  if (m_pSavedActiveView) m_pSavedActiveView->setFocus(Qt::OtherFocusReason);
}

QSplitterHandle* CFlatSplitterWnd::createHandle() { return new FlatSplitterHandle(orientation(), this); }

void CFlatSplitterWnd::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), QColor(255, 255, 255));
  p.setPen(kFrameColour);
  p.drawRect(rect().adjusted(0, 0, -1, -1));
}

}  // namespace mirvale
