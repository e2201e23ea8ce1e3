#include "skin/skin_view.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

#include "skin/skin_engine.h"

namespace cs {

SkinView::SkinView(SkinEngine& engine, QWidget* parent)
    : QWidget(parent), engine_(engine), generation_(engine.Generation()) {
  setMouseTracking(true);
  setAttribute(Qt::WA_OpaquePaintEvent);
  engine_.OnCanvasChanged = [this](const QRect& r) {
    if (size() == QSize(kCanvasWidth, kCanvasHeight)) {
      update(r);
    } else {
      update();
    }
  };
}

SkinView::~SkinView() { engine_.OnCanvasChanged = nullptr; }

QSize SkinView::sizeHint() const { return {kCanvasWidth, kCanvasHeight}; }

void SkinView::paintEvent(QPaintEvent* event) {
  QPainter p(this);
  if (size() == QSize(kCanvasWidth, kCanvasHeight)) {
    const QRect r = event->rect();
    p.drawImage(r.topLeft(), engine_.Canvas(), r);
  } else {
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawImage(rect(), engine_.Canvas());
  }
}

void SkinView::Forget() {
  if (generation_ != engine_.Generation()) {
    generation_ = engine_.Generation();
    hovered_ = pressed_ = nullptr;
  }
}

SkinObject* SkinView::Hit(const QPointF& pos) const {
  if (width() <= 0 || height() <= 0) return nullptr;
  const int x = static_cast<int>(pos.x() * kCanvasWidth / width());
  const int y = static_cast<int>(pos.y() * kCanvasHeight / height());
  return engine_.ObjectAt(x, y);
}

void SkinView::Hover(SkinObject* o) {
  Forget();
  if (o == hovered_) return;
  SkinObject* old = hovered_;
  hovered_ = o;
  const std::uint64_t gen = engine_.Generation();
  if (old != nullptr) engine_.RunLeaveEvent(old, false);
  if (gen != engine_.Generation()) return Forget();  // an action reloaded the skin
  if (o != nullptr) engine_.RunHoverEvent(o, false);
  Forget();
}

void SkinView::mouseMoveEvent(QMouseEvent* event) { Hover(Hit(event->position())); }

void SkinView::leaveEvent(QEvent*) { Hover(nullptr); }

void SkinView::mousePressEvent(QMouseEvent* event) {
  Forget();
  if (event->button() != Qt::LeftButton && event->button() != Qt::RightButton) return;
  pressed_ = Hit(event->position());
  pressed_button_ = event->button();
}

void SkinView::mouseReleaseEvent(QMouseEvent* event) {
  Forget();
  if (event->button() != pressed_button_) return;
  SkinObject* o = Hit(event->position());
  SkinObject* pressed = pressed_;
  pressed_ = nullptr;
  pressed_button_ = Qt::NoButton;
  if (o == nullptr || o != pressed) return;
  const ScriptKind kind =
      event->button() == Qt::LeftButton ? ScriptKind::kClick : ScriptKind::kRightClick;
  while (o != nullptr && o->Script(kind).empty()) o = o->Parent();
  if (o != nullptr) engine_.RunEvent(o, kind, false);
}

}  // namespace cs
