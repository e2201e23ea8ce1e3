#pragma once
// The counters and settings file CALC.INI (section "DUZER" in c:\windows): the credit balance,
// the coin book-keeping counters, the price, the volume, the video output mode and the rotation
// settings, and the play count of the launched game.
//
// Main thread only: only the main window reads or writes the file.
#include <cstdint>

#include "platform/clock.h"

namespace cs {

class CatalogueView;
class DriveMap;

// The main window's fields that mirror CALC.INI, with the defaults of a missing key.
struct Counters {
  std::int32_t iSysCounter = 0;   // lifetime coin counter
  std::int32_t iUserCounter = 0;  // resettable coin counter
  std::int32_t iCredits = 0;      // credit balance
  std::int32_t iCoinCredits = 1;  // price: 1..5 (3 coins per credit .. 3 credits per coin)
  std::int32_t iParCredits = 1;   // coins counted toward the next credit
  std::int32_t iKhz15 = 0;        // video output: 0 VGA, 1 PAL, 2 NTSC
  std::int32_t iVolume = 5;       // master volume 0..20
  std::int32_t iUpdate = 1;       // rotation: 1 automatic, 2 manual
  std::int32_t iUpdatePer = 1;    // rotation period: 1..4 = 30, 45, 60, 90 days
  Date DtUpdate{1999, 1, 1};      // date of the last rotation
  std::int32_t iUpLevel = 1;      // rotation generation number
  // Not stored: the coin arithmetic step derived from iCoinCredits (SetCoinStep).
  std::int32_t CoinStep = 0;
};

// The section and the names the reader and the writer use for the file in c:\windows (one file:
// names are matched without case, and a write keeps the existing file's name).
inline constexpr const char* kCountersSection = "DUZER";
inline constexpr const char* kCountersReadName = "CALC.INI";
inline constexpr const char* kCountersWriteName = "CALC.ini";

// CoinStep from iCoinCredits: 1 -> -2, 2 -> -1, 3 -> 0, 4 -> 1, 5 -> 3; any other price leaves
// CoinStep as it is.
void SetCoinStep(Counters* c);

// Reads CALC.INI into `c` in the file's key order (iSysCounter, iUserCounter, iCredits,
// iCoinCredits, iParCredits, iKhz15, iVolume, then CoinStep, iUpdate, iUpdatePer, DtUpdate,
// iUpLevel). A missing file, section or key, or a value that is not a number (not a dd/mm/yyyy
// date for DtUpdate), gives that key's default. Never fails.
void LoadCounters(const DriveMap& map, Counters* c);

// Writes every key in the same order (DtUpdate as dd/mm/yyyy), keeping the file's other lines,
// as one atomic, durable replacement of the file; then sets CoinStep. On failure the file is
// left whole as it was, "Unable to write to CALC.ini" is shown (ShowMessageBox), CoinStep is
// not set and the result is false: the calling handler ends there.
bool SaveCounters(const DriveMap& map, Counters* c);

// Counts a play of the game on the current row of `Tb` (the row the launch left it on):
// SaveCounters; edit the row; CREDITS := CREDITS + 1, where an empty (NULL) count reads as 0 so
// it becomes 1, and a count that cannot be read as an integer restarts at 0; post; SaveCounters
// again. False when a step fails, and the steps after it are not run: a failed save has shown
// its box, a failed edit or post (no current row, a write error) writes a log line.
bool CountPlay(const DriveMap& map, Counters* c, CatalogueView* Tb);

}  // namespace cs
