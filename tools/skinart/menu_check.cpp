#include "menu_check.h"

#include <QRect>
#include <string>

#include "menu_layout.h"
#include "paint_kit.h"

namespace cs::skinart {
namespace {

// A glow may fade into the border by a few levels; anything more reads as an edge on screen.
constexpr int kEdgeTolerance = 8;
constexpr int kEdgeBand = 3;

struct ObjectImages {
  const char* object;
  QRect place;
  std::vector<Shown> images;
};

std::vector<ObjectImages> ScriptedObjects() {
  return {
      {"BT_LEFT", kBtLeft, {kLeftNormal, kLeftPressed}},
      {"BT_RIGHT", kBtRight, {kRightInitial, kRightNormal, kRightPressed}},
      {"TOPTEN", kTopTen, {kTopTenOn, kTopTenOff}},
      {"TOPTENDN", kTopTenDn, {kTopTenDnOn, kTopTenDnOff}},
      {"PAGE", kPage, {kPageDigits[0], kPageDigits[1], kPageDigits[2], kPageDigits[3]}},
      {"MSG",
       kMsg,
       {kMsgBlank, kMsgInsertCoin, kMsgCoinDown, kMsgStartGlow, kMsgStartPlain, kMsgHidden}},
      {"WAIT", kWait, {kWaitBright, kWaitDim, kWaitCleared}},
      {"PLAYER", kPlayer, {kPlayerTwo, kPlayerOne}},
      {"P1", kP1, {kP1Mark}},
  };
}

std::string Describe(const char* object, const Shown& shown) {
  return std::string(object) + " showing " + shown.picture.toStdString() + "(" +
         std::to_string(shown.rect.x1) + "," + std::to_string(shown.rect.y1) + "," +
         std::to_string(shown.rect.x2) + "," + std::to_string(shown.rect.y2) + ")";
}

std::string At(int difference, QPoint where) {
  return "(difference " + std::to_string(difference) + " at " + std::to_string(where.x()) + "," +
         std::to_string(where.y()) + ")";
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

std::vector<std::string> CheckMenuPictures(const std::vector<SkinPicture>& pictures) {
  std::vector<std::string> faults;
  const QImage& qdup = PictureNamed(pictures, "QDUP");
  auto shown_on = [&](const QImage& screen, const QRect& place, const Shown& shown) {
    QImage result = screen.copy();
    ShowInto(&result, place, PictureNamed(pictures, shown.picture), shown.rect);
    return result;
  };

  for (const ObjectImages& object : ScriptedObjects()) {
    for (const Shown& first : object.images) {
      const QImage once = shown_on(qdup, object.place, first);
      QPoint at;
      const int edge = EdgeDifference(once, qdup, object.place, &at);
      if (edge > kEdgeTolerance) {
        faults.push_back(Describe(object.object, first) + " leaves an edge " + At(edge, at));
      }
      for (const Shown& second : object.images) {
        const QImage twice = shown_on(once, object.place, second);
        const QImage alone = shown_on(qdup, object.place, second);
        const int stale = MaxDifference(twice, alone, object.place, &at);
        if (stale > 0) {
          faults.push_back(Describe(object.object, second) + " after " +
                           Describe(object.object, first) + " keeps stale pixels " + At(stale, at));
        }
      }
    }
  }

  // Where two objects overlap (BUT_4 and BUT_5 share a row; the lower banner covers the top of
  // PAGE's last columns) every image of one must agree with every image of the other.
  std::vector<ObjectImages> all = ScriptedObjects();
  for (int i = 0; i < 10; ++i) {
    all.push_back({"BUT_n", SlotRect(i), {kSlotNormal, kSlotLit}});
  }
  for (size_t i = 0; i < all.size(); ++i) {
    for (size_t j = i + 1; j < all.size(); ++j) {
      const QRect common = all[i].place.intersected(all[j].place);
      if (common.isEmpty()) continue;
      for (const Shown& a : all[i].images) {
        for (const Shown& b : all[j].images) {
          QPoint at;
          const int d = MaxDifference(shown_on(qdup, all[i].place, a),
                                      shown_on(qdup, all[j].place, b), common, &at);
          if (d > 0) {
            faults.push_back(Describe(all[i].object, a) + " and " + Describe(all[j].object, b) +
                             " disagree where they overlap " + At(d, at));
          }
        }
      }
    }
  }

  const QImage right_initial = shown_on(qdup, kBtRight, kRightInitial);
  const QImage right_released = shown_on(qdup, kBtRight, kRightNormal);
  if (MaxDifference(right_initial, right_released, kBtRight) > 0) {
    faults.push_back("BT_RIGHT's first image differs from its released image");
  }

  for (int i = 0; i < 10; ++i) {
    const QRect slot = SlotRect(i);
    const QImage lit = shown_on(qdup, slot, kSlotLit);
    const QImage released = shown_on(lit, slot, kSlotNormal);
    QPoint at;
    const int stale = MaxDifference(released, qdup, qdup.rect(), &at);
    if (stale > 0) {
      faults.push_back("BUT_" + std::to_string(i + 1) + " lit and released differs from " +
                       "the background " + At(stale, at));
    }
    const QRect ring[] = {QRect(slot.left(), slot.top(), slot.width(), 1),
                          QRect(slot.left(), slot.bottom(), slot.width(), 1),
                          QRect(slot.left(), slot.top(), 1, slot.height()),
                          QRect(slot.right(), slot.top(), 1, slot.height())};
    for (const QRect& strip : ring) {
      if (MaxDifference(lit, qdup, strip) > 0) {
        faults.push_back("BUT_" + std::to_string(i + 1) +
                         " lit changes its outer ring, which the next slot may overlap");
        break;
      }
    }
  }
  return faults;
}

}  // namespace cs::skinart
