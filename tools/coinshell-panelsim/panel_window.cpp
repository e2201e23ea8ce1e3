#include "panel_window.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <algorithm>

#include "panel/panel_bits.h"
#include "panel_keys.h"

namespace cs::panelsim {

namespace {

constexpr double kPanelW = 1000, kPanelH = 440;

int Bit(const char* name) { return *PanelBitByName(name); }

QString KeyLabel(const char* name) {
  const std::string_view n = name;
  if (n == "P1_UP") return QStringLiteral("\u2191");
  if (n == "P1_DOWN") return QStringLiteral("\u2193");
  if (n == "P1_LEFT") return QStringLiteral("\u2190");
  if (n == "P1_RIGHT") return QStringLiteral("\u2192");
  if (n == "EXIT") return QStringLiteral("Esc/X");
  for (const KeyBinding& k : kKeys) {
    if (n != k.name) continue;
    if (k.key == ' ') return QStringLiteral("Space");
    return QString(QChar(k.key)).toUpper();
  }
  return {};
}

}  // namespace

PanelWindow::PanelWindow(QWidget* parent) : QWidget(parent) {
  setWindowTitle(QStringLiteral("coinshell-panelsim"));
  setFocusPolicy(Qt::StrongFocus);
  setMinimumSize(500, 220);
  Build();
}

void PanelWindow::Build() {
  auto add = [this](const char* name, Shape shape, QRectF rect, QColor colour, QString caption) {
    controls_.push_back({Bit(name), shape, rect, colour, std::move(caption), KeyLabel(name)});
  };
  // The top strip: coin switches at the ends, the starts inside them, the operator's buttons in
  // the middle.
  add("COIN1", Shape::kCoin, {40, 34, 84, 64}, QColor(0xd8, 0xb0, 0x40), "COIN 1");
  add("P1_START", Shape::kRound, {205, 36, 60, 60}, QColor(0xf0, 0xf0, 0xf0), "1P START");
  add("SERVICE", Shape::kSquare, {368, 44, 64, 44}, QColor(0x3a, 0x8f, 0xe0), "SERVICE");
  add("VIDEO_MODE", Shape::kSquare, {468, 44, 64, 44}, QColor(0xa0, 0x60, 0xe0), "VIDEO MODE");
  add("EXIT", Shape::kSquare, {568, 44, 64, 44}, QColor(0xe0, 0x40, 0x40), "EXIT");
  add("P2_START", Shape::kRound, {735, 36, 60, 60}, QColor(0xf0, 0xf0, 0xf0), "2P START");
  add("COIN2", Shape::kCoin, {876, 34, 84, 64}, QColor(0xd8, 0xb0, 0x40), "COIN 2");

  const QColor buttonColours[5] = {QColor(0xe8, 0x30, 0x30), QColor(0xf0, 0xd0, 0x20),
                                   QColor(0x30, 0xc0, 0x50), QColor(0x30, 0x70, 0xe8),
                                   QColor(0xe0, 0xe0, 0xe0)};
  for (int p = 0; p < 2; ++p) {
    const double ox = p * 490 + 20;
    const double cx = ox + 115, cy = 290;
    const std::string pre = p == 0 ? "P1_" : "P2_";
    auto name = [&](const char* s) { return (pre + s); };
    const std::string up = name("UP"), down = name("DOWN"), left = name("LEFT"),
                      right = name("RIGHT");
    add(up.c_str(), Shape::kArrowUp, {cx - 28, cy - 92, 56, 52}, QColor(0xf0, 0xc0, 0x20), "");
    add(down.c_str(), Shape::kArrowDown, {cx - 28, cy + 40, 56, 52}, QColor(0xf0, 0xc0, 0x20), "");
    add(left.c_str(), Shape::kArrowLeft, {cx - 92, cy - 28, 52, 56}, QColor(0xf0, 0xc0, 0x20), "");
    add(right.c_str(), Shape::kArrowRight, {cx + 40, cy - 28, 52, 56}, QColor(0xf0, 0xc0, 0x20),
        "");
    const QPointF at[5] = {
        {ox + 265, 245}, {ox + 345, 230}, {ox + 425, 245}, {ox + 285, 330}, {ox + 365, 315}};
    for (int b = 0; b < 5; ++b) {
      const std::string n = pre + "B" + std::to_string(b + 1);
      add(n.c_str(), Shape::kRound, {at[b].x() - 31, at[b].y() - 31, 62, 62}, buttonColours[b],
          QString::number(b + 1));
    }
  }
}

QTransform PanelWindow::ToWidget() const {
  const double s = std::min(width() / kPanelW, height() / kPanelH);
  QTransform t;
  t.translate((width() - kPanelW * s) / 2, (height() - kPanelH * s) / 2);
  t.scale(s, s);
  return t;
}

QRectF PanelWindow::ControlRect(int bit) const {
  for (const Control& c : controls_) {
    if (c.bit == bit) return ToWidget().mapRect(c.rect);
  }
  return {};
}

std::optional<int> PanelWindow::ControlAt(QPointF widgetPos) const {
  const QPointF p = ToWidget().inverted().map(widgetPos);
  for (const Control& c : controls_) {
    if (c.rect.contains(p)) return c.bit;
  }
  return std::nullopt;
}

void PanelWindow::SetLinePressed(std::uint32_t pressed) {
  if (pressed == line_) return;
  line_ = pressed;
  update();
}

void PanelWindow::Changed() {
  update();
  if (on_change_) on_change_();
}

void PanelWindow::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  p.fillRect(rect(), QColor(0x0c, 0x0c, 0x0e));
  p.setTransform(ToWidget());

  // The panel: a dark steel plate with a bevel, a band behind the top strip, the players' halves.
  QLinearGradient plate(0, 0, 0, kPanelH);
  plate.setColorAt(0, QColor(0x32, 0x33, 0x3a));
  plate.setColorAt(1, QColor(0x16, 0x16, 0x1a));
  p.setPen(QPen(QColor(0x70, 0x72, 0x7a), 3));
  p.setBrush(plate);
  p.drawRoundedRect(QRectF(6, 6, kPanelW - 12, kPanelH - 12), 22, 22);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0, 0, 0, 90));
  p.drawRoundedRect(QRectF(22, 22, kPanelW - 44, 110), 12, 12);
  p.setPen(QPen(QColor(0x55, 0x56, 0x5e), 2, Qt::DashLine));
  p.drawLine(QPointF(kPanelW / 2, 150), QPointF(kPanelW / 2, kPanelH - 26));

  QFont heading = font();
  heading.setBold(true);
  heading.setPixelSize(18);
  heading.setLetterSpacing(QFont::AbsoluteSpacing, 3);
  p.setFont(heading);
  p.setPen(QColor(0xff, 0x9a, 0x20));
  p.drawText(QRectF(20, 150, 470, 26), Qt::AlignCenter, QStringLiteral("PLAYER 1"));
  p.setPen(QColor(0x30, 0xb0, 0xff));
  p.drawText(QRectF(510, 150, 470, 26), Qt::AlignCenter, QStringLiteral("PLAYER 2"));

  // The sticks' bases and balls, the ball leaning towards the directions pressed.
  const std::uint32_t lit = Pressed() | line_;
  for (int pl = 0; pl < 2; ++pl) {
    const QPointF c(pl * 490 + 135, 290);
    QRadialGradient base(c, 100);
    base.setColorAt(0, QColor(0x20, 0x20, 0x24));
    base.setColorAt(1, QColor(0x08, 0x08, 0x0a));
    p.setPen(QPen(QColor(0x60, 0x60, 0x68), 2));
    p.setBrush(base);
    p.drawEllipse(c, 100, 100);
    const char* pre = pl == 0 ? "P1_" : "P2_";
    auto on = [&](const char* d) {
      return (lit >> *PanelBitByName(std::string(pre) + d) & 1u) != 0;
    };
    const QPointF lean((on("RIGHT") ? 14 : 0) - (on("LEFT") ? 14 : 0),
                       (on("DOWN") ? 14 : 0) - (on("UP") ? 14 : 0));
    p.setPen(QPen(QColor(0x90, 0x90, 0x98), 6, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(c, c + lean);
    QRadialGradient ball(c + lean + QPointF(-7, -7), 28);
    ball.setColorAt(0, QColor(0xff, 0x80, 0x80));
    ball.setColorAt(1, QColor(0xb0, 0x10, 0x10));
    p.setPen(Qt::NoPen);
    p.setBrush(ball);
    p.drawEllipse(c + lean, 24, 24);
  }

  QFont keyFont = font();
  keyFont.setBold(true);
  keyFont.setPixelSize(15);
  QFont captionFont = font();
  captionFont.setBold(true);
  captionFont.setPixelSize(12);
  for (const Control& c : controls_) {
    const bool on = (lit >> c.bit & 1u) != 0;
    const bool latched = (latched_ >> c.bit & 1u) != 0;
    const QColor face = on ? c.colour.lighter(150) : c.colour.darker(230);
    const QPointF mid = c.rect.center();
    if (on) {  // the glow of a lit lamp
      QRadialGradient glow(mid, c.rect.width() * 0.95);
      glow.setColorAt(0, QColor(c.colour.red(), c.colour.green(), c.colour.blue(), 150));
      glow.setColorAt(1, QColor(c.colour.red(), c.colour.green(), c.colour.blue(), 0));
      p.setPen(Qt::NoPen);
      p.setBrush(glow);
      p.drawEllipse(mid, c.rect.width() * 0.95, c.rect.height() * 0.95);
    }
    p.setPen(QPen(latched ? QColor(0xff, 0xff, 0xff) : QColor(0x05, 0x05, 0x05), latched ? 3 : 2));
    switch (c.shape) {
      case Shape::kRound: {
        // A bezel ring, then the convex cap.
        p.setBrush(QColor(0x15, 0x15, 0x18));
        p.drawEllipse(c.rect.adjusted(-5, -5, 5, 5));
        QRadialGradient cap(mid + QPointF(-c.rect.width() / 6, -c.rect.height() / 6),
                            c.rect.width() * 0.7);
        cap.setColorAt(0, face.lighter(140));
        cap.setColorAt(1, face);
        p.setBrush(cap);
        p.drawEllipse(c.rect);
        break;
      }
      case Shape::kSquare:
      case Shape::kCoin: {
        p.setBrush(QColor(0x15, 0x15, 0x18));
        p.drawRoundedRect(c.rect.adjusted(-4, -4, 4, 4), 8, 8);
        QLinearGradient g(c.rect.topLeft(), c.rect.bottomLeft());
        g.setColorAt(0, face.lighter(130));
        g.setColorAt(1, face);
        p.setBrush(g);
        p.drawRoundedRect(c.rect, 6, 6);
        if (c.shape == Shape::kCoin) {  // the coin slot
          p.setBrush(QColor(0x05, 0x05, 0x05));
          p.drawRoundedRect(QRectF(mid.x() - 4, c.rect.top() + 8, 8, 22), 3, 3);
        }
        break;
      }
      case Shape::kArrowUp:
      case Shape::kArrowDown:
      case Shape::kArrowLeft:
      case Shape::kArrowRight: {
        const QRectF r = c.rect;
        QPolygonF tri;
        if (c.shape == Shape::kArrowUp) {
          tri << QPointF(mid.x(), r.top()) << r.bottomRight() << r.bottomLeft();
        } else if (c.shape == Shape::kArrowDown) {
          tri << r.topLeft() << r.topRight() << QPointF(mid.x(), r.bottom());
        } else if (c.shape == Shape::kArrowLeft) {
          tri << QPointF(r.left(), mid.y()) << r.topRight() << r.bottomRight();
        } else {
          tri << r.topLeft() << QPointF(r.right(), mid.y()) << r.bottomLeft();
        }
        p.setBrush(face);
        p.drawPolygon(tri);
        break;
      }
    }
    // The key on the control, the caption under it.
    p.setFont(keyFont);
    p.setPen(on ? QColor(0x10, 0x10, 0x10) : QColor(0xf4, 0xf4, 0xf4));
    QRectF keyRect = c.rect;
    if (c.shape == Shape::kCoin) keyRect.setTop(c.rect.top() + 30);
    if (c.shape == Shape::kArrowUp) keyRect.setTop(c.rect.top() + 18);
    if (c.shape == Shape::kArrowDown) keyRect.setBottom(c.rect.bottom() - 18);
    if (c.shape == Shape::kArrowLeft) keyRect.setLeft(c.rect.left() + 14);
    if (c.shape == Shape::kArrowRight) keyRect.setRight(c.rect.right() - 14);
    p.drawText(keyRect, Qt::AlignCenter, c.key);
    if (!c.caption.isEmpty()) {
      p.setFont(captionFont);
      p.setPen(QColor(0xc8, 0xc8, 0xd0));
      p.drawText(QRectF(mid.x() - 60, c.rect.bottom() + 6, 120, 16), Qt::AlignCenter, c.caption);
    }
  }

  QFont hint = font();
  hint.setPixelSize(11);
  p.setFont(hint);
  p.setPen(QColor(0x80, 0x80, 0x88));
  p.drawText(QRectF(20, kPanelH - 28, kPanelW - 40, 16), Qt::AlignCenter,
             QStringLiteral("click or key: held  \u00b7  right click or Shift+key: latched  "
                            "\u00b7  '.' releases all latched"));
}

void PanelWindow::mousePressEvent(QMouseEvent* e) {
  const auto bit = ControlAt(e->position());
  if (!bit) return;
  if (e->button() == Qt::LeftButton) {
    mouse_bit_ = *bit;
    held_ = 1u << *bit;
    Changed();
  } else if (e->button() == Qt::RightButton) {
    latched_ ^= 1u << *bit;
    Changed();
  }
}

void PanelWindow::mouseReleaseEvent(QMouseEvent* e) {
  if (e->button() != Qt::LeftButton || mouse_bit_ < 0) return;
  mouse_bit_ = -1;
  held_ = 0;
  Changed();
}

std::optional<int> PanelWindow::BitOfKey(const QKeyEvent* e, bool* latch) const {
  *latch = false;
  switch (e->key()) {
    case Qt::Key_Up:
      return Bit("P1_UP");
    case Qt::Key_Down:
      return Bit("P1_DOWN");
    case Qt::Key_Left:
      return Bit("P1_LEFT");
    case Qt::Key_Right:
      return Bit("P1_RIGHT");
    case Qt::Key_Escape:
      return Bit("EXIT");
    default:
      break;
  }
  const QString text = e->text();
  if (text.size() != 1 || text[0].unicode() > 0x7f) return std::nullopt;
  char c = static_cast<char>(text[0].unicode());
  if (c >= 'A' && c <= 'Z') {
    *latch = true;
    c = static_cast<char>(c - 'A' + 'a');
  }
  for (const KeyBinding& k : kKeys) {
    if (k.key == c) return Bit(k.name);
  }
  return std::nullopt;
}

void PanelWindow::keyPressEvent(QKeyEvent* e) {
  if (e->isAutoRepeat()) return;
  if (e->text() == QStringLiteral(".")) {
    latched_ = 0;
    Changed();
    return;
  }
  bool latch = false;
  const auto bit = BitOfKey(e, &latch);
  if (!bit) return QWidget::keyPressEvent(e);
  if (latch) {
    latched_ ^= 1u << *bit;
  } else {
    keys_ |= 1u << *bit;
  }
  Changed();
}

void PanelWindow::keyReleaseEvent(QKeyEvent* e) {
  if (e->isAutoRepeat()) return;
  bool latch = false;
  const auto bit = BitOfKey(e, &latch);
  if (!bit || (keys_ >> *bit & 1u) == 0) return;
  keys_ &= ~(1u << *bit);
  Changed();
}

void PanelWindow::focusOutEvent(QFocusEvent* e) {
  // Keys released while another window has the focus never arrive here.
  if (keys_ != 0 || held_ != 0) {
    keys_ = held_ = 0;
    mouse_bit_ = -1;
    Changed();
  }
  QWidget::focusOutEvent(e);
}

void PanelWindow::closeEvent(QCloseEvent* e) {
  closed_ = true;
  QWidget::closeEvent(e);
}

}  // namespace cs::panelsim
