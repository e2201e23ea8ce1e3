#pragma once

// Screens of the menu put together from the pictures the way the cabinet shows them, for
// judging the art by eye without the program.

#include <QImage>
#include <QString>
#include <QStringList>
#include <vector>

#include "menu_art.h"

namespace cs::skinart {

// The names of the scenes RenderPreview knows.
QStringList PreviewScenes();

// The 640 x 480 screen of one scene; throws std::invalid_argument for an unknown scene.
QImage RenderPreview(const std::vector<SkinPicture>& pictures, const QString& scene);

}  // namespace cs::skinart
