#include "tvout/display_mode.h"

#include <charconv>

namespace cs::tvout {

namespace {

std::optional<int> Number(std::string_view text, int lo, int hi) {
  if (text.empty() || text.size() > 5) return std::nullopt;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
  }
  int v = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (ec != std::errc() || end != text.data() + text.size() || v < lo || v > hi) {
    return std::nullopt;
  }
  return v;
}

}  // namespace

std::optional<DisplayMode> ParseDisplayMode(std::string_view text) {
  const auto x1 = text.find('x');
  if (x1 == std::string_view::npos) return std::nullopt;
  const auto x2 = text.find('x', x1 + 1);
  if (x2 == std::string_view::npos || text.find('x', x2 + 1) != std::string_view::npos) {
    return std::nullopt;
  }
  const auto w = Number(text.substr(0, x1), 1, 4096);
  const auto h = Number(text.substr(x1 + 1, x2 - x1 - 1), 1, 4096);
  const auto b = Number(text.substr(x2 + 1), 4, 32);
  if (!w || !h || !b || (*b != 4 && *b != 8 && *b != 16 && *b != 32)) return std::nullopt;
  return DisplayMode{*w, *h, *b};
}

std::string ToString(const DisplayMode& m) {
  return std::to_string(m.width) + "x" + std::to_string(m.height) + "x" + std::to_string(m.bpp);
}

const std::vector<DisplayMode>& CommonModes() {
  static const std::vector<DisplayMode> modes = [] {
    std::vector<DisplayMode> m = {{320, 240, 8}, {640, 480, 4}};
    for (int bpp : {8, 16, 32}) {
      for (auto [w, h] : {std::pair{640, 480}, {800, 600}, {1024, 768}, {1280, 1024}}) {
        m.push_back({w, h, bpp});
      }
    }
    m.push_back({1600, 1200, 8});
    return m;
  }();
  return modes;
}

}  // namespace cs::tvout
