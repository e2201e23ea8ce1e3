#pragma once

// Checks that the operator skins' pictures show their design: every object showing its normal
// or lit rectangle at its place must give the designed screen, and every value picture must
// blend into the display it is shown in.

#include <string>
#include <vector>

#include "operator_art.h"

namespace cs::skinart {

// Empty when all is well; else one line per fault, naming the skin, the object and the worst
// pixel.
std::vector<std::string> CheckOperatorSkin(const QString& skin, const OperatorSkinArt& art);

// The screen as the skin engine draws it once every object shows its first image, with object
// lit (by index, -1 for none) showing its lit rectangle instead.
QImage ShowDesignedScreen(const OperatorSkinArt& art, int lit);

}  // namespace cs::skinart
