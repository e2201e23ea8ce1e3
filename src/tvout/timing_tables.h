#pragma once
// The television timing tables: per standard a horizontal table of 16 rows (blanking start,
// sync start, sync width, blanking width, total; character clocks) and a vertical table of 10
// pairs (displayed lines per field, sync start line). The 320-line pair ends the lookup.
#include <array>
#include <cstdint>

namespace cs::tvout {

using HorzRow = std::array<std::uint8_t, 5>;
using HorzTableT = std::array<HorzRow, 16>;
struct VertPair {
  std::uint16_t lines;
  std::uint16_t syncLine;
};
using VertTableT = std::array<VertPair, 10>;

inline constexpr std::uint8_t kStandardPal = 99;
inline constexpr std::uint8_t kStandardNtsc = 100;

extern const HorzTableT PALHorz;
extern const HorzTableT NTSCHorz;
extern const VertTableT PALVert;
extern const VertTableT NTSCVert;

}  // namespace cs::tvout
