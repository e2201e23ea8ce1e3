#pragma once
// Automatic game rotation at start-up: when the chosen period has passed since the last
// rotation, the ten least played games in use are retired (GROUP "GR2", COINS := the rotation
// generation iUpLevel) and ten available games, those retired longest ago first, come back
// (GROUP "GR1", CREDITS 0). The same routine opens the main window's view `Tb` at every start.
//
// Main thread, during start-up, before any other view of the catalogue is open.
#include <cstdint>
#include <optional>

#include "frontend/counters.h"
#include "platform/clock.h"

namespace cs {

class CatalogueView;
class DriveMap;

// The period of iUpdatePer in days (1: 30, 2: 45, 3: 60, 4: 90); nullopt for any other value,
// which never rotates.
std::optional<int> RotationPeriodDays(std::int32_t iUpdatePer);

// True when rotation is on (iUpdate 1), the period is defined and `today` minus DtUpdate is at
// least the period.
bool RotationDue(const Counters& c, Date today);

// Opens `Tb` (its file set by the caller) filtered to the games in use; rotates when due
// (DtUpdate := today, iUpLevel + 1); leaves `Tb` open, filtered to the games in use, with the
// index iCredits, on its last row; then SaveCounters, whether or not it rotated.
//
// The retirement touches only rows that exist (fewer than ten games in use: all of them) and
// the bring-back ends at the last row of the table (fewer than ten available: all of them);
// no row is ever added. The whole exchange is one transaction of the catalogue, so a power cut
// leaves the catalogue before or after the rotation, never half rotated.
//
// False when start-up must stop here: the catalogue cannot be opened, a write of the rotation
// failed (the catalogue and the counters are then as before), or SaveCounters failed. The reason
// has been shown (ShowMessageBox) and logged.
bool RotateGames(const DriveMap& map, const Clock& clock, Counters* c, CatalogueView* Tb);

}  // namespace cs
