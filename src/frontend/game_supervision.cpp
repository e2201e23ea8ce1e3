// Supervision of a running game from the main window.
#include "frontend/main_window.h"

namespace cs {

void TDbgFrm::CoinDuringGame() {
  // The prompt and credit line inside the emulator's picture come with the emulator link.
}

void TDbgFrm::ExitRequest() {
  if (PlayState < 10) {
    GameFlags::Set(flags.MatchP1B1, false);
    GameFlags::Set(flags.MatchP2B1, false);
    PlayState = 10;
  } else if (PlayState == 10) {
    PlayState = 0;
    // The exit key sequence to the emulator comes with the emulator link.
  }
}

}  // namespace cs
