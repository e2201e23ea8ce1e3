#include "app/screen_widget.h"

#include <QBitmap>
#include <QCloseEvent>
#include <QCursor>
#include <QPainter>

#include "frontend/main_window.h"

namespace cs {

namespace {
// CURNUL: a 32 x 32 cursor whose every pixel is transparent.
QCursor BlankCursor() {
  QBitmap bits(32, 32);
  bits.fill(Qt::color0);
  QBitmap mask(32, 32);
  mask.fill(Qt::color0);
  return QCursor(bits, mask, 0, 0);
}
}  // namespace

ScreenWidget::ScreenWidget(TDbgFrm& frm) : frm_(frm) {
  setWindowTitle(QStringLiteral("coinshell"));
  setFixedSize(650, 480);
  setCursor(BlankCursor());
  setAttribute(Qt::WA_OpaquePaintEvent);
  setFocusPolicy(Qt::StrongFocus);
}

void ScreenWidget::Invalidate() {
  stale_ = true;
  update();
}

void ScreenWidget::paintEvent(QPaintEvent*) {
  if (stale_) {
    picture_ = frm_.Screenshot();
    stale_ = false;
  }
  QPainter p(this);
  p.fillRect(rect(), Qt::black);
  p.drawImage(0, 0, picture_);
}

void ScreenWidget::closeEvent(QCloseEvent* e) {
  frm_.FormClose();
  e->accept();
}

void ScreenWidget::keyPressEvent(QKeyEvent*) {
  // Keys of a PC keyboard have no effect on the main screen.
}

}  // namespace cs
