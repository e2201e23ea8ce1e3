#include "tvout/signal_evaluator.h"

#include <cmath>

namespace cs::tvout {

namespace {

using enum Bank;

constexpr double kCrystalHz = 14'318'180.0;

double Mhz(double mhz) { return mhz * 1e6; }

double FixedTable(const Personality& p, unsigned index) {
  return index < p.clockTableMhz.size() ? Mhz(p.clockTableMhz[index]) : 0.0;
}

double VgaFixed(unsigned sel) { return sel == 0 ? Mhz(25.175) : sel == 1 ? Mhz(28.322) : 0.0; }

// Index into a fixed clock table: Misc Output bits 2-3 and the chip's extra select bits.
unsigned FixedClockIndex(const SimulatedCard& c) {
  const unsigned sel = (c.Misc() >> 2) & 0x03;
  switch (c.personality().id) {
    case CardId::kTrident8800br:
      return sel | (c.Reg(kSeq, 0x0D) & 0x01) << 2;
    case CardId::kTrident9000i:
      return sel | (c.Reg(kSeq, 0x0D) & 0x01) << 2 | ((c.TridentOld(0x0E) >> 4) & 0x01) << 3;
    case CardId::kTsengEt4000:
      return sel | ((c.Reg(kCrtc, 0x34) >> 1) & 0x01) << 2 |
             ((c.Reg(kCrtc, 0x31) >> 6) & 0x01) << 3;
    case CardId::kOakOti037:
    case CardId::kOakOti087:
      return sel | ((c.Reg(kOak, 0x0D) >> 5) & 0x01) << 2;
    case CardId::kWd90c00:
      return sel | ((c.Reg(kGfx, 0x0C) >> 1) & 0x01) << 2;
    case CardId::kWd90c30:
      return sel | (((c.Reg(kGfx, 0x0C) >> 1) & 0x01) ^ 0x01) << 2 |
             ((c.Reg(kCrtc, 0x2E) >> 4) & 0x01) << 3;
    case CardId::kUmc:
      return sel | (c.Reg(kSeq, 0x07) & 0x01) << 2;
    default:
      return sel;
  }
}

double TridentWordHz(std::uint16_t w) {
  const unsigned n = w & 0x7F;
  const unsigned m = (w >> 7) & 0x1F;
  const unsigned k = (w >> 12) & 0x01;
  return kCrystalHz * (n + 8) / ((m + 2.0) * (1u << k));
}

double ClockSourceHz(const SimulatedCard& c) {
  const Personality& p = c.personality();
  const unsigned sel = (c.Misc() >> 2) & 0x03;
  switch (p.clock) {
    case ClockKind::kFixed:
      return FixedTable(p, FixedClockIndex(c));
    case ClockKind::kS3Pll: {
      if (sel < 2) return VgaFixed(sel);
      const unsigned n = c.Reg(kSeq, 0x12) & 0x1F;
      const unsigned r = (c.Reg(kSeq, 0x12) >> 5) & 0x03;
      const unsigned m = c.Reg(kSeq, 0x13) & 0x7F;
      return kCrystalHz * (m + 2) / ((n + 2.0) * (1u << r));
    }
    case ClockKind::kVisionExternal:
      if (sel < 2) return VgaFixed(sel);
      return sel == 3 ? FixedTable(p, c.Reg(kCrtc, 0x42) & 0x0F) : 0.0;
    case ClockKind::kCirrusVclk: {
      const unsigned n = c.Reg(kSeq, static_cast<std::uint8_t>(0x0B + sel)) & 0x7F;
      const std::uint8_t dr = c.Reg(kSeq, static_cast<std::uint8_t>(0x1B + sel));
      const unsigned d = (dr >> 1) & 0x1F;
      if (d == 0) return 0.0;
      return kCrystalHz * n / (d * ((dr & 0x01) ? 2.0 : 1.0));
    }
    case ClockKind::kTridentPll:
      if ((c.Reg(kCrtc, 0x38) & 0x0C) == 0 && sel < 2) return VgaFixed(sel);
      return TridentWordHz(c.TridentClockWord());
    case ClockKind::kIntelPll: {
      if (sel < 2) return VgaFixed(sel);
      const unsigned n = c.Reg(kCrtc, 0x60);
      const unsigned m = c.Reg(kCrtc, 0x61) & 0x3F;
      const unsigned pd = (c.Reg(kCrtc, 0x62) >> 4) & 0x07;
      return kCrystalHz * (n + 2) / ((m + 2.0) * (1u << pd));
    }
    case ClockKind::kSisPll: {
      if (sel < 2) return VgaFixed(sel);
      const unsigned n = c.Reg(kSeq, 0x2B) & 0x7F;
      const unsigned m = c.Reg(kSeq, 0x2C) & 0x1F;
      const unsigned pd = (c.Reg(kSeq, 0x2C) >> 5) & 0x03;
      return kCrystalHz * (n + 1) / ((m + 1.0) * (1u << pd));
    }
    case ClockKind::kAtiPll:
      return 0.0;  // the extended CRTC path below
  }
  return 0.0;
}

// The chip's own clock dividers (after the source, besides the sequencer's SR01 bit 3).
double ChipDivider(const SimulatedCard& c) {
  const Personality& p = c.personality();
  switch (p.family) {
    case Family::kS3:
      return (c.Has(kSeq, 0x15) && (c.Reg(kSeq, 0x15) & 0x10)) ? 2.0 : 1.0;
    case Family::kTrident: {
      double d = 1.0;
      switch ((c.Reg(kSeq, 0x0D) >> 1) & 0x03) {
        case 1:
          d = 2.0;
          break;
        case 2:
          d = 4.0;
          break;
        default:
          break;
      }
      if (p.model < 0x43 && (c.Reg(kGfx, 0x0F) & 0x08)) d *= 2.0;
      return d;
    }
    case Family::kTseng:
      if (p.id == CardId::kTsengEt3000) return (c.Reg(kSeq, 0x07) & 0x40) ? 2.0 : 1.0;
      return ((c.Reg(kSeq, 0x07) & 0x41) == 0x01) ? 2.0 : 1.0;
    case Family::kRealtek:
      return ((c.Reg(kCrtc, 0x1A) & 0x10) && (c.Reg(kGfx, 0x0B) & 0x01)) ? 2.0 : 1.0;
    case Family::kUmc:
      return (c.Reg(kSeq, 0x09) & 0x80) ? 2.0 : 1.0;
    case Family::kSis:
      return (c.Reg(kSeq, 0x2A) & 0x80) ? 2.0 : 1.0;
    default:
      return 1.0;
  }
}

// VCLK cycles per CRTC dot in the current pixel mode.
double VclksPerDot(const SimulatedCard& c) {
  switch (c.personality().depth) {
    case DepthModel::kS3TwoPerClock: {
      const unsigned mode = c.Reg(kCrtc, 0x67) & 0xF0;
      return (mode == 0x30 || mode == 0x50) ? 0.5 : 1.0;
    }
    case DepthModel::kTridentDepth:
      return 1.0 + ((c.Reg(kCrtc, 0x38) >> 2) & 0x03);
    case DepthModel::kCirrusModes:
      switch (c.Reg(kSeq, 0x07) & 0x0E) {
        case 0x02:
          return 2.0;
        case 0x04:
          return 3.0;
        case 0x08:
          return 4.0;
        default:
          return 1.0;
      }
    default:
      return 1.0;
  }
}

struct Interlace {
  bool on = false;
  bool frameCounted = false;
};

Interlace ChipInterlace(const SimulatedCard& c) {
  const Personality& p = c.personality();
  switch (p.family) {
    case Family::kS3:
      return {(c.Reg(kCrtc, 0x42) & 0x20) != 0, false};
    case Family::kCirrus:
      return {(c.Reg(kCrtc, 0x1A) & 0x01) != 0, false};
    case Family::kTseng:
      if (p.id == CardId::kTsengEt3000) return {(c.Reg(kCrtc, 0x25) & 0x80) != 0, false};
      return {(c.Reg(kCrtc, 0x35) & 0x80) != 0, true};
    case Family::kTrident:
      return {(c.Reg(kCrtc, 0x1E) & 0x04) != 0, false};
    case Family::kRealtek:
      return {(c.Reg(kCrtc, 0x19) & 0x01) != 0, false};
    case Family::kIntel:
      return {(c.Reg(kCrtc, 0x70) & 0x80) != 0, true};
    case Family::kUmc:
      return {(c.Reg(kCrtc, 0x2F) & 0x01) != 0, false};
    case Family::kWd:
      return {(c.Reg(kCrtc, 0x2D) & 0x20) != 0, false};
    case Family::kSis:
      return {(c.Reg(kSeq, 0x06) & 0x20) != 0, false};
    case Family::kOak:
      return {c.Has(kOak, 0x14) && (c.Reg(kOak, 0x14) & 0x80) != 0, false};
    default:
      return {};
  }
}

void FinishVertical(Signal* s, int vtotal, int vdisp, int vsyncStart, int vsyncWidth,
                    int linesPerCount) {
  s->frameLines = vtotal * linesPerCount;
  s->vdispFrameLines = vdisp * linesPerCount;
  s->vsyncStartLine = vsyncStart * linesPerCount;
  s->vsyncLines = vsyncWidth * linesPerCount;
  if (s->interlaced) {
    s->linesPerField = s->frameCounted ? s->frameLines / 2.0 : s->frameLines - 0.5;
    s->visibleLines = s->frameCounted ? s->vdispFrameLines / 2 : s->vdispFrameLines;
  } else {
    s->linesPerField = s->frameLines;
    s->visibleLines = s->vdispFrameLines;
  }
  if (s->hfreqHz > 0 && s->linesPerField > 0) s->fieldHz = s->hfreqHz / s->linesPerField;
  if (vsyncStart >= vtotal) s->problems.push_back("vertical sync never reached");
  if (vdisp > vtotal) s->problems.push_back("displayed lines beyond the vertical total");
  if (vsyncStart < vdisp) s->problems.push_back("vertical sync inside the picture");
}

void CheckHorizontal(Signal* s) {
  if (s->hsyncStartChar >= s->htotalChars) s->problems.push_back("horizontal sync never reached");
  if (s->hdispChars > s->htotalChars) {
    s->problems.push_back("displayed characters beyond the horizontal total");
  }
  if (s->hsyncStartChar < s->hdispChars)
    s->problems.push_back("horizontal sync inside the picture");
}

Signal EvaluateAti(const SimulatedCard& c) {
  Signal s;
  const std::uint32_t gen = c.AtiBlock32(0x1C);
  const int sel = c.AtiBlock8(0x90) & 0x03;
  const std::uint8_t fb = c.AtiPll(static_cast<std::uint8_t>(0x07 + sel));
  const unsigned post = 1u << ((c.AtiPll(0x06) >> (2 * sel)) & 0x03);
  const std::uint8_t refDiv = c.AtiPll(0x02);
  const double mult = (c.AtiPll(0x0B) & 0x08) ? 2.0 : 1.0;
  const bool pllRunning = (c.AtiPll(0x05) & 0x07) == 0x03;
  if (pllRunning && refDiv != 0) s.vclkHz = kCrystalHz * mult * fb / (refDiv * post);
  s.dotClockHz = s.vclkHz;
  s.dotsPerChar = 8;

  const std::uint32_t h = c.AtiBlock32(0x00);
  const std::uint32_t hs = c.AtiBlock32(0x04);
  s.htotalChars = static_cast<int>(h & 0x1FF) + 1;
  s.hdispChars = static_cast<int>((h >> 16) & 0xFF) + 1;
  s.hsyncStartChar = static_cast<int>((hs & 0xFF) | ((hs >> 12) & 0x01) << 8);
  s.hsyncChars = static_cast<int>((hs >> 16) & 0x1F);
  s.hsyncNegative = (hs >> 21) & 0x01;
  if (s.dotClockHz > 0) s.hfreqHz = s.dotClockHz / (8.0 * s.htotalChars);

  const std::uint32_t v = c.AtiBlock32(0x08);
  const std::uint32_t vs = c.AtiBlock32(0x0C);
  s.interlaced = (gen & 0x02) != 0;
  s.frameCounted = true;
  s.vsyncNegative = (vs >> 21) & 0x01;
  FinishVertical(&s, static_cast<int>(v & 0x7FF) + 1, static_cast<int>((v >> 16) & 0x7FF) + 1,
                 static_cast<int>(vs & 0x7FF), static_cast<int>((vs >> 16) & 0x1F), 1);
  CheckHorizontal(&s);

  s.sync = true;
  if (!(gen & 0x02000000)) {
    s.sync = false;
    s.problems.push_back("CRTC disabled");
  }
  if (s.vclkHz <= 0) {
    s.sync = false;
    s.problems.push_back("no pixel clock");
  }
  return s;
}

}  // namespace

Signal EvaluateSignal(const SimulatedCard& c) {
  const Personality& p = c.personality();
  if (p.family == Family::kAti && (c.AtiBlock32(0x1C) & 0x01000000)) return EvaluateAti(c);

  Signal s;
  s.vclkHz = ClockSourceHz(c);
  double div = ChipDivider(c);
  if (c.Reg(kSeq, 0x01) & 0x08) div *= 2.0;
  s.dotClockHz = s.vclkHz / div / VclksPerDot(c);
  s.dotsPerChar = (c.Reg(kSeq, 0x01) & 0x01) ? 8 : 9;

  // Horizontal, with the chip's overflow bits.
  unsigned ht = c.Reg(kCrtc, 0x00), hde = c.Reg(kCrtc, 0x01), hss = c.Reg(kCrtc, 0x04);
  unsigned hse = c.Reg(kCrtc, 0x05) & 0x1F;
  unsigned hseBits = 5;
  if (p.family == Family::kS3) {
    const std::uint8_t x = c.Reg(kCrtc, 0x5D);
    ht |= (x & 0x01u) << 8;
    hde |= ((x >> 1) & 0x01u) << 8;
    hss |= ((x >> 4) & 0x01u) << 8;
  }
  if (p.id == CardId::kSis300) {
    const std::uint8_t x = c.Reg(kSeq, 0x0B);
    ht |= (x & 0x01u) << 8;
    hde |= ((x >> 1) & 0x01u) << 8;
    hss |= ((x >> 3) & 0x01u) << 8;
    hse |= ((c.Reg(kSeq, 0x0C) >> 2) & 0x01u) << 5;
    hseBits = 6;
  }
  s.htotalChars = static_cast<int>(ht) + 5;
  s.hdispChars = static_cast<int>(hde) + 1;
  s.hsyncStartChar = static_cast<int>(hss);
  const unsigned hmask = (1u << hseBits) - 1;
  s.hsyncChars = static_cast<int>((hse - hss) & hmask);
  if (s.hsyncChars == 0) s.hsyncChars = static_cast<int>(hmask) + 1;
  s.hsyncNegative = (c.Misc() & 0x40) != 0;
  s.vsyncNegative = (c.Misc() & 0x80) != 0;
  if (s.dotClockHz > 0) s.hfreqHz = s.dotClockHz / (s.dotsPerChar * s.htotalChars);

  // Vertical, with the chip's bit-10 overflows.
  const std::uint8_t ov = c.Reg(kCrtc, 0x07);
  unsigned vt = c.Reg(kCrtc, 0x06) | (ov & 0x01u) << 8 | ((ov >> 5) & 0x01u) << 9;
  unsigned vde = c.Reg(kCrtc, 0x12) | ((ov >> 1) & 0x01u) << 8 | ((ov >> 6) & 0x01u) << 9;
  unsigned vrs = c.Reg(kCrtc, 0x10) | ((ov >> 2) & 0x01u) << 8 | ((ov >> 7) & 0x01u) << 9;
  unsigned vre = c.Reg(kCrtc, 0x11) & 0x0F;
  unsigned vreBits = 4;
  auto ext10 = [&](std::uint8_t x, int btVt, int btVde, int btVrs) {
    vt |= ((x >> btVt) & 0x01u) << 10;
    vde |= ((x >> btVde) & 0x01u) << 10;
    vrs |= ((x >> btVrs) & 0x01u) << 10;
  };
  if (p.family == Family::kS3) ext10(c.Reg(kCrtc, 0x5E), 0, 1, 4);
  if (p.id == CardId::kTsengEt4000) ext10(c.Reg(kCrtc, 0x35), 1, 2, 3);
  if (p.id == CardId::kTsengEt3000) ext10(c.Reg(kCrtc, 0x25), 1, 2, 3);
  if (p.id == CardId::kSis300) {
    ext10(c.Reg(kSeq, 0x0A), 0, 1, 3);
    vre |= ((c.Reg(kSeq, 0x0A) >> 6) & 0x01u) << 4;
    vreBits = 5;
  }
  const Interlace il = ChipInterlace(c);
  s.interlaced = il.on;
  s.frameCounted = il.frameCounted;
  const unsigned vmask = (1u << vreBits) - 1;
  int vsw = static_cast<int>((vre - vrs) & vmask);
  if (vsw == 0) vsw = static_cast<int>(vmask) + 1;
  const int perCount = (c.Reg(kCrtc, 0x17) & 0x04) ? 2 : 1;
  FinishVertical(&s, static_cast<int>(vt) + 2, static_cast<int>(vde) + 1, static_cast<int>(vrs),
                 vsw, perCount);
  CheckHorizontal(&s);

  s.sync = true;
  if ((c.Reg(kSeq, 0x00) & 0x03) != 0x03) {
    s.sync = false;
    s.problems.push_back("sequencer held in reset");
  }
  if (!(c.Reg(kCrtc, 0x17) & 0x80)) {
    s.sync = false;
    s.problems.push_back("CRTC syncs disabled (CR17 bit 7)");
  }
  if (s.dotClockHz <= 0) {
    s.sync = false;
    s.problems.push_back("no dot clock");
  }
  return s;
}

}  // namespace cs::tvout
