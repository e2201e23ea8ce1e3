#pragma once
// Desktop modes a display driver sets, and the common ones the simulated driver offers.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace cs::tvout {

struct DisplayMode {
  int width = 640;
  int height = 480;
  int bpp = 8;
  friend bool operator==(const DisplayMode&, const DisplayMode&) = default;
};

// "WxHxBPP", for example "640x480x16". Strict: decimal digits only, no blanks, each number in
// range (width and height 1-4096, bpp 4, 8, 16 or 32); nullopt otherwise.
std::optional<DisplayMode> ParseDisplayMode(std::string_view text);
std::string ToString(const DisplayMode& mode);

// 320x240 double-scanned, 640x480, 800x600, 1024x768 and 1280x1024 at 8, 16 and 32 bits per
// pixel, 1600x1200 at 8, and the standard VGA's own 640x480 at 4 (16 colours).
const std::vector<DisplayMode>& CommonModes();

}  // namespace cs::tvout
