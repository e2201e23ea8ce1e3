#pragma once

// The pictures of the four operator skins (test menu, settings, input test, monitor test),
// drawn from scratch in the menu's theme, together with the screens as they are meant to look,
// which the checks compare the pictures with.

#include <QImage>
#include <QString>
#include <QStringList>
#include <vector>

#include "menu_art.h"
#include "operator_layout.h"

namespace cs::skinart {

// How a screen should look: with every lit object normal, and for each lit object the screen
// with that one lit (in the order of the objects).
struct ScreenDesign {
  std::vector<LitObject> objects;
  QString normal_picture;  // the picture the leave scripts show (also the background)
  QString lit_picture;     // the picture the hover scripts show
  QImage normal;
  std::vector<QImage> lit;
};

// A value object: a place on the screen and the picture rectangles shown on it.
struct ValueObject {
  const char* name;
  QRect place;
  QString picture;
  std::vector<PicRect> rects;
};

struct OperatorSkinArt {
  std::vector<SkinPicture> pictures;  // in [Images] order
  ScreenDesign design;
  std::vector<ValueObject> values;
};

// The operator skins skinart draws: "test", "settings", "inputs", "monitor".
QStringList OperatorSkins();

// Every picture of that skin and its design; throws std::invalid_argument for an unknown skin
// and std::runtime_error when a font is missing.
OperatorSkinArt DrawOperatorSkin(const QString& skin);

}  // namespace cs::skinart
