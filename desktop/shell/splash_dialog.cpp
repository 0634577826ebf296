#include "desktop/shell/splash_dialog.h"

#include <QApplication>
#include <QLabel>
#include <QMetaObject>
#include <QPainter>
#include <QTimer>

#include "desktop/shell/post_to_gui_thread.h"
#include "desktop/shell/shell_colours.h"
#include "desktop/shell/shell_images.h"

namespace mirvale {
namespace {

QFont SplashFont(const char* family, int pixelSize, QFont::Weight weight) {
  QFont font(QString::fromLatin1(family));
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(pixelSize);
  font.setWeight(weight);
  return font;
}

}  // namespace

CSplashDlg::CSplashDlg(std::chrono::milliseconds delay, std::function<void()> loading, QWidget* parent)
    : QDialog(parent, Qt::SplashScreen | Qt::FramelessWindowHint),
      delay_(delay),
      loading_(std::move(loading)),
      title_(new QLabel(this)) {
  setObjectName(QStringLiteral("splash"));
  setFixedSize(460, 220);
  QPalette palette;
  palette.setColor(QPalette::Window, SplashBrushColour());
  setPalette(palette);
  setAutoFillBackground(true);

  auto* icon = new QLabel(this);
  icon->setPixmap(ProgramIcon().pixmap(64, 64));
  icon->setGeometry(43, 40, 64, 64);

  auto* loadingText = new QLabel(QStringLiteral("Loading..."), this);
  loadingText->setFont(SplashFont("Arial", 16, QFont::Bold));
  loadingText->setStyleSheet(QStringLiteral("color: rgb(0, 0, 128); background: transparent;"));
  loadingText->setGeometry(170, 150, 270, 22);

  detailText_ = new QLabel(QStringLiteral("Loading Mirvale..."), this);
  detailText_->setObjectName(QStringLiteral("splashDetail"));
  detailText_->setFont(SplashFont("Tahoma", 13, QFont::Normal));
  detailText_->setStyleSheet(QStringLiteral("color: rgb(83, 83, 83); background: transparent;"));
  detailText_->setGeometry(170, 175, 270, 20);

  // Invisible anchor of the painted name: "Oskavel" is centred on it, "Mirvale" follows to the
  // right, so the anchor sits left of the gradient's middle for the pair to fit.
  title_->setGeometry(170, 95, 140, 10);
}

CSplashDlg::~CSplashDlg() {
  if (worker_.joinable()) worker_.join();
}

void CSplashDlg::RequestClose() {
  closeRequested_ = true;
  detailText_->setText(QStringLiteral("Closing once loading is done..."));
}

void CSplashDlg::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (started_) return;
  started_ = true;
  QApplication::setOverrideCursor(Qt::WaitCursor);
  QTimer::singleShot(delay_, this, [this] { StartLoading(); });
}

void CSplashDlg::StartLoading() {
  // The loading may wait up to a minute for the service: off the GUI thread, so the splash
  // keeps painting; it closes when the loading is done.
  worker_ = std::thread([this] {
    loading_();
    PostToGuiThread(this, [this] {
      QApplication::restoreOverrideCursor();
      emit loadingFinished();
      accept();
    });
  });
}

void CSplashDlg::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const int w = width();
  for (int x = kSplashPlainWidth; x < w; ++x) p.fillRect(x, 0, 1, height(), SplashColumnColour(x, w));

  QFont first(QStringLiteral("Impact"));
  first.setStyleHint(QFont::SansSerif);
  first.setPixelSize(logicalDpiX() * 10 / 48);
  first.setItalic(true);
  first.setUnderline(true);
  const QFontMetrics firstMetrics(first);
  const QString firstText = QStringLiteral("Oskavel");
  const int textHeight = firstMetrics.height();
  const int anchorTop = title_->geometry().top();
  const int centreX = title_->geometry().center().x();
  const int firstWidth = firstMetrics.horizontalAdvance(firstText) + 10;
  QRect firstRect(centreX - firstWidth / 2, anchorTop - textHeight - 10, firstWidth, 2 * textHeight);
  firstRect.setBottom(anchorTop + textHeight - 10);
  p.setFont(first);
  p.setPen(QColor(114, 117, 122));
  p.drawText(firstRect, Qt::AlignCenter | Qt::TextSingleLine, firstText);

  QFont second(QStringLiteral("Arial"));
  second.setStyleHint(QFont::SansSerif);
  second.setPixelSize(logicalDpiX() / 3);
  second.setBold(true);
  const QFontMetrics secondMetrics(second);
  const QString secondText = QStringLiteral("Mirvale");
  QRect secondRect(firstRect.right(), 0, secondMetrics.horizontalAdvance(secondText), secondMetrics.height());
  secondRect.moveCenter(QPoint(secondRect.center().x(), firstRect.center().y()));
  p.setFont(second);
  p.setPen(QColor(235, 40, 0));
  p.drawText(secondRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, secondText);
}

}  // namespace mirvale
