#include "tvout/video_engine.h"

#include <string>

#include "platform/log.h"

namespace cs::tvout {

namespace {

constexpr char kLog[] = "tvout";

// Chip ports besides the standard VGA ones.
constexpr std::uint16_t kHerculesConfig = 0x3BF;
constexpr std::uint16_t kTridentClockLow = 0x43C8;
constexpr std::uint16_t kTridentClockHigh = 0x43C9;

// The lowest ATI block base the engine accepts: below 0x1000 lie the motherboard's and the ISA
// devices' ports (interrupt and DMA controllers, timer, keyboard controller, reset logic).
constexpr std::uint16_t kLowestAtiBase = 0x1000;

bool IsVision(std::uint16_t model) { return model >= 0xC0 && model <= 0xD1; }
bool IsTrioOrVirge(std::uint16_t model) {
  return model == 0x10 || model == 0x11 || model == 0x13 || model == 0x31;
}

void WriteIndexed16(PortIo& io, std::uint16_t port, std::uint8_t index, std::uint8_t value) {
  io.PortWrite16(port, static_cast<std::uint16_t>(index | value << 8));
}

}  // namespace

void LoadStandard(EngineSettings* s, std::uint8_t code) {
  const bool ntsc = code == kStandardNtsc;
  s->StandardCode = code;
  s->HorzTable = ntsc ? NTSCHorz : PALHorz;
  s->VertTable = ntsc ? NTSCVert : PALVert;
  s->FieldLines = ntsc ? 263 : 313;
}

VideoEngine::VideoEngine(PortIo& io, DisplayControl* display) : io_(io), display_(display) {}

bool VideoEngine::TablesEmpty() const {
  bool horz = true;
  for (const auto& row : settings.HorzTable) {
    for (std::uint8_t b : row) horz = horz && b == 0;
  }
  bool vert = true;
  for (const auto& pair : settings.VertTable) vert = vert && pair.lines == 0 && pair.syncLine == 0;
  return horz || vert;
}

void VideoEngine::WriteIndexed16(std::uint16_t port, std::uint8_t index, std::uint8_t value) {
  io_.PortWrite16(port, static_cast<std::uint16_t>(index | value << 8));
}

// ---- apply ----

void VideoEngine::ApplyTVTimings() {
  report_ = ApplyReport{};
  lines_.reset();
  if (settings.TVModeOn != 1) return;
  if (TablesEmpty()) {
    LogDiag(kLog, "TV mode without a selected standard: nothing programmed");
    return;
  }
  if (settings.Chipset == kChipAti && settings.IOBase < kLowestAtiBase) {
    LogDiag(kLog, "ATI selected without a usable I/O base (" + std::to_string(settings.IOBase) +
                      "): nothing programmed");
    return;
  }
  if (display_) display_->BeforeTvApply();
  report_.programmed = true;
  horizontal_valid_ = false;
  vertical_valid_ = false;
  const std::uint8_t seqIndex = io_.PortRead8(kSeqIndex);
  io_.UpdateCrtcPort();
  UnlockChipset();
  ProgramHorizontal();
  ProgramVertical();
  io_.PortWrite8(kSeqIndex, seqIndex);
}

void UnlockChipset(PortIo& io, const EngineSettings& settings) {
  io.ModifyCrtc(0x11, 0x7F, 0x00);
  switch (settings.Chipset) {
    case kChipS3:
      WriteIndexed16(io, kSeqIndex, 0x08, 0x06);
      WriteIndexed16(io, io.CrtcPort, 0x38, 0x48);
      WriteIndexed16(io, io.CrtcPort, 0x39, 0xA5);
      break;
    case kChipTrident:
      if (settings.Model == 0xF3) WriteIndexed16(io, kSeqIndex, 0x11, 0x92);
      WriteIndexed16(io, kSeqIndex, 0x0B, 0x00);
      io.ReadIndexed(kSeqIndex, 0x0B);
      break;
    case kChipSeven:
      io.WriteCrtc(0x1F, 0x57);
      break;
    case kChipIntel:
      io.ModifyCrtc(0x80, 0xFF, 0x03);
      break;
    case kChipCirrus:
      WriteIndexed16(io, kSeqIndex, 0x06, 0x12);
      break;
    case kChipUmc:
      io.PortWrite8(kHerculesConfig, 0xAC);
      break;
    case kChipWd:
      io.ModifyIndexed(kGfxIndex, 0x0F, 0xE8, 0x05);
      io.ModifyCrtc(0x29, 0x70, 0x85);
      break;
    case kChipTseng:
      io.PortWrite8(kHerculesConfig, 0x03);
      io.PortWrite8(static_cast<std::uint16_t>(io.CrtcPort + 4), 0xA0);
      break;
    case kChipSis:
      WriteIndexed16(io, kSeqIndex, 0x05, 0x86);
      break;
    default:
      break;
  }
}

int VideoEngine::DisplayedLines() {
  if (lines_) return *lines_;
  int lines;
  if (settings.Chipset == kChipAti) {
    lines = io_.PortRead16(AtiPort(0x0A)) + 1;
  } else {
    const std::uint8_t ov = io_.ReadCrtc(0x07);
    lines = (io_.ReadCrtc(0x12) | (ov & 0x02) << 7 | (ov & 0x40) << 3) + 1;
    if (io_.ReadCrtc(0x17) & 0x04) {
      lines *= 2;
      io_.ModifyCrtc(0x17, 0xFB, 0x00);
    }
  }
  // Read once per apply: clearing CR17 bit 2 would make a second read give half the count.
  lines_ = lines;
  return lines;
}

// ---- horizontal ----

std::uint16_t VideoEngine::RuleB() const {
  const std::uint16_t m = settings.Model;
  switch (settings.Chipset) {
    case kChipOak:
      return m == 0 ? 0x111 : 0x109;
    case kChipTrident:
    case kChipCirrus:
    case kChipUmc:
    case kChipTseng:
      return 0x111;
    case kChipRealtek:
      return m != 6 ? 0x111 : 0x109;
    case kChipS3:
      return IsTrioOrVirge(m) ? 0x111 : 0x109;
    case kChipSis:
      return m != 0x300 ? 0x111 : 0x109;
    default:
      return 0x109;
  }
}

void VideoEngine::ProgramHorizontal() {
  const bool ati = settings.Chipset == kChipAti;
  const int width = (ati ? io_.PortRead8(AtiPort(0x02)) : io_.ReadCrtc(0x01)) + 1;
  const std::uint16_t b = RuleB();
  auto ruleA = [&](int first, int* row, std::uint16_t* code) {
    *row = b == 0x109 ? first : first + 1;
    *code = b == 0x109 ? 0x009 : 0x119;
  };
  int row = -1;
  std::uint16_t code = 0;
  switch (width) {
    case 40:
      ruleA(0, &row, &code);
      break;
    case 50:
      ruleA(2, &row, &code);
      break;
    case 64:
      row = 4, code = b;
      break;
    case 80:
      row = 5, code = b;
      break;
    case 90:
      row = 6, code = b;
      break;
    case 96:
      if (DisplayedLines() > 768) {
        row = 7, code = 0x101;
      } else {
        row = 8, code = b;
      }
      break;
    case 100:
      row = 8, code = b;
      break;
    case 106:
      row = 9, code = b;
      break;
    case 120:
      row = 10, code = 0x101;
      break;
    case 128:
      row = 11, code = 0x101;
      break;
    case 132:
      row = 12, code = 0x000;
      break;
    case 144:
      row = 13, code = 0x101;
      break;
    case 160:
      row = 14, code = 0x101;
      break;
    case 200:
      row = 15, code = 0x101;
      break;
    default:
      return;  // not a width of the tables: horizontal timings and clock stay as the driver set
  }
  report_.row = row;

  const HorzRow& r = settings.HorzTable[static_cast<std::size_t>(row)];
  StoredTimings& t = timings;
  t.HTotalReg = static_cast<std::uint8_t>(r[4] - 5);
  if (settings.Chipset == kChipS3) io_.WriteCrtc(0x3B, t.HTotalReg);
  t.HSyncStart = r[1];
  const std::uint8_t current = ati ? io_.PortRead8(AtiPort(0x02)) : io_.ReadCrtc(0x01);
  const auto limit = static_cast<std::uint8_t>(r[1] - 4);
  t.HDispEnd = (current != 0 && current > limit) ? limit : current;
  t.HBlankStart = r[0];
  const int sum = r[0] + r[3];
  if (sum <= 255 && sum < t.HTotalReg) {
    t.HBlankEnd = static_cast<std::uint8_t>(sum);
  } else if (t.HTotalReg < 200) {
    t.HBlankEnd = static_cast<std::uint8_t>(sum - t.HTotalReg);
  } else if (r[0] < 193) {
    t.HBlankEnd = t.HTotalReg;
  } else {
    t.HBlankEnd = static_cast<std::uint8_t>(r[0] - 193);
  }
  const int syncEnd = r[1] + r[2];
  t.HSyncEnd = static_cast<std::uint8_t>(syncEnd >= t.HTotalReg ? syncEnd - t.HTotalReg : syncEnd);
  if (settings.Chipset == kChipS3) io_.ModifyCrtc(0x5D, 0xC0, 0x00);
  WriteHorizontalRegs();
  horizontal_valid_ = true;

  if (row == 12) {
    // 132 columns: line graphics on (the ninth dot of box characters repeats the eighth).
    io_.PortRead8(static_cast<std::uint16_t>(io_.CrtcPort + 6));
    io_.PortWrite8(kAttrIndexPort, 0x30);
    const std::uint8_t mode = io_.PortRead8(kAttrDataRead);
    io_.PortWrite8(kAttrIndexPort, static_cast<std::uint8_t>(mode | 0x04));
  }
  ClockStep(code);
}

void VideoEngine::WriteHorizontalRegs() {
  const StoredTimings& t = timings;
  if (settings.Chipset == kChipAti) {
    io_.PortWrite32(AtiPort(0x00),
                    static_cast<std::uint32_t>(t.HDispEnd) << 16 | (t.HTotalReg + 5u));
    const std::uint32_t width = (static_cast<std::uint8_t>(t.HSyncEnd - t.HSyncStart)) | 0x20u;
    io_.PortWrite32(AtiPort(0x04), width << 16 | t.HSyncStart);
  } else {
    io_.WriteCrtc(0x00, t.HTotalReg);
    io_.WriteCrtc(0x01, t.HDispEnd);
    io_.WriteCrtc(0x02, t.HBlankStart);
    io_.WriteCrtc(0x04, t.HSyncStart);
    io_.ModifyCrtc(0x03, 0xE0, t.HBlankEnd & 0x1F);
    io_.ModifyCrtc(0x05, 0x60,
                   static_cast<std::uint8_t>((t.HBlankEnd & 0x20) << 2 | (t.HSyncEnd & 0x1F)));
  }
  if (settings.Chipset == kChipSis && settings.Model == 0x300) {
    WriteIndexed16(kSeqIndex, 0x0B, 0x00);
    io_.ModifyIndexed(
        kSeqIndex, 0x0C, 0xF8,
        static_cast<std::uint8_t>((t.HBlankEnd & 0xC0) >> 6 | (t.HSyncEnd & 0x20) >> 3));
  }
}

// ---- clock ----

void VideoEngine::ClockStep(std::uint16_t code) {
  // Synchronous reset while the clock changes. (SR00 = 0x00 would also assert the asynchronous
  // reset, which loses video memory on a VGA.)
  io_.PortWrite16(kSeqIndex, 0x0100);
  ChipStepBeforeClock(&code);
  report_.ClockCode = code;
  if (settings.Chipset == kChipAti) {
    ProgramAtiClock(code);
    // The ATI's extended CRTC does not need the VGA sequencer, but leaving it held in reset
    // would stop the VGA memory path until the next mode set.
    io_.PortWrite16(kSeqIndex, 0x0300);
    return;
  }
  std::uint8_t misc = static_cast<std::uint8_t>(
      ((io_.PortRead8(kMiscRead) | 0xC0) & settings.Polarity) | ((code >> 8) & 0x03) << 2);
  io_.PortWrite8(kMiscWrite, misc);
  io_.ModifyIndexed(kSeqIndex, 0x01, 0xF6, static_cast<std::uint8_t>(code & 0x0F));
  // The chip's own halving changes the clock too, so it is made before the reset is released.
  if (code & 0x10) ChipStepAfterClock(code, &misc);
  io_.PortWrite16(kSeqIndex, 0x0300);
}

void VideoEngine::ChipStepBeforeClock(std::uint16_t* code) {
  const std::uint16_t m = settings.Model;
  switch (settings.Chipset) {
    case kChipOak:
      io_.ModifyIndexed(kOakIndex, 0x0D, 0xDF, 0x00);
      break;
    case kChipTrident:
      TridentClock(code);
      break;
    case kChipS3:
      S3CodeAdjust(code);
      break;
    case kChipUmc:
      io_.ClearIndexedBits(kSeqIndex, 0x07, 0x01);
      io_.ClearIndexedBits(kSeqIndex, 0x09, 0x80);
      break;
    case kChipWd:
      io_.ClearIndexedBits(kGfxIndex, 0x0C, 0x02);
      if (m >= 0x3330) io_.SetIndexedBits(kGfxIndex, 0x0C, 0x02);
      io_.ModifyCrtc(0x2E, 0xEF, 0x01);
      break;
    case kChipTseng:
      if (m == 4000) {
        io_.ModifyIndexed(kSeqIndex, 0x07, 0xFE, 0x40);
        io_.ModifyCrtc(0x31, 0x9F, 0x00);
        io_.ModifyCrtc(0x34, 0x7C, 0x00);
      }
      break;
    default:
      break;
  }
}

// New-mode SR0E of the 9000i and later Trident chips stores bit 1 inverted: a plain
// read-modify-write would flip it. The value read back shows whether the chip inverted it.
void VideoEngine::ModifyTridentSr0e(std::uint8_t keep, std::uint8_t set) {
  const std::uint8_t old = io_.ReadIndexed(kSeqIndex, 0x0E);
  const auto want = static_cast<std::uint8_t>((old & keep) | set);
  const auto data = static_cast<std::uint16_t>(kSeqIndex + 1);
  io_.PortWrite8(data, want);
  if ((io_.PortRead8(data) ^ want) & 0x02) io_.PortWrite8(data, want ^ 0x02);
}

void VideoEngine::TridentClock(std::uint16_t* code) {
  const std::uint8_t depth = io_.ReadCrtc(0x38) & 0x0C;
  if (depth != 0) {
    ModifyTridentSr0e(0xFF, 0x80);
    std::uint16_t word = depth == 0x04 ? 0x0AD3 : depth == 0x08 ? 0x0757 : 0x04CF;
    if (*code & 0x08) {
      word |= 0x1000;
      *code &= static_cast<std::uint16_t>(~0x08);
    }
    io_.PortWrite8(kTridentClockLow, static_cast<std::uint8_t>(word));
    io_.PortWrite8(kTridentClockHigh, static_cast<std::uint8_t>(word >> 8));
  }
  if (settings.Model == 1) {
    io_.ModifyIndexed(kSeqIndex, 0x0D, 0xF8, 0x00);
    return;
  }
  io_.ModifyIndexed(kSeqIndex, 0x0D, 0xB8, 0x00);
  WriteIndexed16(kSeqIndex, 0x0B, 0x00);  // old-mode registers
  io_.ModifyIndexed(kSeqIndex, 0x0E, 0xEF, 0x00);
  io_.ReadIndexed(kSeqIndex, 0x0B);  // back to the new-mode registers
}

void VideoEngine::S3CodeAdjust(std::uint16_t* code) {
  const std::uint8_t colour = io_.ReadCrtc(0x67) & 0xF0;
  const std::uint16_t m = settings.Model;
  if ((m == 0x10 || m == 0x11 || m == 0x31) && (colour == 0x30 || colour == 0x50)) {
    switch (*code) {
      case 0x119:
        break;
      case 0x101:
        *code = 0x111;
        break;
      case 0x000:
        *code = 0x011;
        break;
      case 0x009:
        *code = 0x019;
        break;
      default:
        *code = 0x119;
        break;
    }
  } else if (IsVision(m) && colour >= 0x30 && colour <= 0x50) {
    // In 15/16-bit colour the Vision864/964 takes its halved clock from the sequencer. Only a
    // code that asks for a halved clock becomes 0x109: turning the unhalved 28.322 MHz of the
    // wide rows (0x101) or the 25.175 MHz of 40/50 columns (0x009) and 132 columns (0x000) into
    // 0x109 would put out 7.8 or 17.5 kHz lines.
    if (*code & 0x18) *code = 0x109;
  }
}

void VideoEngine::ChipStepAfterClock(std::uint16_t code, std::uint8_t* misc) {
  (void)code;
  const std::uint16_t m = settings.Model;
  switch (settings.Chipset) {
    case kChipOak:
      *misc &= 0xF3;
      io_.PortWrite8(kMiscWrite, *misc);
      io_.SetIndexedBits(kOakIndex, 0x0D, 0x20);
      break;
    case kChipTrident:
      if (m < 0x43 && (io_.ReadIndexed(kGfxIndex, 0x0F) & 0x08)) break;
      io_.SetIndexedBits(kSeqIndex, 0x0D, 0x02);
      break;
    case kChipRealtek:
      io_.ModifyCrtc(0x1A, 0xFF, 0x10);
      io_.SetIndexedBits(kGfxIndex, 0x0B, 0x01);
      break;
    case kChipS3:
      if (IsVision(m)) break;
      io_.ModifyIndexed(kSeqIndex, 0x15, 0xCC, 0x10);
      break;
    case kChipCirrus:
      CirrusClock(misc);
      break;
    case kChipUmc:
      io_.SetIndexedBits(kSeqIndex, 0x09, 0x80);
      break;
    case kChipTseng:
      if (m == 4000) {
        io_.ModifyIndexed(kSeqIndex, 0x07, 0xBF, 0x01);
      } else {
        io_.SetIndexedBits(kSeqIndex, 0x07, 0x40);
      }
      break;
    case kChipSis:
      io_.SetIndexedBits(kSeqIndex, 0x2A, 0x80);
      break;
    default:
      break;
  }
}

void VideoEngine::CirrusClock(std::uint8_t* misc) {
  const std::uint8_t mode = io_.ReadIndexed(kSeqIndex, 0x07) & 0x0E;
  auto selectClock3 = [&] {
    *misc |= 0x0C;
    io_.PortWrite8(kMiscWrite, *misc);
  };
  if (mode == 0x08) {
    // 32-bit colour, four VCLKs per pixel: 4 x 14.17 MHz.
    WriteIndexed16(kSeqIndex, 0x0E, 0x5F);
    WriteIndexed16(kSeqIndex, 0x1E, 0x19);
    selectClock3();
    return;
  }
  switch (mode & 0x06) {
    case 0x02:
      break;  // two VCLKs per pixel: the unhalved clock is right
    case 0x04:
      // 24-bit colour, three VCLKs per pixel: 3 x 14.19 MHz, on VCLK3, which is then selected.
      WriteIndexed16(kSeqIndex, 0x0E, 0x71);
      WriteIndexed16(kSeqIndex, 0x1E, 0x27);
      selectClock3();
      break;
    default: {
      // One VCLK per pixel: VCLK3 becomes the current clock with its numerator halved.
      const auto n = static_cast<std::uint8_t>((*misc >> 2) & 0x03);
      const auto numerator = static_cast<std::uint8_t>(
          io_.ReadIndexed(kSeqIndex, static_cast<std::uint8_t>(0x0B + n)) >> 1);
      const std::uint8_t denominator =
          io_.ReadIndexed(kSeqIndex, static_cast<std::uint8_t>(0x1B + n));
      WriteIndexed16(kSeqIndex, 0x0E, numerator);
      WriteIndexed16(kSeqIndex, 0x1E, denominator);
      selectClock3();
      break;
    }
  }
}

// ---- vertical ----

std::uint16_t VideoEngine::ReadOffset() {
  if (settings.Chipset == kChipAti) {
    return static_cast<std::uint16_t>((io_.PortRead16(AtiPort(0x16)) >> 6) & ~1u);
  }
  unsigned high = 0;
  switch (settings.Chipset) {
    case kChipTrident:
      high = (io_.ReadCrtc(0x29) >> 4) & 0x03;
      break;
    case kChipS3:
      high = (io_.ReadCrtc(0x51) >> 4) & 0x03;
      if (high == 0) high = (io_.ReadCrtc(0x43) >> 2) & 0x01;
      break;
    case kChipIntel:
      high = io_.ReadCrtc(0x41);
      break;
    case kChipSis:
      high = io_.ReadIndexed(kSeqIndex, 0x0E) & 0x0F;
      break;
    default:
      break;
  }
  return static_cast<std::uint16_t>(io_.ReadCrtc(0x13) | high << 8);
}

void VideoEngine::WriteOffset(std::uint16_t offset) {
  if (settings.Chipset == kChipAti) {
    if (offset >= 0x400) LogDiag(kLog, "line pitch " + std::to_string(offset) + " cut to 10 bits");
    const std::uint16_t old = io_.PortRead16(AtiPort(0x16));
    io_.PortWrite16(AtiPort(0x16), static_cast<std::uint16_t>((old & 0x3F) | offset << 6));
    return;
  }
  // Bits of the line pitch each chip's offset registers hold, as the offset write below uses
  // them. A doubled pitch that does not fit is written cut, as designed, and said.
  int bits = 8;
  switch (settings.Chipset) {
    case kChipS3:
    case kChipTrident:
      bits = 10;
      break;
    case kChipIntel:
      bits = 16;
      break;
    case kChipSis:
      bits = 12;
      break;
    case kChipTseng:
    case kChipCirrus:
      bits = 9;
      break;
    default:
      break;
  }
  if (offset >= (1u << bits)) {
    LogDiag(kLog, "line pitch " + std::to_string(offset) + " does not fit the chip's " +
                      std::to_string(bits) + "-bit offset: the picture shows wrong lines");
  }
  const auto h = static_cast<std::uint8_t>(offset >> 8);
  switch (settings.Chipset) {
    case kChipS3:
      io_.ModifyCrtc(0x51, 0xCF, static_cast<std::uint8_t>((h << 4) & 0x30));
      io_.ModifyCrtc(0x43, 0xFB, static_cast<std::uint8_t>((h & 0x01) << 2));
      break;
    case kChipCirrus:
      io_.ModifyCrtc(0x1B, 0xFF, static_cast<std::uint8_t>((h & 0x01) << 4));
      break;
    case kChipTrident:
      ModifyTridentSr0e(0xFF, 0x80);
      io_.ModifyCrtc(0x29, 0xCF, static_cast<std::uint8_t>((h & 0x03) << 4));
      ModifyTridentSr0e(0x7F, 0x00);
      break;
    case kChipIntel:
      io_.WriteCrtc(0x41, h);
      break;
    case kChipTseng:
      io_.ModifyCrtc(0x3F, 0x7F, h != 0 ? 0x80 : 0x00);
      break;
    case kChipSis:
      io_.ModifyIndexed(kSeqIndex, 0x0E, 0xF0, h & 0x0F);
      break;
    default:
      break;
  }
  io_.WriteCrtc(0x13, static_cast<std::uint8_t>(offset));
}

// The chip's interlace step: when the chip's interlace bit is not yet set, the field gets half
// the lines and the bit is set; the chips that do not skip every other memory line per field
// themselves get a doubled offset.
void VideoEngine::Interlace(int* lines, std::uint16_t* offset, std::uint8_t halfLine) {
  const std::uint16_t m = settings.Model;
  auto enable = [&](bool alreadyOn, bool doubleOffset, auto&& writes) {
    if (alreadyOn) return;
    *lines >>= 1;
    writes();
    if (doubleOffset) *offset = static_cast<std::uint16_t>(*offset << 1);
  };
  switch (settings.Chipset) {
    case kChipOak:
      if (m == 0) break;  // the OTI037 has no interlace
      enable(io_.ReadIndexed(kOakIndex, 0x14) & 0x80, false, [&] {
        io_.SetIndexedBits(kOakIndex, 0x14, 0x80);
        io_.WriteIndexed(kOakIndex, 0x15, halfLine);
      });
      break;
    case kChipS3:
      enable(io_.ReadCrtc(0x42) & 0x20, false, [&] {
        io_.ModifyCrtc(0x42, 0xFF, 0x20);
        io_.WriteCrtc(0x3C, halfLine);
        io_.WriteCrtc(0x5E, 0x00);
        io_.ModifyCrtc(0x67, 0xF3, 0x00);
      });
      break;
    case kChipCirrus:
      enable(io_.ReadCrtc(0x1A) & 0x01, false, [&] {
        io_.ModifyCrtc(0x1A, 0xFF, 0x01);
        io_.WriteCrtc(0x19, halfLine);
      });
      break;
    case kChipTseng: {
      const std::uint8_t reg = m == 3000 ? 0x25 : 0x35;
      if (m != 3000) DoubleVertical = 1;
      *lines >>= 1;
      io_.ModifyCrtc(reg, 0xF0, 0x80);
      break;
    }
    case kChipTrident:
      enable(io_.ReadCrtc(0x1E) & 0x04, true, [&] { io_.ModifyCrtc(0x1E, 0xFF, 0x04); });
      break;
    case kChipSeven:
      DoubleVertical = 1;
      enable(io_.ReadCrtc(0x33) & 0x80, true, [&] { io_.ModifyCrtc(0x33, 0xFF, 0x80); });
      break;
    case kChipRealtek:
      enable(io_.ReadCrtc(0x19) & 0x01, true, [&] { io_.ModifyCrtc(0x19, 0xFF, 0x01); });
      break;
    case kChipAti: {
      DoubleVertical = 1;
      const std::uint16_t port = AtiPort(0x1C);
      enable(io_.PortRead8(port) & 0x02, false,
             [&] { io_.PortWrite8(port, static_cast<std::uint8_t>(io_.PortRead8(port) | 0x02)); });
      break;
    }
    case kChipIntel:
      DoubleVertical = 1;
      enable(io_.ReadCrtc(0x70) & 0x80, true,
             [&] { io_.ModifyCrtc(0x70, 0xFF, static_cast<std::uint8_t>(0x80 | halfLine)); });
      break;
    case kChipUmc:
      enable(io_.ReadCrtc(0x2F) & 0x01, true, [&] { io_.ModifyCrtc(0x2F, 0xFF, 0x01); });
      break;
    case kChipWd:
      enable(io_.ReadCrtc(0x2D) & 0x20, false, [&] {
        io_.ModifyCrtc(0x2D, 0xFF, static_cast<std::uint8_t>(0x20 | (halfLine - 1)));
        io_.WriteCrtc(0x2C, halfLine);
      });
      break;
    case kChipSis:
      enable(io_.ReadIndexed(kSeqIndex, 0x06) & 0x20, true,
             [&] { io_.SetIndexedBits(kSeqIndex, 0x06, 0x20); });
      break;
    default:
      break;
  }
}

void VideoEngine::ProgramVertical() {
  int lines = DisplayedLines();
  report_.displayedLines = lines;
  std::uint16_t offset = ReadOffset();
  DoubleVertical = 0;
  bool interlaceStep = true;
  if (settings.Chipset != kChipAti) {
    io_.ModifyCrtc(0x09, 0xDF, 0x00);
    const std::uint8_t cr09 = io_.ReadCrtc(0x09);
    bool cleared = false;
    if (cr09 & 0x80) {
      io_.ModifyCrtc(0x09, 0x7F, 0x00);
      cleared = true;
    } else if (cr09 & 0x01) {
      io_.ModifyCrtc(0x09, 0xFE, 0x00);
      cleared = true;
    }
    if (cleared) {
      offset = static_cast<std::uint16_t>(offset >> 1);
      if (lines / 2 <= 320) {
        if (settings.Chipset == kChipTseng) {
          io_.ModifyCrtc(settings.Model == 4000 ? 0x35 : 0x25, 0x7F, 0x00);
        }
        interlaceStep = false;
      }
    }
  }
  if (settings.Chipset == kChipIbm) interlaceStep = false;
  if (interlaceStep) {
    const auto halfLine = static_cast<std::uint8_t>(timings.HTotalReg >> 1);
    if (settings.Interlaced == 1) Interlace(&lines, &offset, halfLine);
  }
  if (lines > 320) {
    lines >>= 1;
    offset = static_cast<std::uint16_t>(offset << 1);
  }
  // Lookup: the first pair with this line count, up to the 320-line pair and never past the
  // table's ten pairs (a table without the end marker stops there).
  const VertPair* pair = nullptr;
  for (const VertPair& p : settings.VertTable) {
    if (p.lines == lines) {
      pair = &p;
      break;
    }
    if (p.lines == 320) break;
  }
  if (pair == nullptr) {
    DoubleVertical = 0;
    return;
  }
  const int sync = pair->syncLine;
  if (lines > sync) lines = sync - 1;
  WriteOffset(offset);

  const bool d = DoubleVertical != 0;
  const int t = settings.FieldLines;
  const int e = settings.OddOrEvenSyncSize;
  StoredTimings& v = timings;
  v.VDispEnd = static_cast<std::uint16_t>((d ? 2 * lines : lines) - 1);
  v.VSyncStart = static_cast<std::uint16_t>(d ? 2 * sync : sync);
  v.VBlankStart = static_cast<std::uint16_t>(v.VSyncStart - (d ? 6 : 3));
  v.VSyncEnd = static_cast<std::uint16_t>((d ? 2 * sync + 8 : sync + 4) - e);
  v.VTotalReg = static_cast<std::uint16_t>((d ? 2 * t - 1 : t) - 2);
  v.VBlankEnd = static_cast<std::uint16_t>(
      v.VSyncEnd + (settings.StandardCode == kStandardNtsc ? 14 : 18) * (d ? 2 : 1));
  if (v.VTotalReg <= v.VBlankEnd)
    v.VBlankEnd = static_cast<std::uint16_t>(v.VBlankEnd - v.VTotalReg);
  WriteVerticalRegs();
  vertical_valid_ = true;
  report_.verticalWritten = true;
  DoubleVertical = 0;
}

void VideoEngine::WriteVerticalRegs() {
  const StoredTimings& v = timings;
  if (settings.Chipset == kChipAti) {
    io_.PortWrite32(AtiPort(0x08),
                    static_cast<std::uint32_t>(v.VDispEnd) << 16 | (v.VTotalReg + 3u));
    const std::uint32_t width = static_cast<std::uint16_t>(v.VSyncEnd - v.VSyncStart) | 0x20u;
    io_.PortWrite32(AtiPort(0x0C), width << 16 | v.VSyncStart);
    return;
  }
  auto bit = [](unsigned value, int n, int to) {
    return static_cast<std::uint8_t>(((value >> n) & 0x01) << to);
  };
  io_.WriteCrtc(0x12, static_cast<std::uint8_t>(v.VDispEnd));
  io_.WriteCrtc(0x15, static_cast<std::uint8_t>(v.VBlankStart));
  // Bit 9 of the blanking start both ways: centering may move it below 512 again.
  io_.ModifyCrtc(0x09, 0xDF, bit(v.VBlankStart, 9, 5));
  io_.WriteCrtc(0x10, static_cast<std::uint8_t>(v.VSyncStart));
  io_.ModifyCrtc(0x11, 0xF0, static_cast<std::uint8_t>(v.VSyncEnd & 0x4F));
  if (settings.Chipset == kChipS3) {
    io_.ModifyCrtc(0x3A, 0xFB, 0x00);
  } else {
    io_.ModifyCrtc(0x11, 0xBF, 0x00);
  }
  io_.WriteCrtc(0x16, static_cast<std::uint8_t>(v.VBlankEnd));
  io_.WriteCrtc(0x06, static_cast<std::uint8_t>(v.VTotalReg));
  io_.WriteCrtc(0x07, static_cast<std::uint8_t>(0x10 | bit(v.VTotalReg, 8, 0) |
                                                bit(v.VDispEnd, 8, 1) | bit(v.VSyncStart, 8, 2) |
                                                bit(v.VBlankStart, 8, 3) | bit(v.VTotalReg, 9, 5) |
                                                bit(v.VDispEnd, 9, 6) | bit(v.VSyncStart, 9, 7)));
  if (settings.Chipset == kChipSis && settings.Model == 0x300) {
    WriteIndexed16(kSeqIndex, 0x0A,
                   static_cast<std::uint8_t>(bit(v.VBlankEnd, 8, 4) | bit(v.VSyncEnd, 4, 6)));
  }
}

// ---- centering ----

void VideoEngine::ShiftRight() {
  if (settings.TVModeOn == 0 || !horizontal_valid_) return;
  io_.ModifyCrtc(0x11, 0x7F, 0x00);
  --timings.HBlankStart;
  --timings.HSyncStart;
  --timings.HSyncEnd;
  --timings.HBlankEnd;
  WriteHorizontalRegs();
}

void VideoEngine::ShiftLeft() {
  if (settings.TVModeOn == 0 || !horizontal_valid_) return;
  io_.ModifyCrtc(0x11, 0x7F, 0x00);
  ++timings.HBlankStart;
  ++timings.HSyncStart;
  ++timings.HSyncEnd;
  ++timings.HBlankEnd;
  WriteHorizontalRegs();
}

void VideoEngine::ScrollUp() {
  if (settings.TVModeOn == 0 || !vertical_valid_) return;
  ++timings.VBlankStart;
  ++timings.VSyncStart;
  ++timings.VSyncEnd;
  ++timings.VBlankEnd;
  WriteVerticalRegs();
}

void VideoEngine::ScrollDown() {
  if (settings.TVModeOn == 0 || !vertical_valid_) return;
  --timings.VBlankStart;
  --timings.VSyncStart;
  --timings.VSyncEnd;
  --timings.VBlankEnd;
  WriteVerticalRegs();
}

}  // namespace cs::tvout
