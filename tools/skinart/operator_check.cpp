#include "operator_check.h"

#include "paint_kit.h"

namespace cs::skinart {
namespace {

// A glow may fade into a border by a few levels; anything more reads as an edge on screen.
constexpr int kTolerance = 8;
constexpr int kEdgeBand = 3;

std::string At(int difference, QPoint where) {
  return "(difference " + std::to_string(difference) + " at " + std::to_string(where.x()) + "," +
         std::to_string(where.y()) + ")";
}

std::string Rect(const PicRect& r) {
  return std::to_string(r.x1) + "," + std::to_string(r.y1) + "," + std::to_string(r.x2) + "," +
         std::to_string(r.y2);
}

int EdgeDifference(const QImage& a, const QImage& b, const QRect& place, QPoint* where) {
  const int w = place.width(), h = place.height(), e = kEdgeBand;
  int worst = 0;
  for (const QRect& strip :
       {QRect(place.left(), place.top(), w, e), QRect(place.left(), place.bottom() - e + 1, w, e),
        QRect(place.left(), place.top(), e, h), QRect(place.right() - e + 1, place.top(), e, h)}) {
    QPoint at;
    const int d = MaxDifference(a, b, strip, &at);
    if (d > worst) {
      worst = d;
      *where = at;
    }
  }
  return worst;
}

}  // namespace

QImage ShowDesignedScreen(const OperatorSkinArt& art, int lit) {
  const ScreenDesign& d = art.design;
  const QImage& normal = PictureNamed(art.pictures, d.normal_picture);
  const QImage& bright = PictureNamed(art.pictures, d.lit_picture);
  QImage screen = normal.copy();
  for (std::size_t i = 0; i < d.objects.size(); ++i) {
    const LitObject& o = d.objects[i];
    ShowInto(&screen, o.place, static_cast<int>(i) == lit ? bright : normal, o.rect);
  }
  return screen;
}

std::vector<std::string> CheckOperatorSkin(const QString& skin, const OperatorSkinArt& art) {
  std::vector<std::string> faults;
  const std::string name = skin.toStdString();
  const ScreenDesign& d = art.design;
  const QImage shown = ShowDesignedScreen(art, -1);
  QPoint at;
  const int off = MaxDifference(shown, d.normal, shown.rect(), &at);
  if (off > kTolerance) {
    faults.push_back(name + ": the screen with every object normal is not its design " +
                     At(off, at));
  }
  for (std::size_t i = 0; i < d.objects.size(); ++i) {
    const QImage lit = ShowDesignedScreen(art, static_cast<int>(i));
    const int diff = MaxDifference(lit, d.lit[i], lit.rect(), &at);
    if (diff > kTolerance) {
      faults.push_back(name + ": " + d.objects[i].name + " lit does not show its design " +
                       At(diff, at));
    }
  }
  for (const ValueObject& v : art.values) {
    const QImage& picture = PictureNamed(art.pictures, v.picture);
    for (const PicRect& r : v.rects) {
      QImage screen = shown.copy();
      ShowInto(&screen, v.place, picture, r);
      const int edge = EdgeDifference(screen, shown, v.place, &at);
      if (edge > kTolerance) {
        faults.push_back(name + ": " + v.name + " showing " + v.picture.toStdString() + "(" +
                         Rect(r) + ") leaves an edge " + At(edge, at));
      }
    }
  }
  return faults;
}

}  // namespace cs::skinart
