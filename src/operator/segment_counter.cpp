#include "operator/segment_counter.h"

#include <QFont>
#include <QPainter>
#include <algorithm>

namespace cs {

void DrawSegmentCounter(QImage* screen, const SegmentCounter& l) {
  if (!l.visible || l.rect.isEmpty()) return;
  const int n = std::max<int>({l.digits, static_cast<int>(l.caption.size()), 1});
  const int cell = l.rect.width() / n;
  const int pad = (l.rect.width() - cell * n) / 2;
  QPainter g(screen);
  g.setRenderHint(QPainter::Antialiasing);
  g.setRenderHint(QPainter::TextAntialiasing);
  g.setClipRect(l.rect);
  g.fillRect(l.rect, QColor(4, 3, 2));
  QFont f(QStringLiteral("DSEG7 Classic"));
  f.setPixelSize(std::max(6, std::min(l.rect.height() - 8, static_cast<int>(cell * 1.2))));
  g.setFont(f);
  // Right-aligned, each character in its cell.
  std::string text = l.caption;
  if (static_cast<int>(text.size()) < n) text.insert(0, n - text.size(), ' ');
  for (int i = 0; i < n; ++i) {
    const QRect c(l.rect.x() + pad + i * cell, l.rect.y(), cell, l.rect.height());
    g.setPen(QColor(0x1A, 0x10, 0x05));
    g.drawText(c, Qt::AlignCenter, QStringLiteral("8"));
    if (text[i] != ' ') {
      g.setPen(QColor(0xFF, 0xB2, 0x1E));
      g.drawText(c, Qt::AlignCenter, QString(QChar::fromLatin1(text[i])));
    }
  }
}

}  // namespace cs
