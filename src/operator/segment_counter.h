#pragma once
// The seven-segment counters of the operator screens (`ZsCredits`): eight amber digits over dim
// "8" ghosts, like an LED display. A caption longer than the label's digits keeps every
// character: the cells narrow to fit the label's rectangle.
#include <QImage>
#include <QRect>
#include <string>

namespace cs {

struct SegmentCounter {
  QRect rect;
  int digits = 8;
  std::string caption = "00000000";
  bool visible = true;
};

void DrawSegmentCounter(QImage* screen, const SegmentCounter& counter);

}  // namespace cs
