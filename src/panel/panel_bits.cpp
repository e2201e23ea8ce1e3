#include "panel/panel_bits.h"

#include "platform/drive_map.h"

namespace cs {

std::optional<int> PanelBitByName(std::string_view name) {
  for (int i = 0; i < 32; ++i) {
    const std::string_view n = kPanelSwitches[i].name;
    if (!n.empty() && EqualsNoCase(n, name)) return i;
  }
  if (name.size() >= 4 && name.size() <= 5 && EqualsNoCase(name.substr(0, 3), "bit")) {
    int bit = 0;
    for (char c : name.substr(3)) {
      if (c < '0' || c > '9') return std::nullopt;
      bit = bit * 10 + (c - '0');
    }
    if (bit < 32) return bit;
  }
  return std::nullopt;
}

}  // namespace cs
