#include "tvout/simulated_display_driver.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <functional>

#include "tvout/ati_clock.h"

namespace cs::tvout {

namespace {

using enum Bank;

constexpr double kCrystalMhz = 14.31818;

struct BaseTiming {
  int w, h;
  int hdisp, hfront, hsync, hback;
  int vdisp, vfront, vsync, vback;  // scan lines (a double-scanned mode shows each row twice)
  double mhz;
  bool hneg, vneg, doubleScan;
};

// VESA timings at 60 Hz; 1600x1200 with reduced blanking so that it fits the 8-bit horizontal
// registers of most chips.
constexpr BaseTiming kTimings[] = {
    {320, 240, 320, 8, 48, 24, 480, 10, 2, 33, 12.5875, true, true, true},
    {640, 480, 640, 16, 96, 48, 480, 10, 2, 33, 25.175, true, true, false},
    {800, 600, 800, 40, 128, 88, 600, 1, 4, 23, 40.0, false, false, false},
    {1024, 768, 1024, 24, 136, 160, 768, 3, 6, 29, 65.0, true, true, false},
    {1280, 1024, 1280, 48, 112, 248, 1024, 1, 3, 38, 108.0, false, false, false},
    {1600, 1200, 1600, 48, 32, 80, 1200, 3, 4, 28, 130.25, false, true, false},
};

std::string Fmt(double mhz) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.3f MHz", mhz);
  return buf;
}

// The best setting of a synthesiser: calls f(params...) over the ranges, keeps the closest.
struct PllChoice {
  int a = 0, b = 0, c = 0;
  double mhz = 0;
};
std::optional<PllChoice> SearchPll(double target, int aMax, int bMax, int cMax,
                                   const std::function<double(int, int, int)>& f,
                                   const std::function<bool(int, int, int)>& valid = {}) {
  PllChoice best;
  double bestErr = 1e9;
  for (int a = 0; a <= aMax; ++a) {
    for (int b = 0; b <= bMax; ++b) {
      for (int c = 0; c <= cMax; ++c) {
        if (valid && !valid(a, b, c)) continue;
        const double mhz = f(a, b, c);
        const double err = std::fabs(mhz - target);
        if (err < bestErr) {
          bestErr = err;
          best = {a, b, c, mhz};
        }
      }
    }
  }
  if (bestErr > target * 0.005) return std::nullopt;
  return best;
}

std::optional<int> PickFixed(const std::vector<double>& table, double target, int limit) {
  int best = -1;
  double bestErr = 1e9;
  for (int i = 0; i < static_cast<int>(table.size()) && i < limit; ++i) {
    const double err = std::fabs(table[static_cast<std::size_t>(i)] - target);
    if (table[static_cast<std::size_t>(i)] > 0 && err < bestErr) {
      bestErr = err;
      best = i;
    }
  }
  if (best < 0 || bestErr > target * 0.015) return std::nullopt;
  return best;
}

bool Near(double a, double b) { return std::fabs(a - b) < b * 0.002; }

// Offset (line pitch) bits each chip holds above CR13.
int OffsetBits(const Personality& p) {
  switch (p.family) {
    case Family::kS3:
    case Family::kTrident:
      return 10;
    case Family::kIntel:
      return 16;
    case Family::kSis:
      return 12;
    case Family::kTseng:
      return p.id == CardId::kTsengEt4000 ? 9 : 8;
    case Family::kCirrus:
      return 9;
    case Family::kAti:
      return 10;
    default:
      return 8;
  }
}

}  // namespace

bool SimulatedDisplayDriver::SetMode(const DisplayMode& mode) {
  // Program() checks everything before its first write: a refused mode leaves the card as it was.
  if (Program(&card_, mode)) return false;
  mode_ = mode;
  NotifyDisplayChange();
  return true;
}

std::optional<std::string> SimulatedDisplayDriver::Refusal(const DisplayMode& mode) const {
  return Program(nullptr, mode);
}

std::vector<DisplayMode> SimulatedDisplayDriver::SupportedModes() const {
  std::vector<DisplayMode> out;
  for (const DisplayMode& m : CommonModes()) {
    if (!Program(nullptr, m)) out.push_back(m);
  }
  return out;
}

std::optional<DisplayMode> DefaultDesktopMode(CardId id) {
  SimulatedCard card(id);
  SimulatedDisplayDriver driver(card);
  for (const DisplayMode& m :
       {DisplayMode{640, 480, 16}, DisplayMode{640, 480, 8}, DisplayMode{640, 480, 4}}) {
    if (!driver.Refusal(m)) return m;
  }
  return std::nullopt;
}

bool SimulatedDisplayDriver::ResetDisplayMode() {
  if (!mode_) return false;
  ++resets_;
  Program(&card_, *mode_);
  NotifyDisplayChange();
  return true;
}

std::optional<std::string> SimulatedDisplayDriver::Program(SimulatedCard* card,
                                                           const DisplayMode& mode) const {
  const Personality& p = card_.personality();
  const bool ibm = p.family == Family::kIbm;
  const bool ati = p.family == Family::kAti;
  const BaseTiming* base = nullptr;
  for (const BaseTiming& t : kTimings) {
    if (t.w == mode.width && t.h == mode.height) base = &t;
  }
  if (base == nullptr) return "not a mode this driver offers";
  if (mode.bpp == 4) {
    if (!ibm || mode.width != 640 || mode.height != 480) return "16-colour planar only at 640x480";
  } else if (ibm && !(mode.width == 320 && mode.bpp == 8)) {
    return "the standard VGA shows 256 colours only at 320x240";
  }
  if (mode.width == 320 && mode.bpp != 8) return "320x240 only at 8 bits per pixel";
  if (mode.bpp > p.maxBpp) return "the card has no " + std::to_string(mode.bpp) + "-bit mode";
  const long long needed = static_cast<long long>(mode.width) * mode.height * mode.bpp / 8;
  if (needed > static_cast<long long>(p.memoryBytes)) {
    return "needs " + std::to_string(needed / 1024) + " KiB of video memory, the card has " +
           std::to_string(p.memoryBytes / 1024);
  }
  const int bytesPP = mode.bpp >= 8 ? mode.bpp / 8 : 1;
  const bool is320 = mode.width == 320;

  // CRTC dots per pixel and VCLKs per CRTC dot.
  int unit = p.depth == DepthModel::kBytes ? bytesPP : 1;
  if (ibm && is320) unit = 2;  // 80 characters; the attribute controller doubles each pixel
  double vclkPerDot = 1.0;
  std::uint8_t cirrusMode = 0x00;
  if (p.depth == DepthModel::kS3TwoPerClock && mode.bpp == 16) vclkPerDot = 0.5;
  if (p.depth == DepthModel::kTridentDepth) vclkPerDot = bytesPP;
  if (p.depth == DepthModel::kCirrusModes) {
    if (mode.bpp == 16) {
      const bool doubleClock = 2 * base->mhz <= 85.0;
      cirrusMode = doubleClock ? 0x02 : 0x06;
      vclkPerDot = doubleClock ? 2.0 : 1.0;
    } else if (mode.bpp == 32) {
      cirrusMode = 0x08;
      vclkPerDot = 4.0;
    }
  }
  const bool seqHalve = is320 && !ibm && !ati;
  const double dotMhz = base->mhz * unit;
  const double vclk = dotMhz * vclkPerDot * (seqHalve ? 2.0 : 1.0);
  if (vclk > p.maxVclkMhz + 0.01) {
    return "needs a " + Fmt(vclk) + " clock, the card's limit is " + Fmt(p.maxVclkMhz);
  }

  // Horizontal, in characters.
  const int hdisp = base->hdisp * unit / 8;
  const int hsyncStart = (base->hdisp + base->hfront) * unit / 8;
  const int hsyncEnd = hsyncStart + base->hsync * unit / 8;
  int htotal = (base->hdisp + base->hfront + base->hsync + base->hback) * unit / 8;
  const bool hOverflow = p.family == Family::kS3 || p.id == CardId::kSis300;
  const int hLimit = ati ? 512 : hOverflow ? 511 + 5 : 255 + 5;
  if (htotal > hLimit) {
    // Shorten the back porch, as drivers of these chips do (the refresh rises).
    if (hsyncEnd + 2 > hLimit) return "the horizontal timing does not fit the chip's registers";
    htotal = hLimit;
  }
  if (hdisp > 256) return "the line is wider than the CRTC can count";

  // Vertical, in scan lines, halved when the counter counts by two.
  int vdisp = base->vdisp, vss = base->vdisp + base->vfront, vsw = base->vsync;
  int vtotal = base->vdisp + base->vfront + base->vsync + base->vback;
  bool countBy2 = false;
  if (!ati && vtotal - 2 > 1023) {
    countBy2 = true;
    vdisp /= 2;
    vss /= 2;
    vsw = std::max(1, vsw / 2);
    vtotal /= 2;
  }

  // Line pitch.
  const int pitchBytes = ibm ? 80 : mode.width * bytesPP;
  const int offset = ibm ? 40 : ati ? mode.width / 8 : pitchBytes / 8;
  if (offset >= (1 << OffsetBits(p))) return "the line pitch is too long for the chip";

  // Clock.
  unsigned sel = 0;
  std::function<void(SimulatedCard&)> clockWrites = [](SimulatedCard&) {};
  auto fixedIndex = [&](int limit) -> std::optional<int> {
    return PickFixed(p.clockTableMhz, vclk, limit);
  };
  switch (p.clock) {
    case ClockKind::kFixed: {
      const auto i = fixedIndex(static_cast<int>(p.clockTableMhz.size()));
      if (!i) return "no clock of the card is near " + Fmt(vclk);
      const unsigned idx = static_cast<unsigned>(*i);
      sel = idx & 0x03;
      clockWrites = [id = p.id, idx](SimulatedCard& c) {
        const auto b2 = static_cast<std::uint8_t>((idx >> 2) & 0x01);
        const auto b3 = static_cast<std::uint8_t>((idx >> 3) & 0x01);
        switch (id) {
          case CardId::kTrident8800br:
            c.SetReg(kSeq, 0x0D, static_cast<std::uint8_t>((c.Reg(kSeq, 0x0D) & 0xFE) | b2));
            break;
          case CardId::kTrident9000i:
            c.SetReg(kSeq, 0x0D, static_cast<std::uint8_t>((c.Reg(kSeq, 0x0D) & 0xFE) | b2));
            c.SetTridentOld(0x0E, static_cast<std::uint8_t>((c.TridentOld(0x0E) & 0xEF) | b3 << 4));
            break;
          case CardId::kTsengEt4000:
            c.SetReg(kCrtc, 0x34, static_cast<std::uint8_t>((c.Reg(kCrtc, 0x34) & 0xFD) | b2 << 1));
            c.SetReg(kCrtc, 0x31, static_cast<std::uint8_t>((c.Reg(kCrtc, 0x31) & 0xBF) | b3 << 6));
            break;
          case CardId::kOakOti037:
          case CardId::kOakOti087:
            c.SetReg(kOak, 0x0D, static_cast<std::uint8_t>((c.Reg(kOak, 0x0D) & 0xDF) | b2 << 5));
            break;
          case CardId::kWd90c00:
            c.SetReg(kGfx, 0x0C, static_cast<std::uint8_t>((c.Reg(kGfx, 0x0C) & 0xFD) | b2 << 1));
            break;
          case CardId::kWd90c30:
            c.SetReg(kGfx, 0x0C,
                     static_cast<std::uint8_t>((c.Reg(kGfx, 0x0C) & 0xFD) | (b2 ^ 1) << 1));
            c.SetReg(kCrtc, 0x2E, static_cast<std::uint8_t>((c.Reg(kCrtc, 0x2E) & 0xEF) | b3 << 4));
            break;
          case CardId::kUmc:
            c.SetReg(kSeq, 0x07, static_cast<std::uint8_t>((c.Reg(kSeq, 0x07) & 0xFE) | b2));
            break;
          default:
            break;
        }
      };
      break;
    }
    case ClockKind::kS3Pll: {
      if (Near(vclk, 25.175) || Near(vclk, 28.322)) {
        sel = Near(vclk, 25.175) ? 0 : 1;
        break;
      }
      const auto pll = SearchPll(
          vclk, 127, 31, 3,
          [](int m, int n, int r) { return kCrystalMhz * (m + 2) / ((n + 2.0) * (1 << r)); },
          [](int m, int n, int) {
            const double vco = kCrystalMhz * (m + 2) / (n + 2.0);
            return vco >= 90.0 && vco <= 270.0;
          });
      if (!pll) return "the synthesiser cannot make " + Fmt(vclk);
      sel = 3;
      clockWrites = [pll](SimulatedCard& c) {
        c.SetReg(kSeq, 0x12, static_cast<std::uint8_t>(pll->b | pll->c << 5));
        c.SetReg(kSeq, 0x13, static_cast<std::uint8_t>(pll->a));
      };
      break;
    }
    case ClockKind::kVisionExternal: {
      if (Near(vclk, 25.175) || Near(vclk, 28.322)) {
        sel = Near(vclk, 25.175) ? 0 : 1;
        break;
      }
      const auto i = fixedIndex(16);
      if (!i) return "the clock chip has nothing near " + Fmt(vclk);
      sel = 3;
      clockWrites = [i](SimulatedCard& c) {
        c.SetReg(kCrtc, 0x42, static_cast<std::uint8_t>((c.Reg(kCrtc, 0x42) & 0xF0) | *i));
      };
      break;
    }
    case ClockKind::kCirrusVclk: {
      const auto f = [](int n, int d, int post) {
        return kCrystalMhz * n / ((d + 1.0) * (post + 1));
      };
      const auto valid = [](int n, int, int) { return n >= 1; };
      const auto v0 = SearchPll(25.175, 127, 30, 1, f, valid);
      const auto v1 = SearchPll(28.322, 127, 30, 1, f, valid);
      const auto v3 = SearchPll(vclk, 127, 30, 1, f, valid);
      if (!v0 || !v1 || !v3) return "the synthesiser cannot make " + Fmt(vclk);
      sel = Near(vclk, 25.175) ? 0 : Near(vclk, 28.322) ? 1 : 3;
      clockWrites = [v0, v1, v3](SimulatedCard& c) {
        auto put = [&](int n, const PllChoice& v) {
          c.SetReg(kSeq, static_cast<std::uint8_t>(0x0B + n), static_cast<std::uint8_t>(v.a));
          c.SetReg(kSeq, static_cast<std::uint8_t>(0x1B + n),
                   static_cast<std::uint8_t>((v.b + 1) << 1 | v.c));
        };
        put(0, *v0);
        put(1, *v1);
        put(3, *v3);
      };
      break;
    }
    case ClockKind::kTridentPll: {
      if (bytesPP == 1 && (Near(vclk, 25.175) || Near(vclk, 28.322))) {
        sel = Near(vclk, 25.175) ? 0 : 1;
        break;
      }
      const auto pll = SearchPll(vclk, 127, 31, 1, [](int n, int m, int k) {
        return kCrystalMhz * (n + 8) / ((m + 2.0) * (1 << k));
      });
      if (!pll) return "the synthesiser cannot make " + Fmt(vclk);
      sel = 2;
      clockWrites = [pll](SimulatedCard& c) {
        c.SetTridentClockWord(static_cast<std::uint16_t>(pll->a | pll->b << 7 | pll->c << 12));
      };
      break;
    }
    case ClockKind::kIntelPll: {
      if (Near(vclk, 25.175) || Near(vclk, 28.322)) {
        sel = Near(vclk, 25.175) ? 0 : 1;
        break;
      }
      const auto pll = SearchPll(vclk, 255, 63, 7, [](int n, int m, int pd) {
        return kCrystalMhz * (n + 2) / ((m + 2.0) * (1 << pd));
      });
      if (!pll) return "the synthesiser cannot make " + Fmt(vclk);
      sel = 2;
      clockWrites = [pll](SimulatedCard& c) {
        c.SetReg(kCrtc, 0x60, static_cast<std::uint8_t>(pll->a));
        c.SetReg(kCrtc, 0x61, static_cast<std::uint8_t>(pll->b));
        c.SetReg(kCrtc, 0x62, static_cast<std::uint8_t>(pll->c << 4));
      };
      break;
    }
    case ClockKind::kSisPll: {
      if (Near(vclk, 25.175) || Near(vclk, 28.322)) {
        sel = Near(vclk, 25.175) ? 0 : 1;
        break;
      }
      const auto pll = SearchPll(vclk, 127, 31, 3, [](int n, int m, int pd) {
        return kCrystalMhz * (n + 1) / ((m + 1.0) * (1 << pd));
      });
      if (!pll) return "the synthesiser cannot make " + Fmt(vclk);
      sel = 2;
      clockWrites = [pll](SimulatedCard& c) {
        c.SetReg(kSeq, 0x2B, static_cast<std::uint8_t>(pll->a));
        c.SetReg(kSeq, 0x2C, static_cast<std::uint8_t>(pll->b | pll->c << 5));
      };
      break;
    }
    case ClockKind::kAtiPll:
      break;  // below
  }

  // ATI: VCLK0 and VCLK1 hold the VGA clocks, VCLK3 a spare 40 MHz, VCLK2 the mode's clock.
  std::optional<PllChoice> atiPll;
  std::array<PllChoice, 4> atiClocks{};
  if (ati) {
    const double refDiv = card_.AtiPll(0x02);
    const auto f = [refDiv](int fb, int post, int) {
      return refDiv > 0 ? kCrystalMhz * 2.0 * fb / (refDiv * (1 << post)) : 0.0;
    };
    atiPll = SearchPll(vclk, 255, 3, 0, f);
    if (!atiPll) return "the synthesiser cannot make " + Fmt(vclk);
    const double others[4] = {25.175, 28.322, vclk, 40.0};
    for (int i = 0; i < 4; ++i) {
      const auto pll = SearchPll(others[i], 255, 3, 0, f);
      if (!pll) return "the synthesiser cannot make " + Fmt(others[i]);
      atiClocks[static_cast<std::size_t>(i)] = *pll;
    }
  }
  if (card == nullptr) return std::nullopt;

  // ---- write the mode ----
  SimulatedCard& c = *card;
  for (const ExtReg& r : p.ext) c.SetReg(r.bank, r.index, r.reset);
  c.SetTridentOld(0x0D, 0x00);
  c.SetTridentOld(0x0E, 0x00);

  c.SetMisc(static_cast<std::uint8_t>(0x23 | sel << 2 | (base->hneg ? 0x40 : 0) |
                                      (base->vneg ? 0x80 : 0)));
  c.SetReg(kSeq, 0x00, 0x03);
  c.SetReg(kSeq, 0x01, static_cast<std::uint8_t>(0x01 | (seqHalve ? 0x08 : 0)));
  c.SetReg(kSeq, 0x02, 0x0F);
  c.SetReg(kSeq, 0x03, 0x00);
  c.SetReg(kSeq, 0x04, (mode.bpp == 4 || ibm) ? 0x06 : 0x0E);

  const int hbs = hdisp;
  const int hbe = htotal - 1;
  c.SetReg(kCrtc, 0x00, static_cast<std::uint8_t>(htotal - 5));
  c.SetReg(kCrtc, 0x01, static_cast<std::uint8_t>(hdisp - 1));
  c.SetReg(kCrtc, 0x02, static_cast<std::uint8_t>(hbs));
  c.SetReg(kCrtc, 0x03, static_cast<std::uint8_t>(0x80 | (hbe & 0x1F)));
  c.SetReg(kCrtc, 0x04, static_cast<std::uint8_t>(hsyncStart));
  c.SetReg(kCrtc, 0x05, static_cast<std::uint8_t>((hbe & 0x20) << 2 | (hsyncEnd & 0x1F)));
  if (p.family == Family::kS3) {
    const int ht = htotal - 5;
    c.SetReg(kCrtc, 0x5D, static_cast<std::uint8_t>((ht >> 8) & 0x01));
    c.SetReg(kCrtc, 0x3B, static_cast<std::uint8_t>(ht));
  }
  if (p.id == CardId::kSis300)
    c.SetReg(kSeq, 0x0B, static_cast<std::uint8_t>(((htotal - 5) >> 8) & 0x01));

  const int vt = vtotal - 2, vde = vdisp - 1, vbs = vdisp, vbe = vtotal - 1;
  const int vre = vss + vsw;
  auto bit = [](int value, int n, int to) {
    return static_cast<std::uint8_t>(((value >> n) & 1) << to);
  };
  c.SetReg(kCrtc, 0x06, static_cast<std::uint8_t>(vt));
  c.SetReg(
      kCrtc, 0x07,
      static_cast<std::uint8_t>(0x10 | bit(vt, 8, 0) | bit(vde, 8, 1) | bit(vss, 8, 2) |
                                bit(vbs, 8, 3) | bit(vt, 9, 5) | bit(vde, 9, 6) | bit(vss, 9, 7)));
  c.SetReg(kCrtc, 0x08, 0x00);
  c.SetReg(
      kCrtc, 0x09,
      static_cast<std::uint8_t>(0x40 | bit(vbs, 9, 5) | (base->doubleScan && !ibm ? 0x80 : 0x00) |
                                (base->doubleScan && ibm ? 0x01 : 0x00)));
  c.SetReg(kCrtc, 0x0A, 0x20);
  for (std::uint8_t i = 0x0B; i <= 0x0F; ++i) c.SetReg(kCrtc, i, 0x00);
  c.SetReg(kCrtc, 0x10, static_cast<std::uint8_t>(vss));
  c.SetReg(kCrtc, 0x11, static_cast<std::uint8_t>(0x80 | 0x20 | (vre & 0x0F)));
  c.SetReg(kCrtc, 0x12, static_cast<std::uint8_t>(vde));
  c.SetReg(kCrtc, 0x13, static_cast<std::uint8_t>(offset));
  c.SetReg(kCrtc, 0x14, (ibm || mode.bpp == 4) ? 0x00 : 0x40);
  c.SetReg(kCrtc, 0x15, static_cast<std::uint8_t>(vbs));
  c.SetReg(kCrtc, 0x16, static_cast<std::uint8_t>(vbe));
  c.SetReg(kCrtc, 0x17, static_cast<std::uint8_t>(0xE3 | (countBy2 ? 0x04 : 0x00)));
  c.SetReg(kCrtc, 0x18, 0xFF);

  for (std::uint8_t i = 0; i <= 0x04; ++i) c.SetReg(kGfx, i, 0x00);
  c.SetReg(kGfx, 0x05, mode.bpp == 4 ? 0x00 : 0x40);
  c.SetReg(kGfx, 0x06, 0x05);
  c.SetReg(kGfx, 0x07, 0x0F);
  c.SetReg(kGfx, 0x08, 0xFF);
  for (std::uint8_t i = 0; i < 0x10; ++i) c.SetReg(kAttr, i, i);
  c.SetReg(kAttr, 0x10, mode.bpp == 4 ? 0x01 : 0x41);
  c.SetReg(kAttr, 0x11, 0x00);
  c.SetReg(kAttr, 0x12, 0x0F);
  c.SetReg(kAttr, 0x13, 0x00);
  c.SetReg(kAttr, 0x14, 0x00);

  clockWrites(c);
  const int high = offset >> 8;
  switch (p.family) {
    case Family::kS3:
      c.SetReg(kCrtc, 0x67, mode.bpp == 16 ? 0x50 : mode.bpp == 32 ? 0xD0 : 0x00);
      c.SetReg(kCrtc, 0x51, static_cast<std::uint8_t>((high & 0x03) << 4));
      break;
    case Family::kCirrus:
      c.SetReg(kSeq, 0x07, static_cast<std::uint8_t>(0x01 | cirrusMode));
      c.SetReg(kCrtc, 0x1B, static_cast<std::uint8_t>((high & 0x01) << 4));
      break;
    case Family::kTrident:
      if (p.id == CardId::kTrident3d) {
        c.SetReg(kCrtc, 0x38, static_cast<std::uint8_t>((bytesPP - 1) << 2));
      }
      c.SetReg(kCrtc, 0x29, static_cast<std::uint8_t>((high & 0x03) << 4));
      break;
    case Family::kTseng:
      if (p.id == CardId::kTsengEt4000)
        c.SetReg(kCrtc, 0x3F, static_cast<std::uint8_t>(high ? 0x80 : 0x00));
      break;
    case Family::kIntel:
      c.SetReg(kCrtc, 0x41, static_cast<std::uint8_t>(high));
      break;
    case Family::kSis:
      c.SetReg(kSeq, 0x0E, static_cast<std::uint8_t>(high & 0x0F));
      c.SetReg(kSeq, 0x06, mode.bpp == 8 ? 0x02 : mode.bpp == 16 ? 0x0A : 0x12);
      break;
    default:
      break;
  }

  if (ati) {
    const std::uint8_t pix = mode.bpp == 8 ? 2 : mode.bpp == 16 ? 4 : 6;
    const int vtA = vtotal, vdA = vdisp;
    c.SetAtiBlock32(
        0x00, static_cast<std::uint32_t>(hdisp - 1) << 16 | static_cast<std::uint32_t>(htotal - 1));
    c.SetAtiBlock32(0x04, static_cast<std::uint32_t>(base->hsync / 8) << 16 |
                              (base->hneg ? 1u << 21 : 0u) |
                              static_cast<std::uint32_t>(hsyncStart));
    c.SetAtiBlock32(
        0x08, static_cast<std::uint32_t>(vdA - 1) << 16 | static_cast<std::uint32_t>(vtA - 1));
    c.SetAtiBlock32(0x0C, static_cast<std::uint32_t>(vsw) << 16 | (base->vneg ? 1u << 21 : 0u) |
                              static_cast<std::uint32_t>(vss));
    c.SetAtiBlock32(0x14, static_cast<std::uint32_t>(offset) << 22);
    c.SetAtiBlock32(0x1C, 0x03000000u | static_cast<std::uint32_t>(pix) << 8 |
                              (base->doubleScan ? 0x01u : 0x00u));
    c.SetAtiPll(0x05, 0x03);
    c.SetAtiPll(0x0B, 0x08);
    c.SetAtiPll(0x19, 0x00);
    std::uint8_t posts = 0;
    for (int i = 0; i < 4; ++i) {
      const PllChoice& v = atiClocks[static_cast<std::size_t>(i)];
      c.SetAtiPll(static_cast<std::uint8_t>(0x07 + i), static_cast<std::uint8_t>(v.a));
      posts = static_cast<std::uint8_t>(posts | v.b << (2 * i));
    }
    c.SetAtiPll(0x06, posts);
    c.SetAtiBlock8(0x90, 0x02);
    c.SetAtiBlock8(0x91, 0x00);
    // The driver's own display FIFO for its clock, by the same computation.
    std::uint32_t biosValues[3] = {};
    for (int i = 0; i < 3; ++i) {
      std::uint32_t w1 = 0, w2 = 0;
      c.GetPhysLong(0xC0048, &w1);
      c.GetPhysLong(0xC0010 + (w1 & 0xFFFF), &w2);
      c.GetPhysLong((i == 0   ? 0xC0008u
                     : i == 1 ? 0xC000Au
                              : 0xC0012u) +
                        (w2 & 0xFFFF),
                    &biosValues[i]);
    }
    const auto fifo = ComputeAtiFifo(
        static_cast<std::uint16_t>(biosValues[0]), static_cast<std::uint16_t>(biosValues[1]),
        static_cast<std::uint16_t>(biosValues[2]), 2, static_cast<std::uint8_t>(atiPll->a),
        static_cast<std::uint8_t>(1 << atiPll->b), mode.bpp, c.AtiBlock8(0xE4), c.AtiBlock8(0xB1),
        c.AtiBlock8(0xB2));
    if (fifo) {
      c.SetAtiBlock32(0x20, fifo->config);
      c.SetAtiBlock32(0x24, fifo->onOff);
    }
  }

  // Close the chip's locks again, as its driver leaves them.
  switch (p.family) {
    case Family::kS3:
      c.SetReg(kCrtc, 0x38, 0x00);
      c.SetReg(kCrtc, 0x39, 0x00);
      c.SetReg(kSeq, 0x08, 0x00);
      break;
    case Family::kCirrus:
      c.PortWrite16(kSeqIndex, 0x0006);
      break;
    case Family::kSis:
      c.PortWrite16(kSeqIndex, 0x0005);
      break;
    case Family::kTseng:
      c.PortWrite8(0x3BF, 0x01);
      c.PortWrite8(0x3D8, 0x29);
      break;
    case Family::kUmc:
      c.PortWrite8(0x3BF, 0x03);
      break;
    case Family::kWd:
      c.SetReg(kGfx, 0x0F, 0x00);
      c.SetReg(kCrtc, 0x29, 0x00);
      break;
    case Family::kIntel:
      c.SetReg(kCrtc, 0x80, 0x00);
      break;
    case Family::kTrident:
      c.PortWrite8(kSeqIndex, 0x0B);
      c.PortRead8(static_cast<std::uint16_t>(kSeqIndex + 1));  // new-mode registers selected
      if (p.id == CardId::kTrident3d) c.SetReg(kSeq, 0x11, 0x00);
      break;
    default:
      break;
  }
  c.PortWrite8(kSeqIndex, 0x01);
  return std::nullopt;
}

}  // namespace cs::tvout
