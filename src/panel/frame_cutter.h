#pragma once
// Cuts the controller's byte stream into frames: STX, four data bytes, ETX.
//
// The bytes 0x02 and 0x03 are never data: STX restarts the frame, ETX ends it and is ignored
// when fewer than four data bytes came. Only the first four data bytes of a frame count. The
// collected bytes stay after an ETX, so a further ETX before the next STX decodes the same four
// bytes again (the controller never sends that; line noise may).
#include <array>
#include <cstdint>
#include <limits>
#include <optional>

#include "panel/panel_bits.h"

namespace cs {

struct FrameCutter {
  std::array<std::uint8_t, 4> FrameText{};  // the first four data bytes since the last STX
  std::int32_t FrameCount = 0;              // data bytes since the last STX (stops counting high)

  // One received byte; the input word when it completes a frame.
  std::optional<std::uint32_t> Feed(std::uint8_t b) {
    if (b == kStx) {
      FrameCount = 0;
      return std::nullopt;
    }
    if (b == kEtx) {
      if (FrameCount < 4) return std::nullopt;
      return std::uint32_t{FrameText[0]} | std::uint32_t{FrameText[1]} << 8 |
             std::uint32_t{FrameText[2]} << 16 | std::uint32_t{FrameText[3]} << 24;
    }
    if (FrameCount < 4) FrameText[FrameCount] = b;
    if (FrameCount < std::numeric_limits<std::int32_t>::max()) ++FrameCount;
    return std::nullopt;
  }
};

}  // namespace cs
