#pragma once
// The CRTC timing engine: turns the display mode the driver has just set into PAL or NTSC
// television timings (about 15.6 kHz lines, 50 or 60 fields, optionally interlaced) by
// rewriting CRTC, sequencer, clock and chip-specific extended registers through PortIo; and the
// ATI pixel clock and display FIFO steps it needs for ATI cards.
//
// The engine reads the width and height of the current mode back from the controller and picks
// a row of the selected standard's tables; it never changes the resolution and never switches
// back to VGA (the display driver does that on a mode reset, display_control.h).
//
// Main (user-interface) thread only; every operation is synchronous.
#include <cstdint>
#include <optional>

#include "tvout/ati_clock.h"
#include "tvout/display_control.h"
#include "tvout/port_io.h"
#include "tvout/timing_tables.h"

namespace cs::tvout {

// Chipset codes.
inline constexpr std::uint8_t kChipIbm = 1;
inline constexpr std::uint8_t kChipRealtek = 2;
inline constexpr std::uint8_t kChipS3 = 3;
inline constexpr std::uint8_t kChipCirrus = 4;
inline constexpr std::uint8_t kChipTseng = 5;
inline constexpr std::uint8_t kChipSeven = 7;  // no list entry; reachable through a stored setting
inline constexpr std::uint8_t kChipAti = 8;
inline constexpr std::uint8_t kChipIntel = 9;
inline constexpr std::uint8_t kChipUmc = 12;
inline constexpr std::uint8_t kChipWd = 13;
inline constexpr std::uint8_t kChipSis = 14;
inline constexpr std::uint8_t kChipOak = 20;
inline constexpr std::uint8_t kChipTrident = 60;

// The engine's settings, set by the TV-out window and the chipset identification.
struct EngineSettings {
  std::uint8_t Chipset = 0;
  std::uint16_t Model = 0;
  std::uint16_t IOBase = 0;
  std::uint8_t TVModeOn = 0;
  std::uint8_t StandardCode = 0;
  std::uint16_t FieldLines = 313;
  std::uint8_t Interlaced = 1;
  std::uint8_t Polarity = 0x33;
  std::uint16_t OddOrEvenSyncSize = 0;
  HorzTableT HorzTable{};
  VertTableT VertTable{};
};

// Copies a standard's tables and field lines (PAL: code 99, 313 lines; NTSC: 100, 263) into the
// settings and sets StandardCode. TVModeOn is left alone.
void LoadStandard(EngineSettings* settings, std::uint8_t standardCode);

// Opens the chip's extended registers (and clears the CRTC write protection), as every apply
// does first.
void UnlockChipset(PortIo& io, const EngineSettings& settings);

// Values one apply computes, kept for the centering operations until the next apply.
struct StoredTimings {
  std::uint8_t HTotalReg = 0;
  std::uint8_t HDispEnd = 0;
  std::uint8_t HBlankStart = 0;
  std::uint8_t HBlankEnd = 0;
  std::uint8_t HSyncStart = 0;
  std::uint8_t HSyncEnd = 0;
  std::uint16_t VDispEnd = 0;
  std::uint16_t VBlankStart = 0;
  std::uint16_t VSyncStart = 0;
  std::uint16_t VSyncEnd = 0;
  std::uint16_t VBlankEnd = 0;
  std::uint16_t VTotalReg = 0;
};

// What the last ApplyTVTimings did (for reports; the design keeps none of it).
struct ApplyReport {
  bool programmed = false;  // the apply ran (TV mode on, a standard loaded)
  std::optional<int> row;   // the horizontal row, when the width matched one
  std::optional<std::uint16_t> ClockCode;
  int displayedLines = 0;        // the line count read back from the controller
  bool verticalWritten = false;  // the line count matched a pair of the vertical table
};

class VideoEngine {
 public:
  // `display` (may be null) is told before every apply that programs TV timings.
  explicit VideoEngine(PortIo& io, DisplayControl* display = nullptr);
  void SetDisplayControl(DisplayControl* display) { display_ = display; }

  EngineSettings settings;
  AtiClockInfo ati;
  StoredTimings timings;

  // Reprograms the current mode to the selected standard; does nothing unless TVModeOn is 1.
  void ApplyTVTimings();
  const ApplyReport& lastApply() const { return report_; }

  // The steps of an apply, public for the TV-out window and for tests.
  void UnlockChipset() { cs::tvout::UnlockChipset(io_, settings); }
  void WriteHorizontalRegs();
  void WriteVerticalRegs();

  // Centering ("Shift output right/left", "Scroll output up/down"). Each does nothing while TV
  // mode is off, and nothing for a direction the last apply did not program.
  void ShiftRight();
  void ShiftLeft();
  void ScrollUp();
  void ScrollDown();

  // ATI: reads the clock parameters from the video BIOS and chooses the dividers for
  // 28.322 MHz (called when ATI is selected); programs the synthesiser for a ClockCode and then
  // the display FIFO (the clock step of an apply); recomputes the display FIFO.
  void ReadAtiClockInfo();
  void ProgramAtiClock(std::uint16_t clockCode);
  void ProgramAtiFifo();

 private:
  bool TablesEmpty() const;
  void ProgramHorizontal();
  void ProgramVertical();
  int DisplayedLines();
  std::uint16_t ReadOffset();
  void WriteOffset(std::uint16_t offset);
  void Interlace(int* lines, std::uint16_t* offset, std::uint8_t halfLine);
  std::uint16_t RuleB() const;
  void ClockStep(std::uint16_t clockCode);
  void ChipStepBeforeClock(std::uint16_t* clockCode);
  void ChipStepAfterClock(std::uint16_t clockCode, std::uint8_t* misc);
  void TridentClock(std::uint16_t* clockCode);
  void S3CodeAdjust(std::uint16_t* clockCode);
  void CirrusClock(std::uint8_t* misc);
  void ModifyTridentSr0e(std::uint8_t keep, std::uint8_t set);
  void WriteIndexed16(std::uint16_t port, std::uint8_t index, std::uint8_t value);
  std::uint16_t AtiPort(std::uint8_t offset) const {
    return static_cast<std::uint16_t>(settings.IOBase + offset);
  }
  std::uint8_t AtiPll(std::uint8_t index, std::uint8_t keep, std::uint8_t set);

  PortIo& io_;
  DisplayControl* display_;
  ApplyReport report_;
  std::optional<int> lines_;  // the displayed line count, read once per apply
  bool horizontal_valid_ = false;
  bool vertical_valid_ = false;
  std::uint8_t DoubleVertical = 0;
};

}  // namespace cs::tvout
