// libFuzzer target: any byte stream through the frame cutter and the decoder. The first byte sets
// the game-running flag, the forwarding stage and the exit remap; every result is checked
// against what the wire format allows.
#include <cstddef>
#include <cstdint>

#include "panel/frame_cutter.h"
#include "panel/panel_bits.h"
#include "panel/panel_decoder.h"
#include "platform/message_target.h"

namespace {

bool KnownInputCode(std::int32_t c) {
  if (c == cs::kCodeServiceInGame) return true;
  for (const auto& s : cs::kPanelSwitches) {
    if (s.code != cs::kNoCode && s.code == c) return true;
  }
  return false;
}

class CheckingSink final : public cs::PanelSink {
 public:
  int coin1 = 0, coin2 = 0;
  void Post(std::uint32_t msg, std::int32_t wParam, std::int32_t lParam) override {
    if (msg == cs::WM_PANEL_INPUT) {
      if (!KnownInputCode(wParam) || (lParam != cs::kHeld && lParam != cs::kEvent)) {
        __builtin_trap();
      }
      if (wParam == cs::kCodeCoin1) ++coin1;
      if (wParam == cs::kCodeCoin2) ++coin2;
    } else if (msg == cs::WM_PANEL_COMMAND) {
      if (wParam != cs::kCommandFromPanel) __builtin_trap();
      switch (lParam) {
        case 1:
        case 2:
        case 3:
        case 200:
        case 203:
        case 205:
        case 208:
          break;
        default:
          __builtin_trap();
      }
    } else {
      __builtin_trap();
    }
  }
  void SendMask(std::uint32_t mask) override {
    if ((mask & ~cs::kMaskForwardBits) != 0) __builtin_trap();
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  cs::PanelFields fields;
  const bool running = (data[0] & 1) != 0;
  fields.ForwardStage = (data[0] >> 1) & 3;
  fields.ExitRemap = (data[0] >> 3) & 1;
  cs::CoinLatches latches;
  cs::FrameCutter cutter;
  CheckingSink sink;
  bool coin1Was = false, coin2Was = false;
  for (std::size_t i = 1; i < size; ++i) {
    const auto word = cutter.Feed(data[i]);
    if (!word) continue;
    const int c1 = sink.coin1, c2 = sink.coin2;
    cs::DecodeFrame(*word, running, latches, fields, sink);
    // A coin is reported exactly when its switch goes from released to pressed.
    const bool coin1 = (*word & 1u) == 0, coin2 = (*word & (1u << 12)) == 0;
    if (sink.coin1 - c1 != (coin1 && !coin1Was ? 1 : 0)) __builtin_trap();
    if (sink.coin2 - c2 != (coin2 && !coin2Was ? 1 : 0)) __builtin_trap();
    coin1Was = coin1;
    coin2Was = coin2;
    if (fields.LastMask != 0 &&
        (static_cast<std::uint32_t>(fields.LastMask.load()) & ~cs::kMaskChangeBits) != 0) {
      __builtin_trap();
    }
  }
  return 0;
}
