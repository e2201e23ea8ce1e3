#pragma once
// The parts of the main window drawn over its skin, and the composition of the whole window into
// one picture (what the cabinet's monitor shows and what a screenshot saves):
//   - `Panel1`: the black preview surface with the current video frame in its display rectangle;
//   - `ZsCredits`: the seven-segment credit counter;
//   - `Pb1`: the LED loading bar.
#include <QImage>
#include <QPoint>
#include <QRect>

class QPainter;
#include <string>

namespace cs {

struct PreviewPanel {
  QRect rect{250, 70, 340, 300};
  bool visible = true;
  QImage frame;     // the player's frame, already at frameRect's size
  QRect frameRect;  // inside the panel
};

// A seven-segment label of `digits` characters. A caption longer than that keeps every digit:
// the label grows to the right by whole cells while it fits on the 640-pixel screen, and its
// cells narrow beyond that, so 150 credits read "150", never "50".
struct SegmentLabel {
  QPoint pos{563, 440};
  int digits = 2;
  int cellWidth = 21;
  int height = 30;
  std::string caption = "00";
  bool visible = true;
  // The rectangle the caption covers.
  QRect Bounds(int screenWidth = 640) const;

  // The picture of the last caption drawn (drawing text is the costly part of a repaint).
  mutable QImage cache_;
  mutable std::string cache_key_;
};

struct LedBar {
  QRect rect{310, 160, 250, 22};  // between PLEASE WAIT and the player badges
  int min = 0, max = 100, position = 0;
  bool visible = false;
  std::string unit = "% Loading";
};

void DrawPreviewPanel(QPainter& g, const PreviewPanel& p);
void DrawSegmentLabel(QPainter& g, const SegmentLabel& l);
void DrawLedBar(QPainter& g, const LedBar& b);

// Paints the part `area` of the window: the skin canvas, then the parts over it.
void PaintScreen(QPainter& g, const QRect& area, const QImage& skinCanvas,
                 const PreviewPanel& panel, const SegmentLabel& credits, const LedBar& bar);

// The main window as one picture: size w x h, black outside the skin's 640 x 480 canvas.
QImage ComposeScreen(const QImage& skinCanvas, const PreviewPanel& panel,
                     const SegmentLabel& credits, const LedBar& bar, int w = 650, int h = 480);

}  // namespace cs
