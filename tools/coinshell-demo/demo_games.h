#pragma once
// The demo cabinet's invented game titles and their catalogue rows.
#include <vector>

#include "catalogue/game_row.h"

namespace cs::demo {

// Sixty games: the first forty in use with varied play counts, the other twenty available,
// retired in earlier rotations (COINS 0 to 3). Deterministic: every demo is the same.
std::vector<GameRow> DemoGames();

// The rotation generation after the retirements above.
inline constexpr int kDemoUpLevel = 4;

}  // namespace cs::demo
