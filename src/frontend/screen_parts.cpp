#include "frontend/screen_parts.h"

#include <QFont>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>

namespace cs {

QRect SegmentLabel::Bounds(int screenWidth) const {
  const int n = std::max<int>(digits, static_cast<int>(caption.size()));
  int cell = cellWidth;
  const int room = screenWidth - pos.x();
  if (n * cell > room && n > 0) cell = std::max(6, room / n);
  return QRect(pos.x(), pos.y(), n * cell, height);
}

void DrawPreviewPanel(QPainter& g, const PreviewPanel& p) {
  if (!p.visible) return;
  g.save();
  g.fillRect(p.rect, Qt::black);
  if (!p.frame.isNull()) {
    g.setClipRect(p.rect, Qt::IntersectClip);
    g.drawImage(p.rect.topLeft() + p.frameRect.topLeft(), p.frame);
  }
  g.restore();
}

namespace {
// The label's picture, drawn once per caption: text rendering is the costly part of a repaint.
QImage RenderSegmentLabel(const SegmentLabel& l, const QRect& bounds) {
  QImage img(bounds.size(), QImage::Format_RGB32);
  const QRect box(QPoint(0, 0), bounds.size());
  const int n = std::max<int>(l.digits, static_cast<int>(l.caption.size()));
  const int cell = n > 0 ? box.width() / n : box.width();
  QPainter g(&img);
  g.setRenderHint(QPainter::Antialiasing);
  g.setRenderHint(QPainter::TextAntialiasing);
  g.fillRect(box, QColor(4, 3, 2));
  QFont f(QStringLiteral("DSEG7 Classic"));
  f.setPixelSize(std::min(box.height() - 6, static_cast<int>(cell * 1.25)));
  g.setFont(f);
  // Right-aligned digits, each in its cell, over dim "8" ghosts like a real LED display.
  std::string text = l.caption;
  if (static_cast<int>(text.size()) < n) text.insert(0, n - text.size(), ' ');
  for (int i = 0; i < n; ++i) {
    const QRect c(box.x() + i * cell, box.y(), cell, box.height());
    g.setPen(QColor(0x1A, 0x10, 0x05));
    g.drawText(c, Qt::AlignCenter, QStringLiteral("8"));
    if (text[i] != ' ') {
      g.setPen(QColor(0xFF, 0xB2, 0x1E));
      g.drawText(c, Qt::AlignCenter, QString(QChar::fromLatin1(text[i])));
    }
  }
  g.end();
  return img;
}
}  // namespace

void DrawSegmentLabel(QPainter& g, const SegmentLabel& l) {
  if (!l.visible) return;
  const QRect box = l.Bounds();
  if (l.cache_.isNull() || l.cache_key_ != l.caption || l.cache_.size() != box.size()) {
    l.cache_ = RenderSegmentLabel(l, box);
    l.cache_key_ = l.caption;
  }
  g.drawImage(box.topLeft(), l.cache_);
}

void DrawLedBar(QPainter& g, const LedBar& b) {
  if (!b.visible) return;
  g.save();
  g.setRenderHint(QPainter::Antialiasing);
  g.fillRect(b.rect, QColor(6, 10, 18));
  g.setPen(QColor(40, 200, 255));
  g.drawRect(b.rect.adjusted(0, 0, -1, -1));
  const int span = std::max(1, b.max - b.min);
  const int value = std::clamp(b.position, b.min, b.max) - b.min;
  const QRect inner = b.rect.adjusted(3, 3, -3, -3);
  const int leds = 20;
  const int w = inner.width() / leds;
  const int lit = value * leds / span;
  for (int i = 0; i < leds; ++i) {
    const QRect led(inner.x() + i * w + 1, inner.y(), w - 2, inner.height());
    g.fillRect(led, i < lit ? QColor(60, 255, 120) : QColor(14, 40, 22));
  }
  QFont f(QStringLiteral("DejaVu Sans"));
  f.setPixelSize(std::max(8, inner.height() - 6));
  f.setBold(true);
  g.setFont(f);
  g.setPen(Qt::white);
  g.drawText(inner, Qt::AlignCenter,
             QString::number(value * 100 / span) + QString::fromStdString(b.unit));
  g.restore();
}

void PaintScreen(QPainter& g, const QRect& area, const QImage& skinCanvas,
                 const PreviewPanel& panel, const SegmentLabel& credits, const LedBar& bar) {
  g.save();
  g.setClipRect(area);
  g.fillRect(area, Qt::black);
  const QRect skinPart = area & skinCanvas.rect();
  if (!skinPart.isEmpty()) g.drawImage(skinPart.topLeft(), skinCanvas, skinPart);
  if (area.intersects(panel.rect)) DrawPreviewPanel(g, panel);
  if (area.intersects(credits.Bounds())) DrawSegmentLabel(g, credits);
  if (area.intersects(bar.rect)) DrawLedBar(g, bar);
  g.restore();
}

QImage ComposeScreen(const QImage& skinCanvas, const PreviewPanel& panel,
                     const SegmentLabel& credits, const LedBar& bar, int w, int h) {
  QImage screen(w, h, QImage::Format_RGB32);
  QPainter g(&screen);
  PaintScreen(g, screen.rect(), skinCanvas, panel, credits, bar);
  g.end();
  return screen;
}

}  // namespace cs
