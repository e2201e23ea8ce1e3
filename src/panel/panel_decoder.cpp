#include "panel/panel_decoder.h"

#include "panel/panel_bits.h"
#include "platform/message_target.h"

namespace cs {

namespace {

constexpr auto kRelaxed = std::memory_order_relaxed;
constexpr int kCoin1Bit = 0;
constexpr int kCoin2Bit = 12;

bool Pressed(std::uint32_t word, int bit) { return ((word >> bit) & 1u) == 0; }

// Codes the exit remap leaves as they are.
bool KeepsItsCodeUnderExitRemap(std::int32_t code) {
  return code == kCodeStart1 || code == kCodeStart2 || code == kCodeCoin1 || code == kCodeCoin2 ||
         code == kCodeService;
}

void Coin(bool pressed, std::uint8_t& latch, std::int32_t code, PanelSink& sink) {
  if (!pressed) {
    latch = 0;
    return;
  }
  if (latch == 0) sink.Post(WM_PANEL_INPUT, code, kEvent);
  latch = 1;
}

}  // namespace

void DecodeFrame(std::uint32_t word, bool emulatorRunning, CoinLatches& latches,
                 PanelFields& fields, PanelSink& sink) {
  for (int i = 0; i < 32; ++i) {
    std::int32_t code = Pressed(word, i) ? kPanelSwitches[i].code : kNoCode;
    if (code == kNoCode) {
      if (i == kCoin1Bit) latches.CoinLatch1 = 0;
      if (i == kCoin2Bit) latches.CoinLatch2 = 0;
      continue;
    }
    if (fields.ExitRemap.load(kRelaxed) == 1) {
      if (!KeepsItsCodeUnderExitRemap(code)) code = kCodeExit;
      fields.ExitRemap.store(0, kRelaxed);
    }
    switch (code) {
      case kCodeExit:
        sink.Post(WM_PANEL_INPUT, kCodeExit, kHeld);
        sink.Post(WM_PANEL_COMMAND, kCommandFromPanel, kCodeExit);
        code = kNoCode;
        break;
      case kCodeStart1:
      case kCodeStart2:
        // The start rule: a start ends the frame; nothing behind it is reported and no mask is
        // forwarded. The coin-2 switch behind player 1's start is still read, or a coin dropped
        // while player 1 holds start would never be credited.
        if (emulatorRunning) {
          sink.Post(WM_PANEL_COMMAND, kCommandFromPanel, code);
        } else {
          sink.Post(WM_PANEL_INPUT, code, kHeld);
        }
        if (i < kCoin2Bit) {
          Coin(Pressed(word, kCoin2Bit), latches.CoinLatch2, kCodeCoin2, sink);
        }
        return;
      case kCodeCoin1:
        Coin(true, latches.CoinLatch1, kCodeCoin1, sink);
        code = kNoCode;
        break;
      case kCodeCoin2:
        Coin(true, latches.CoinLatch2, kCodeCoin2, sink);
        code = kNoCode;
        break;
      case kCodeUp:
      case kCodeLeft:
      case kCodeRight:
      case kCodeDown:
        sink.Post(WM_PANEL_COMMAND, kCommandFromPanel, code);
        break;
      case kCodeService:
        sink.Post(WM_PANEL_INPUT, emulatorRunning ? kCodeServiceInGame : kCodeService, kEvent);
        break;
      case kCodeVideoMode:
        sink.Post(WM_PANEL_INPUT, kCodeVideoMode, kEvent);
        code = kNoCode;
        break;
      default:
        break;
    }
    if (code != kNoCode) {
      sink.Post(WM_PANEL_INPUT, code, kHeld);
      fields.NoInputTicks.store(0, kRelaxed);
      fields.GameNoInputTicks.store(0, kRelaxed);
    }
  }

  const auto w = static_cast<std::int32_t>(word & kMaskChangeBits);
  if (w != fields.LastMask.load(kRelaxed)) {
    fields.LastMask.store(w, kRelaxed);
    if (fields.ForwardStage.load(kRelaxed) > 1) sink.SendMask(~word & kMaskForwardBits);
  }
}

}  // namespace cs
