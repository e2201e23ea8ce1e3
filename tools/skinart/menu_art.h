#pragma once

// The pictures of the menu skin, drawn from scratch.

#include <QImage>
#include <QString>
#include <vector>

namespace cs::skinart {

struct SkinPicture {
  QString name;  // the picture's name in the skin's [Images] section
  QString file;  // its file name in the skin folder
  QImage image;
};

// Every picture of the menu skin, in [Images] order. Throws std::runtime_error when a font is
// missing.
std::vector<SkinPicture> DrawMenuPictures();

// The picture of that name; throws std::out_of_range when there is none.
const QImage& PictureNamed(const std::vector<SkinPicture>& pictures, const QString& name);

// Colours the program and the preview need to agree with the art.
inline constexpr const char* kSlotTitleColour = "#FFF0C8";
inline constexpr const char* kCounterColour = "#FFB21E";

}  // namespace cs::skinart
