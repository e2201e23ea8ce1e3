// The register steps of the ATI pixel clock and display FIFO (the arithmetic is in
// ati_clock_math.cpp).
#include <string>

#include "platform/log.h"
#include "tvout/video_engine.h"

namespace cs::tvout {

namespace {

constexpr char kLog[] = "tvout";
constexpr double kDotClock28 = 2832.2;  // 28.322 MHz in 10 kHz units
constexpr double kDotClock25 = 2517.5;  // 25.175 MHz

std::uint16_t Low16(PortIo& io, std::uint32_t address) {
  std::uint32_t v = 0;
  io.GetPhysLong(address, &v);
  return static_cast<std::uint16_t>(v);
}

}  // namespace

void VideoEngine::ReadAtiClockInfo() {
  const std::uint16_t romTable = Low16(io_, 0xC0048);
  const std::uint16_t clockTable = Low16(io_, 0xC0010u + romTable);
  ati.RefFreq = Low16(io_, 0xC0008u + clockTable);
  ati.RefDiv = Low16(io_, 0xC000Au + clockTable);
  ati.MemClock = Low16(io_, 0xC0012u + clockTable);
  const AtiDividers d = ComputeAtiDividers(ati.RefFreq, ati.RefDiv, kDotClock28);
  ati.VClkPostDiv = d.post;
  ati.VClkFeedback = d.feedback;
  ati.EffectiveFeedback = d.feedback;
  if (d.post == 0) {
    LogDiag(kLog, "ATI clock table gives no divider for 28.322 MHz (reference " +
                      std::to_string(ati.RefFreq) + ", divider " + std::to_string(ati.RefDiv) +
                      ")");
  }
}

std::uint8_t VideoEngine::AtiPll(std::uint8_t index, std::uint8_t keep, std::uint8_t set) {
  io_.PortWrite8(AtiPort(0x91), static_cast<std::uint8_t>(index << 2 | 0x02));
  const auto value = static_cast<std::uint8_t>((io_.PortRead8(AtiPort(0x92)) & keep) | set);
  io_.PortWrite8(AtiPort(0x92), value);
  return value;
}

void VideoEngine::ProgramAtiClock(std::uint16_t clockCode) {
  // The dividers were chosen for 28.322 MHz. The 40- and 50-column rows are timed for
  // 25.175 MHz (clock select 0); on 28.322 MHz their lines would run at 17.5 kHz, so those get
  // dividers of their own.
  std::uint8_t post = ati.VClkPostDiv;
  std::uint8_t feedback = ati.VClkFeedback;
  if (((clockCode >> 8) & 0x03) == 0) {
    const AtiDividers d = ComputeAtiDividers(ati.RefFreq, ati.RefDiv, kDotClock25);
    post = d.post;
    feedback = d.feedback;
  }
  if (clockCode & 0x08) post = static_cast<std::uint8_t>(post * 2);
  ati.EffectivePostDiv = post;
  ati.EffectiveFeedback = feedback;
  if (post == 0 || feedback == 0) {
    // A feedback divider of 0 stops the synthesiser: keep the driver's clock instead.
    LogDiag(kLog, "ATI clock left as the driver set it: no usable divider");
    return;
  }
  std::uint8_t c = 0;
  while (c < 3 && (1u << c) < post) ++c;

  AtiPll(0x05, 0xF8, 0x07);
  AtiPll(0x06, 0x3F, static_cast<std::uint8_t>(c << 6));
  const std::uint8_t ext = AtiPll(0x0B, 0x7F, 0x00);
  ati.PllMultiplier = static_cast<std::uint8_t>((ext & 0x08) >> 2);
  io_.PortWrite8(AtiPort(0x91), static_cast<std::uint8_t>(0x0A << 2 | 0x02));
  io_.PortWrite8(AtiPort(0x92), feedback);
  AtiPll(0x05, 0xFB, 0x00);
  AtiPll(0x19, 0xF0, 0x00);
  io_.PortWrite8(AtiPort(0x90), 0x03);
  ProgramAtiFifo();
}

void VideoEngine::ProgramAtiFifo() {
  const int bpp = AtiBitsPerPixel(io_.PortRead8(AtiPort(0x1D)));
  const std::uint8_t memType = io_.PortRead8(AtiPort(0xE4)) & 0x07;
  const std::uint8_t b1 = io_.PortRead8(AtiPort(0xB1));
  const std::uint8_t b2 = io_.PortRead8(AtiPort(0xB2));
  const auto fifo =
      ComputeAtiFifo(ati.RefFreq, ati.RefDiv, ati.MemClock, ati.PllMultiplier,
                     ati.EffectiveFeedback, ati.EffectivePostDiv, bpp, memType, b1, b2);
  if (!fifo) {
    LogDiag(kLog, "ATI display FIFO left as it was: PLL multiplier " +
                      std::to_string(ati.PllMultiplier) + ", " + std::to_string(bpp) +
                      " bits per pixel, post divider " + std::to_string(ati.EffectivePostDiv));
    return;
  }
  const std::uint16_t low = io_.PortRead16(AtiPort(0x20));
  io_.PortWrite16(AtiPort(0x20),
                  static_cast<std::uint16_t>((low & 0x8000) | (fifo->config & 0xFFFF)));
  io_.PortRead16(AtiPort(0x22));
  io_.PortWrite16(AtiPort(0x22), static_cast<std::uint16_t>(fifo->config >> 16));
  io_.PortWrite32(AtiPort(0x24), fifo->onOff);
}

}  // namespace cs::tvout
