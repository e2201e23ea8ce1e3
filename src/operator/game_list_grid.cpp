#include "operator/game_list_grid.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <algorithm>

#include "catalogue/catalogue_view.h"

namespace cs {

namespace {
constexpr int kHeaderHeight = 22;
constexpr int kRowHeight = 21;
constexpr int kCreditsWidth = 72;
constexpr int kFontPx = 15;

QFont GridFont(int px) {
  QFont f(QStringLiteral("DejaVu Sans"));
  f.setPixelSize(px);
  f.setBold(true);
  return f;
}
}  // namespace

int GameListGrid::VisibleRows() const {
  return std::max(1, (rect.height() - kHeaderHeight - 2) / kRowHeight);
}

void GameListGrid::Refresh(const CatalogueView& view) {
  lines.clear();
  current = -1;
  for (const GameRow& r : view.Rows()) {
    lines.push_back({r.NAMEFILE, r.NAMEGAME.value_or(""), r.CREDITS});
  }
  if (view.HasRow()) {
    if (auto name = view.ReadText(CatalogueField::NAMEFILE)) {
      for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].namefile == *name) current = static_cast<int>(i);
      }
    }
  }
  const int shown = VisibleRows();
  if (current >= 0) {
    if (current < top) top = current;
    if (current >= top + shown) top = current - shown + 1;
  }
  top = std::clamp(top, 0, std::max(0, static_cast<int>(lines.size()) - shown));
}

void DrawGameListGrid(QImage* screen, const GameListGrid& grid) {
  const QRect r = grid.rect;
  QPainter g(screen);
  g.setRenderHint(QPainter::TextAntialiasing);
  g.setClipRect(r);
  g.fillRect(r, grid.color);

  const QColor ink(0x10, 0x0C, 0x28);
  const QColor rule = grid.color.darker(125);
  const QRect header(r.x(), r.y(), r.width(), kHeaderHeight);
  const int creditsLeft = r.right() + 1 - kCreditsWidth;

  // Header: the column captions on the theme's dark glass.
  g.fillRect(header, QColor(0x14, 0x12, 0x3A));
  g.fillRect(QRect(header.x(), header.bottom(), header.width(), 1), QColor(0x27, 0xD7, 0xFF));
  g.setFont(GridFont(13));
  g.setPen(QColor(0xA8, 0xF0, 0xFF));
  g.drawText(QRect(header.x() + 6, header.y(), creditsLeft - header.x() - 10, kHeaderHeight),
             Qt::AlignVCenter | Qt::AlignLeft, grid.titleCaption);
  g.drawText(QRect(creditsLeft, header.y(), kCreditsWidth - 6, kHeaderHeight),
             Qt::AlignVCenter | Qt::AlignRight, grid.creditsCaption);

  const QFont font = GridFont(kFontPx);
  g.setFont(font);
  const QFontMetrics fm(font);
  const int shown = grid.VisibleRows();
  for (int k = 0; k < shown; ++k) {
    const int i = grid.top + k;
    const QRect row(r.x(), r.y() + kHeaderHeight + k * kRowHeight, r.width(), kRowHeight);
    g.fillRect(QRect(row.x(), row.bottom(), row.width(), 1), rule);
    if (i >= static_cast<int>(grid.lines.size())) continue;
    const GameListGrid::Line& line = grid.lines[i];
    QColor text = ink;
    if (i == grid.current) {
      // The selected row: the theme's magenta in the active list, a dark bar in the other.
      const QColor bar = grid.focused ? QColor(0xC8, 0x1E, 0x8C) : QColor(0x3A, 0x3E, 0x52);
      g.fillRect(row.adjusted(0, 0, 0, -1), bar);
      text = Qt::white;
    }
    g.setPen(text);
    const QRect name(row.x() + 6, row.y(), creditsLeft - row.x() - 10, kRowHeight);
    g.drawText(name, Qt::AlignVCenter | Qt::AlignLeft,
               fm.elidedText(QString::fromStdString(line.title), Qt::ElideRight, name.width()));
    g.drawText(QRect(creditsLeft, row.y(), kCreditsWidth - 6, kRowHeight),
               Qt::AlignVCenter | Qt::AlignRight,
               line.credits ? QString::number(*line.credits) : QString());
  }
  g.fillRect(QRect(creditsLeft - 1, r.y() + kHeaderHeight, 1, r.height() - kHeaderHeight), rule);
  // A scroll mark when the list is longer than the grid.
  const int n = static_cast<int>(grid.lines.size());
  if (n > shown) {
    const int track = r.height() - kHeaderHeight - 4;
    const int h = std::max(8, track * shown / n);
    const int y = r.y() + kHeaderHeight + 2 + (track - h) * grid.top / std::max(1, n - shown);
    g.fillRect(QRect(r.right() - 3, y, 3, h), grid.color.darker(170));
  }
}

}  // namespace cs
