#pragma once
// The two game lists of the settings screen (`Grid1`, `Grid2`): read-only grids of a catalogue
// view with the columns title (NAMEGAME) and play count (CREDITS), drawn over the skin canvas.
// The list's colour is its state: yellow while it is the active list, gray otherwise. The row
// the view stands on is the grid's selected row, kept in sight by scrolling.
#include <QColor>
#include <QImage>
#include <QRect>
#include <QString>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace cs {

class CatalogueView;

inline const QColor kGridYellow(0xFF, 0xE0, 0x3A);
inline const QColor kGridGray(0x80, 0x84, 0x90);

struct GameListGrid {
  QRect rect;
  QString titleCaption;  // "Games in Use" / "Available Games"
  QString creditsCaption = QStringLiteral("Credits");
  QColor color = kGridGray;
  bool focused = false;

  struct Line {
    std::string namefile;
    std::string title;
    std::optional<std::int32_t> credits;
  };
  std::vector<Line> lines;  // the view's rows in its order
  int current = -1;         // the view's row among them, -1 when it stands on none
  int top = 0;              // first line shown

  // Reads the view's rows again and scrolls so that its current row is in sight.
  void Refresh(const CatalogueView& view);
  // Data rows that fit under the header.
  int VisibleRows() const;
};

void DrawGameListGrid(QImage* screen, const GameListGrid& grid);

}  // namespace cs
