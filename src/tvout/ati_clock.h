#pragma once
// ATI pixel clock and display FIFO: the arithmetic, separate from the register traffic so that
// the synthesiser dividers and the FIFO values can be checked (and fuzzed) on their own. The
// register steps are VideoEngine::ReadAtiClockInfo, ProgramAtiClock and ProgramAtiFifo.
#include <cstdint>
#include <optional>

namespace cs::tvout {

// The clock parameters of the engine (10 kHz units for frequencies).
struct AtiClockInfo {
  std::uint16_t RefFreq = 1432;
  std::uint16_t RefDiv = 31;
  std::uint16_t MemClock = 6300;
  std::uint8_t VClkPostDiv = 0;       // post divider for 28.322 MHz: 4, 2, 1, or 0 when none fits
  std::uint8_t VClkFeedback = 0;      // feedback divider for 28.322 MHz
  std::uint8_t EffectivePostDiv = 0;  // VClkPostDiv, doubled for a halved dot clock
  // The feedback divider programmed: VClkFeedback, or the 25.175 MHz one for 40/50 columns.
  std::uint8_t EffectiveFeedback = 0;
  std::uint8_t PllMultiplier = 0;  // 2 when synthesiser register 0x0B bit 3 is set, else 0
};

struct AtiDividers {
  std::uint8_t post = 0;
  std::uint8_t feedback = 0;
};

// Post and feedback dividers for a target clock (10 kHz units): the post divider starts at 4
// and is halved while post * x exceeds 255 (x = RefDiv * target / (RefFreq * 2)); the feedback
// divider is post * x rounded to the nearest integer, ties to even. A post divider of 0 means no
// divider fits (then the feedback divider is 0 too).
AtiDividers ComputeAtiDividers(std::uint16_t refFreq, std::uint16_t refDiv, double target10kHz);

// Bits per pixel of the pixel-width field (bits 0-2 of block register +0x1D); 0 for 0 and 7.
int AtiBitsPerPixel(std::uint8_t pixelWidthField);

struct AtiFifo {
  std::uint32_t config = 0;  // display FIFO configuration (+0x20 low half, +0x22 high half)
  std::uint32_t onOff = 0;   // display FIFO on/off points (+0x24)
  double x = 0;              // memory clocks per 64 bits of display data
  int precision = 0;
};

// The FIFO values for a pixel clock of
//   trunc(RefFreq * PllMultiplier * feedback / (RefDiv * postDiv))  (10 kHz units),
// a colour depth, the memory type field (+0xE4 bits 0-2) and the memory timing bytes (+0xB1,
// +0xB2). Empty when the computation has no defined result: a multiplier, post divider,
// reference divider, pixel clock or bit count of 0 (each a division by zero).
std::optional<AtiFifo> ComputeAtiFifo(std::uint16_t refFreq, std::uint16_t refDiv,
                                      std::uint16_t memClock, std::uint8_t pllMultiplier,
                                      std::uint8_t feedback, std::uint8_t postDiv, int bpp,
                                      std::uint8_t memType, std::uint8_t timingB1,
                                      std::uint8_t timingB2);

}  // namespace cs::tvout
