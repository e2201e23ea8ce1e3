#include "app/screen_widget.h"

#include <QBitmap>
#include <QCloseEvent>
#include <QCursor>
#include <QPaintEvent>
#include <QPainter>

#include "frontend/main_window.h"
#include "operator/operator_screens.h"

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

void ScreenWidget::Invalidate(const QRect& area) { update(area); }

void ScreenWidget::paintEvent(QPaintEvent* e) {
  // Only what changed is painted: on the idle menu that is the preview panel each tick.
  QPainter p(this);
  if (screens_ && screens_->Front()) {
    // Operator screens stay on top at 0, 0, 640 x 480.
    p.fillRect(e->rect(), Qt::black);
    p.drawImage(0, 0, screens_->Front()->Screenshot());
    return;
  }
  PaintScreen(p, e->rect(), frm_.Ske.Canvas(), frm_.Panel1, frm_.ZsCredits, frm_.Pb1);
}

void ScreenWidget::closeEvent(QCloseEvent* e) {
  frm_.FormClose();
  e->accept();
}

void ScreenWidget::keyPressEvent(QKeyEvent*) {
  // Keys of a PC keyboard have no effect on the main screen.
}

}  // namespace cs
