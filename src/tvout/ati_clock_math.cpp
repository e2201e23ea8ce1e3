#include <algorithm>
#include <cmath>

#include "tvout/ati_clock.h"

namespace cs::tvout {

namespace {

// Truncation toward zero, held inside the 32-bit range (values from a garbled BIOS can be huge,
// NaN or negative: the register fields then get a defined, masked value instead of undefined
// behaviour).
std::int64_t Trunc(double v) {
  if (std::isnan(v)) return 0;
  constexpr double kLimit = 4294967295.0;
  if (v > kLimit) v = kLimit;
  if (v < -kLimit) v = -kLimit;
  return static_cast<std::int64_t>(std::trunc(v));
}

int BitLen(std::int64_t n) {
  if (n <= 0) return 1;
  int bits = 0;
  while (n > 0) {
    ++bits;
    n >>= 1;
  }
  return bits;
}

}  // namespace

AtiDividers ComputeAtiDividers(std::uint16_t refFreq, std::uint16_t refDiv, double target10kHz) {
  AtiDividers d;
  if (refFreq == 0) return d;
  const double x = refDiv * target10kHz / (refFreq * 2.0);
  int post = 4;
  while (post > 0 && post * x > 255.0) post >>= 1;
  d.post = static_cast<std::uint8_t>(post);
  if (post == 0) return d;
  // Round half to even (post * x <= 255 here).
  const double v = post * x;
  const double fl = std::floor(v);
  double r = fl;
  const double frac = v - fl;
  if (frac > 0.5 || (frac == 0.5 && std::fmod(fl, 2.0) != 0.0)) r = fl + 1.0;
  d.feedback = static_cast<std::uint8_t>(r);
  return d;
}

int AtiBitsPerPixel(std::uint8_t field) {
  static constexpr int kBpp[8] = {0, 4, 8, 16, 16, 24, 32, 0};
  return kBpp[field & 0x07];
}

std::optional<AtiFifo> ComputeAtiFifo(std::uint16_t refFreq, std::uint16_t refDiv,
                                      std::uint16_t memClock, std::uint8_t pllMultiplier,
                                      std::uint8_t feedback, std::uint8_t postDiv, int bpp,
                                      std::uint8_t memType, std::uint8_t timingB1,
                                      std::uint8_t timingB2) {
  if (pllMultiplier == 0 || postDiv == 0 || refDiv == 0 || bpp == 0) return std::nullopt;
  const std::int64_t v = (static_cast<std::int64_t>(refFreq) * pllMultiplier * feedback) /
                         (static_cast<std::int64_t>(refDiv) * postDiv);
  if (v == 0) return std::nullopt;
  const bool fastMemory = (memType & 0x07) >= 4;
  const int loopBase = fastMemory ? 8 : 6;
  const int pageTerm = fastMemory ? 1 : 2;

  AtiFifo f;
  f.x = (memClock * 64.0) / (static_cast<double>(bpp) * static_cast<double>(v));
  const int a = BitLen(Trunc(f.x));
  const int b = BitLen(Trunc(32.0 * f.x));
  int precision = std::max(a - 3, b - 5);
  precision = std::clamp(precision, 0, 7);
  f.precision = precision;
  const std::int64_t fifo = std::min<std::int64_t>(32, Trunc(std::ldexp(1.0, precision + 5) / f.x));
  const double off = static_cast<double>(fifo - 1) * f.x - 0.99999;

  const int t1 = timingB1 & 0x03;
  const int t2 = (timingB1 >> 2) & 0x03;
  const int t3 = (timingB1 >> 4) & 0x01;
  const int t4 = timingB2 & 0x07;
  const int r = std::max(t1 + t4 + 2, t1 + t2 + t3 + 2 + pageTerm);
  const double on = 3.0 * r + f.x + 2.99999;

  const auto xField = static_cast<std::uint32_t>(Trunc(std::ldexp(f.x, 11 - precision))) & 0xFFFF;
  f.config = xField | static_cast<std::uint32_t>(((loopBase + 2) & 0x0F) << 16) |
             static_cast<std::uint32_t>((precision & 7) << 20);
  const double scale = std::ldexp(1.0, 6 - precision);
  // Each point is a 16-bit half of the register; a runaway value must not spill into the other.
  const auto onField = static_cast<std::uint32_t>(Trunc(on * scale)) & 0xFFFF;
  const auto offField = static_cast<std::uint32_t>(Trunc(off * scale)) & 0xFFFF;
  f.onOff = onField << 16 | offField;
  return f;
}

}  // namespace cs::tvout
