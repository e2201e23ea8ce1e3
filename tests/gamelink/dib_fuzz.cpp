// Fuzz target: a shared frame block as a hostile or half-written emulator may leave it (the
// input, zero-padded or cut to 2844 bytes), through one comparison pass.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "gamelink/screen_check.h"
#include "platform/virtual_event_loop.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static cs::VirtualEventLoop loop;
  static cs::TFrmCheck check(loop, "/nonexistent", "/nonexistent");
  std::array<std::uint8_t, cs::kSharedFrameSize> frame{};
  std::memcpy(frame.data(), data, std::min(size, frame.size()));
  // The last input byte picks the compared block size, as odd ".xy" files could.
  const int side = size > 0 ? data[size - 1] % 24 - 2 : 10;
  for (auto& c : check.Capture) c.SetSize(side, side);
  cs::GameFlags flags;
  const bool drawn = cs::ComparisonPass(frame, check, flags);
  std::array<std::uint8_t, cs::kDibHeaderSize> h;
  std::memcpy(h.data(), frame.data() + cs::kDibHeaderOffset, h.size());
  const auto layout = cs::CheckDibHeader(cs::ParseDibHeader(h));
  if (drawn != layout.has_value()) std::abort();
  if (layout && layout->stride * static_cast<std::size_t>(layout->height) > cs::kBlockSize) {
    std::abort();
  }
  return 0;
}
