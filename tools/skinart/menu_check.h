#pragma once

// Checks that the drawn pictures fit the scripts that show them.

#include <string>
#include <vector>

#include "menu_art.h"

namespace cs::skinart {

// Every way in which showing a picture rectangle on its object would leave a visible edge or a
// stale strip of pixels: each image an object shows must blend into the background along the
// object's border, any image followed by any other must look the same as the other alone, and a
// slot lit and released must leave the screen as it was. Empty when all is well.
std::vector<std::string> CheckMenuPictures(const std::vector<SkinPicture>& pictures);

}  // namespace cs::skinart
