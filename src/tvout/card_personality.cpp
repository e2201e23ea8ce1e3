#include "tvout/card_personality.h"

#include <stdexcept>

namespace cs::tvout {

namespace {

constexpr std::uint32_t kKiB = 1024;
constexpr std::uint32_t kMiB = 1024 * 1024;

ExtReg Rw(Bank b, std::uint8_t index, std::uint8_t reset = 0x00, Lock lock = Lock::kNone,
          std::uint8_t writable = 0xFF) {
  return ExtReg{b, index, reset, writable, lock};
}
ExtReg Ro(Bank b, std::uint8_t index, std::uint8_t value) {
  return ExtReg{b, index, value, 0x00, Lock::kNone};
}

void Append(std::vector<ExtReg>* to, const std::vector<ExtReg>& more) {
  to->insert(to->end(), more.begin(), more.end());
}

// S3: chip ID registers, CR38/CR39 keys, the CR2D-CR3F and CR40+ groups, SR08 and the
// sequencer extensions (the Vision864 has its clock outside, so no SR09 and up).
std::vector<ExtReg> S3Regs(std::uint8_t cr30, std::uint8_t cr2e, bool seqExtensions) {
  using enum Bank;
  std::vector<ExtReg> r = {
      Ro(kCrtc, 0x2D, 0x88),
      Ro(kCrtc, 0x2E, cr2e),
      Ro(kCrtc, 0x2F, 0x00),
      Ro(kCrtc, 0x30, cr30),
      Rw(kCrtc, 0x31, 0x05, Lock::kS3Crtc),
      Rw(kCrtc, 0x32, 0x00, Lock::kS3Crtc),
      Rw(kCrtc, 0x33, 0x00, Lock::kS3Crtc),
      Rw(kCrtc, 0x34, 0x00, Lock::kS3Crtc),
      Rw(kCrtc, 0x35, 0x00, Lock::kS3Crtc),
      Ro(kCrtc, 0x36, 0x8E),
      Ro(kCrtc, 0x37, 0xFF),
      Rw(kCrtc, 0x38),
      Rw(kCrtc, 0x39),  // the keys themselves
      Rw(kCrtc, 0x3A, 0x05, Lock::kS3Crtc),
      Rw(kCrtc, 0x3B, 0x5A, Lock::kS3Crtc),
      Rw(kCrtc, 0x3C, 0x10, Lock::kS3Crtc),
      Rw(kCrtc, 0x40, 0x30, Lock::kS3CrtcExt),
      Rw(kCrtc, 0x42, 0x00, Lock::kS3CrtcExt),
      Rw(kCrtc, 0x43, 0x00, Lock::kS3CrtcExt),
      Rw(kCrtc, 0x45, 0x00, Lock::kS3CrtcExt),
      Rw(kCrtc, 0x50, 0x00, Lock::kS3CrtcExt),
      Rw(kCrtc, 0x51, 0x00, Lock::kS3CrtcExt),
      Rw(kCrtc, 0x53, 0x00, Lock::kS3CrtcExt),
      Rw(kCrtc, 0x58, 0x00, Lock::kS3CrtcExt),
      Rw(kCrtc, 0x5D, 0x00, Lock::kS3CrtcExt),
      Rw(kCrtc, 0x5E, 0x00, Lock::kS3CrtcExt),
      Rw(kCrtc, 0x67, 0x00, Lock::kS3CrtcExt),
      Rw(kSeq, 0x08),
  };
  if (seqExtensions) {
    Append(&r, {Rw(kSeq, 0x09, 0x80, Lock::kS3Seq), Rw(kSeq, 0x0A, 0x00, Lock::kS3Seq),
                Rw(kSeq, 0x0B, 0x00, Lock::kS3Seq), Rw(kSeq, 0x0D, 0x00, Lock::kS3Seq),
                Rw(kSeq, 0x10, 0x42, Lock::kS3Seq), Rw(kSeq, 0x11, 0x34, Lock::kS3Seq),
                Rw(kSeq, 0x12, 0x00, Lock::kS3Seq), Rw(kSeq, 0x13, 0x00, Lock::kS3Seq),
                Rw(kSeq, 0x15, 0x00, Lock::kS3Seq), Rw(kSeq, 0x18, 0x00, Lock::kS3Seq)});
  }
  return r;
}

std::vector<ExtReg> CirrusRegs() {
  using enum Bank;
  std::vector<ExtReg> r;
  for (std::uint8_t i = 0x07; i <= 0x1F; ++i) {
    std::uint8_t writable = 0xFF;
    if (i >= 0x0B && i <= 0x0E) writable = 0x7F;  // VCLK numerators
    if (i >= 0x1B && i <= 0x1E) writable = 0x3F;  // VCLK denominators and post dividers
    r.push_back(Rw(kSeq, i, 0x00, Lock::kCirrus, writable));
  }
  Append(&r, {Rw(kCrtc, 0x19, 0x00, Lock::kCirrus), Rw(kCrtc, 0x1A, 0x00, Lock::kCirrus),
              Rw(kCrtc, 0x1B, 0x00, Lock::kCirrus), Rw(kCrtc, 0x1D, 0x00, Lock::kCirrus),
              Ro(kCrtc, 0x25, 0x22), Ro(kCrtc, 0x27, 0xB8), Rw(kGfx, 0x09, 0x00, Lock::kCirrus),
              Rw(kGfx, 0x0A, 0x00, Lock::kCirrus), Rw(kGfx, 0x0B, 0x00, Lock::kCirrus)});
  return r;
}

// Trident: SR0B (version), SR0D/SR0E (banked for the 9000i and later, see simulated_card.cpp),
// CR1E (interlace), GR0E/GR0F.
std::vector<ExtReg> TridentRegs(bool newer, bool threeD) {
  using enum Bank;
  std::vector<ExtReg> r = {Rw(kSeq, 0x0C),  Rw(kSeq, 0x0D),  Rw(kSeq, 0x0E), Rw(kSeq, 0x0F),
                           Rw(kCrtc, 0x1E), Rw(kCrtc, 0x1F), Rw(kGfx, 0x0E), Rw(kGfx, 0x0F)};
  if (newer) r.push_back(Rw(kCrtc, 0x29, 0x00, Lock::kTridentExt));
  if (threeD) Append(&r, {Rw(kSeq, 0x11), Rw(kCrtc, 0x38)});
  return r;
}

std::vector<ExtReg> TsengRegs(bool et4000) {
  using enum Bank;
  if (!et4000) {
    return {Rw(kCrtc, 0x23), Rw(kCrtc, 0x24), Rw(kCrtc, 0x25), Rw(kSeq, 0x06),
            Rw(kSeq, 0x07, 0x88)};
  }
  return {Rw(kCrtc, 0x30, 0x00, Lock::kTsengKey),
          Rw(kCrtc, 0x31, 0x00, Lock::kTsengKey),
          Rw(kCrtc, 0x32, 0x00, Lock::kTsengKey),
          Rw(kCrtc, 0x33, 0x00, Lock::kTsengKey, 0x0F),
          Rw(kCrtc, 0x34, 0x00, Lock::kTsengKey),
          Rw(kCrtc, 0x35, 0x00, Lock::kTsengKey),
          Ro(kCrtc, 0x36, 0xF3),
          Ro(kCrtc, 0x37, 0x0F),
          Rw(kCrtc, 0x3F, 0x00, Lock::kTsengKey),
          Rw(kSeq, 0x06, 0x00, Lock::kTsengKey),
          Rw(kSeq, 0x07, 0xBC, Lock::kTsengKey)};
}

std::vector<ExtReg> OakRegs(bool oti087) {
  using enum Bank;
  std::vector<ExtReg> r = {Rw(kOak, 0x0D), Rw(kOak, 0x0E), Rw(kOak, 0x0F), Rw(kOak, 0x10)};
  if (oti087) Append(&r, {Rw(kOak, 0x14), Rw(kOak, 0x15), Rw(kOak, 0x23, 0x00), Rw(kOak, 0x25)});
  return r;
}

std::vector<ExtReg> WdRegs(bool c30) {
  using enum Bank;
  std::vector<ExtReg> r;
  for (std::uint8_t i = 0x09; i <= 0x0E; ++i) {
    r.push_back(Rw(kGfx, i, 0x00, Lock::kWdPr5, i == 0x09 || i == 0x0A ? 0x7F : 0xFF));
  }
  Append(&r, {Rw(kGfx, 0x0F), Rw(kCrtc, 0x29)});
  for (std::uint8_t i = 0x2A; i <= 0x30; ++i) {
    r.push_back(Rw(kCrtc, i, i == 0x2E ? 0x01 : 0x00, Lock::kWdPr10));
  }
  if (c30) Append(&r, {Ro(kCrtc, 0x36, 0x33), Ro(kCrtc, 0x37, 0x30)});
  return r;
}

std::vector<ExtReg> UmcRegs() {
  using enum Bank;
  return {Rw(kSeq, 0x06, 0x00, Lock::kUmc), Rw(kSeq, 0x07, 0x00, Lock::kUmc),
          Rw(kSeq, 0x08, 0x00, Lock::kUmc), Rw(kSeq, 0x09, 0x00, Lock::kUmc),
          Rw(kCrtc, 0x2F, 0x00, Lock::kUmc)};
}

std::vector<ExtReg> RealtekRegs(std::uint8_t cr1a) {
  using enum Bank;
  return {Rw(kCrtc, 0x19), Rw(kCrtc, 0x1A, cr1a), Ro(kCrtc, 0x1F, 0x85), Rw(kGfx, 0x0B),
          Rw(kGfx, 0x0C)};
}

std::vector<ExtReg> IntelRegs() {
  using enum Bank;
  return {Rw(kCrtc, 0x80, 0x00, Lock::kNone, 0x03),  Rw(kCrtc, 0x41, 0x00, Lock::kIntel),
          Rw(kCrtc, 0x60, 0x00, Lock::kIntel),       Rw(kCrtc, 0x61, 0x00, Lock::kIntel, 0x3F),
          Rw(kCrtc, 0x62, 0x00, Lock::kIntel, 0x70), Rw(kCrtc, 0x70, 0x00, Lock::kIntel)};
}

std::vector<ExtReg> SisRegs(bool sis300) {
  using enum Bank;
  std::vector<ExtReg> r = {
      Rw(kSeq, 0x06, 0x00, Lock::kSis),       Rw(kSeq, 0x07, 0x00, Lock::kSis),
      Rw(kSeq, 0x0E, 0x00, Lock::kSis),       Rw(kSeq, 0x2A, 0x00, Lock::kSis),
      Rw(kSeq, 0x2B, 0x00, Lock::kSis, 0x7F), Rw(kSeq, 0x2C, 0x00, Lock::kSis, 0x7F)};
  if (sis300) {
    Append(&r, {Rw(kSeq, 0x0A, 0x00, Lock::kSis), Rw(kSeq, 0x0B, 0x00, Lock::kSis),
                Rw(kSeq, 0x0C, 0x00, Lock::kSis)});
  }
  return r;
}

std::vector<Personality> Build() {
  using enum CardId;
  using enum DepthModel;
  using enum ClockKind;
  std::vector<Personality> p;
  p.push_back({kIbmVga,
               "ibm-vga",
               Family::kIbm,
               1,
               0,
               "IBM VGA: 256 KiB, 25.175/28.322 MHz only, no extended registers; CRTC ports "
               "mirrored at 0x3D0-0x3D7",
               256 * kKiB,
               28.4,
               8,
               kPixels,
               kFixed,
               {25.175, 28.322, 0.0, 0.0},
               false,
               0,
               0,
               {}});
  p.push_back({kS3Trio64,
               "s3-trio64",
               Family::kS3,
               3,
               0x11,
               "S3 Trio64: DCLK synthesiser, SR15 clock halving, CR42 interlace, two pixels per "
               "VCLK in 15/16-bit colour",
               2 * kMiB,
               135.0,
               32,
               kS3TwoPerClock,
               kS3Pll,
               {},
               true,
               0x5333,
               0x8811,
               S3Regs(0xE1, 0x11, true)});
  p.push_back({kS3Virge,
               "s3-virge",
               Family::kS3,
               3,
               0x31,
               "S3 ViRGE: as the Trio64, 4 MiB",
               4 * kMiB,
               135.0,
               32,
               kS3TwoPerClock,
               kS3Pll,
               {},
               true,
               0x5333,
               0x5631,
               S3Regs(0xE1, 0x31, true)});
  p.push_back({kS3Vision864,
               "s3-vision864",
               Family::kS3,
               3,
               0xC0,
               "S3 Vision864: external clock chip (CR42 bits 0-3), no SR15, one pixel per VCLK",
               2 * kMiB,
               135.0,
               32,
               kPixels,
               kVisionExternal,
               {25.175, 28.322, 40.0, 72.0, 50.35, 77.0, 36.0, 44.9, 130.25, 120.0, 80.0, 31.5,
                108.0, 65.0, 75.0, 94.5},
               true,
               0x5333,
               0x88C0,
               S3Regs(0xC0, 0x00, false)});
  p.push_back({kAtiMach64,
               "ati-mach64",
               Family::kAti,
               8,
               0x4354,
               "ATI Mach64: block registers at the PCI I/O base, integrated clock synthesiser, "
               "display FIFO, video BIOS clock table",
               4 * kMiB,
               135.0,
               32,
               kPixels,
               kAtiPll,
               {},
               true,
               0x1002,
               0x4354,
               {}});
  p.push_back({kCirrus,
               "cirrus",
               Family::kCirrus,
               4,
               0,
               "Cirrus Logic GD5446: SR06 lock, VCLK0-3 synthesisers, SR07 pixel modes, CR1A "
               "interlace",
               2 * kMiB,
               135.0,
               32,
               kCirrusModes,
               kCirrusVclk,
               {},
               true,
               0x1013,
               0x00B8,
               CirrusRegs()});
  p.push_back({kTrident8800br,
               "trident-8800br",
               Family::kTrident,
               60,
               1,
               "Trident 8800BR: version 1, plain SR0D/SR0E, 8 fixed clocks, 512 KiB",
               512 * kKiB,
               45.0,
               8,
               kPixels,
               kFixed,
               {25.175, 28.322, 44.9, 36.0, 57.272, 65.0, 50.35, 40.0},
               false,
               0,
               0,
               TridentRegs(false, false)});
  p.push_back({kTrident9000i,
               "trident-9000i",
               Family::kTrident,
               60,
               0x43,
               "Trident 9000i: old/new-mode SR0D/SR0E, SR0E bit 1 inverted on new-mode writes, "
               "16 fixed clocks",
               1 * kMiB,
               65.0,
               8,
               kPixels,
               kFixed,
               {25.175, 28.322, 44.9, 36.0, 57.272, 65.0, 50.35, 40.0, 88.0, 98.0, 118.8, 108.0,
                72.0, 77.0, 80.0, 75.0},
               false,
               0,
               0,
               TridentRegs(true, false)});
  p.push_back({kTrident3d,
               "trident-3d",
               Family::kTrident,
               60,
               0xF3,
               "Trident 3Dimage: as the 9000i plus SR11 protection, CR38 pixel depth and the "
               "clock word at 0x43C8/0x43C9",
               4 * kMiB,
               300.0,
               32,
               kTridentDepth,
               ClockKind::kTridentPll,
               {},
               true,
               0x1023,
               0x9880,
               TridentRegs(true, true)});
  p.push_back({kTsengEt3000,
               "tseng-et3000",
               Family::kTseng,
               5,
               3000,
               "Tseng ET3000: four clocks on the Misc Output select, CR25 interlace (field "
               "lines), SR07 bit 6 clock halving, 512 KiB",
               512 * kKiB,
               45.0,
               8,
               kPixels,
               kFixed,
               {25.175, 28.322, 40.0, 36.0},
               false,
               0,
               0,
               TsengRegs(false)});
  p.push_back({kTsengEt4000,
               "tseng-et4000",
               Family::kTseng,
               5,
               4000,
               "Tseng ET4000: key-protected extensions, CR34/CR31 clock selects, SR07 dividers, "
               "CR35 interlace in frame lines, HiColor DAC (CRTC in bytes)",
               1 * kMiB,
               86.0,
               16,
               kBytes,
               kFixed,
               {25.175, 28.322, 32.5, 36.0, 40.0, 44.9, 31.5, 37.5, 50.35, 56.644, 65.0, 72.0, 80.0,
                75.0, 44.9, 50.0},
               false,
               0,
               0,
               TsengRegs(true)});
  p.push_back({kOakOti037,
               "oak-oti037",
               Family::kOak,
               20,
               0,
               "Oak OTI037: OR0D bit 5 selects the 14.161 MHz clock, no interlace, 512 KiB",
               512 * kKiB,
               45.0,
               8,
               kPixels,
               kFixed,
               {25.175, 28.322, 40.0, 36.0, 14.161, 44.9, 32.5, 50.35},
               false,
               0,
               0,
               OakRegs(false)});
  p.push_back({kOakOti087,
               "oak-oti087",
               Family::kOak,
               20,
               0x53,
               "Oak OTI087: OR14 interlace with OR15 half line, HiColor DAC (CRTC in bytes)",
               1 * kMiB,
               65.0,
               16,
               kBytes,
               kFixed,
               {25.175, 28.322, 40.0, 36.0, 14.161, 44.9, 65.0, 50.35},
               false,
               0,
               0,
               OakRegs(true)});
  p.push_back({kWd90c00,
               "wd90c00",
               Family::kWd,
               13,
               0,
               "Western Digital WD90C00: PR5/PR10 locks, GR0C bit 1 clock select, CR2D "
               "interlace, 512 KiB",
               512 * kKiB,
               45.0,
               8,
               kPixels,
               kFixed,
               {25.175, 28.322, 36.0, 40.0, 44.9, 31.5, 32.5, 37.5},
               false,
               0,
               0,
               WdRegs(false)});
  p.push_back({kWd90c30,
               "wd90c30",
               Family::kWd,
               13,
               0x3330,
               "Western Digital WD90C30: as the WD90C00, CR36/CR37 = \"30\", inverted GR0C bit 1, "
               "CR2E bit 4 clock select, HiColor DAC (CRTC in bytes)",
               1 * kMiB,
               80.0,
               16,
               kBytes,
               kFixed,
               {25.175, 28.322, 65.0, 36.0, 40.0, 44.9, 50.35, 75.0, 80.0, 31.5, 32.5, 37.5, 56.644,
                72.0, 77.0, 14.161},
               false,
               0,
               0,
               WdRegs(true)});
  p.push_back({kUmc,
               "umc",
               Family::kUmc,
               12,
               0,
               "UMC 85C408: 0x3BF = 0xAC unlock, SR07 bit 0 clock select, SR09 bit 7 clock "
               "halving, CR2F interlace",
               1 * kMiB,
               65.0,
               8,
               kPixels,
               kFixed,
               {25.175, 28.322, 65.0, 44.9, 40.0, 36.0, 50.35, 32.5},
               false,
               0,
               0,
               UmcRegs()});
  p.push_back({kRealtek,
               "realtek",
               Family::kRealtek,
               2,
               0,
               "Realtek RTG3105: CR1F read-only ID, 3-bit banks at 0x3D6/0x3D7, CR1A bit 4 + "
               "GR0B bit 0 clock halving, CR19 interlace",
               1 * kMiB,
               45.0,
               8,
               kPixels,
               kFixed,
               {25.175, 28.322, 40.0, 44.9},
               false,
               0,
               0,
               RealtekRegs(0x40)});
  p.push_back({kRealtekRtg3103,
               "realtek-rtg3103",
               Family::kRealtek,
               2,
               6,
               "Realtek RTG3103: as the RTG3105 with CR1A reading 0, 512 KiB",
               512 * kKiB,
               45.0,
               8,
               kPixels,
               kFixed,
               {25.175, 28.322, 40.0, 44.9},
               false,
               0,
               0,
               RealtekRegs(0x00)});
  p.push_back({kIntel,
               "intel",
               Family::kIntel,
               9,
               0x7800,
               "Intel 740: CR80 extension enable, CR41 offset high byte, CR70 interlace in frame "
               "lines, synthesiser CR60-CR62",
               4 * kMiB,
               203.0,
               32,
               kPixels,
               kIntelPll,
               {},
               true,
               0x8086,
               0x7800,
               IntelRegs()});
  p.push_back({kSis6326,
               "sis-6326",
               Family::kSis,
               14,
               0x6326,
               "SiS 6326: SR05 = 0x86 unlock, SR2A bit 7 clock halving, SR06 interlace, SR0E "
               "offset high bits",
               4 * kMiB,
               175.0,
               32,
               kPixels,
               kSisPll,
               {},
               true,
               0x1039,
               0x6326,
               SisRegs(false)});
  p.push_back({kSis300,
               "sis-300",
               Family::kSis,
               14,
               0x300,
               "SiS 300: as the 6326 plus SR0A/SR0B/SR0C timing overflow bits (8-bit blanking "
               "end, 6-bit sync end)",
               32 * kMiB,
               250.0,
               32,
               kPixels,
               kSisPll,
               {},
               true,
               0x1039,
               0x0300,
               SisRegs(true)});
  return p;
}

}  // namespace

const std::vector<Personality>& Personalities() {
  static const std::vector<Personality> all = Build();
  return all;
}

const Personality& PersonalityFor(CardId id) {
  for (const auto& p : Personalities()) {
    if (p.id == id) return p;
  }
  throw std::logic_error("unknown card id");
}

std::optional<CardId> CardByName(std::string_view name) {
  for (const auto& p : Personalities()) {
    if (p.name == name) return p.id;
  }
  return std::nullopt;
}

}  // namespace cs::tvout
