#pragma once
// The chipset personalities of the simulated VGA card: which extended registers each chip has,
// which bits are writable, stuck or read-only, how its locks open, its ID registers, its PCI
// identity, its clock sources and its memory. The behaviour that cannot be written as a table
// (lock keys, banked registers, the Trident write quirk) lives in simulated_card.cpp, keyed by
// Family; docs/tvout-engine.md lists what each personality models.
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace cs::tvout {

enum class CardId {
  kIbmVga,
  kS3Trio64,
  kS3Virge,
  kS3Vision864,
  kAtiMach64,
  kCirrus,
  kTrident8800br,
  kTrident9000i,
  kTrident3d,
  kTsengEt3000,
  kTsengEt4000,
  kOakOti037,
  kOakOti087,
  kWd90c00,
  kWd90c30,
  kUmc,
  kRealtek,
  kRealtekRtg3103,
  kIntel,
  kSis6326,
  kSis300,
};

enum class Family {
  kIbm,
  kS3,
  kAti,
  kCirrus,
  kTrident,
  kTseng,
  kOak,
  kWd,
  kUmc,
  kRealtek,
  kIntel,
  kSis
};

// Register banks reached through an index port.
enum class Bank : std::uint8_t {
  kSeq,   // 0x3C4/0x3C5
  kCrtc,  // CrtcPort / CrtcPort + 1
  kGfx,   // 0x3CE/0x3CF
  kAttr,  // 0x3C0/0x3C1
  kOak,   // 0x3DE/0x3DF
};

// What must hold for writes to an extended register to take effect. Reads always answer.
enum class Lock : std::uint8_t {
  kNone,
  kS3Crtc,      // CR38 = 0x48 (CR2D-CR3F)
  kS3CrtcExt,   // CR39 = 0xA5 (CR40 and up)
  kS3Seq,       // SR08 = 0x06 (SR09 and up)
  kCirrus,      // SR06 = 0x12
  kTsengKey,    // 0x3BF <- 0x03, then CrtcPort + 4 <- 0xA0
  kUmc,         // 0x3BF = 0xAC
  kWdPr5,       // GR0F bits 0-2 = 5 (GR09-GR0E)
  kWdPr10,      // CR29 & 0x8F = 0x85 (CR2A and up)
  kSis,         // SR05 = 0x86
  kIntel,       // CR80 bit 0
  kTridentExt,  // new-mode SR0E bit 7 (CR29 and the clock word)
};

struct ExtReg {
  Bank bank;
  std::uint8_t index;
  std::uint8_t reset;     // power-on value; bits outside `writable` keep it for good
  std::uint8_t writable;  // 0 for an ID or status register
  Lock lock;
};

// How the horizontal CRTC counts and how many VCLKs make one CRTC dot in the deeper modes.
enum class DepthModel {
  kPixels,         // CRTC in pixels, one VCLK per pixel at every depth
  kBytes,          // CRTC in bytes (16 bpp: twice the characters), one VCLK per byte
  kS3TwoPerClock,  // CRTC in pixels; in 15/16-bit colour (CR67) two pixels per VCLK
  kTridentDepth,   // CRTC in pixels; hi-colour VCLK from the clock word, one VCLK per byte
  kCirrusModes,    // CRTC in pixels; VCLKs per pixel by the SR07 pixel mode
};

enum class ClockKind {
  kFixed,           // a clock table indexed by Misc bits 2-3 and chip bits
  kS3Pll,           // Misc 0/1 fixed, 2/3 the DCLK synthesiser SR12/SR13
  kVisionExternal,  // Misc 0/1 fixed, 3 an external clock chip indexed by CR42 bits 0-3
  kCirrusVclk,      // Misc selects VCLK0-3, each a synthesiser SR0B-0E / SR1B-1E
  kAtiPll,          // the block register clock select and the integrated synthesiser
  kTridentPll,      // Misc 0/1 fixed in 8-bit colour, the clock word otherwise
  kIntelPll,        // Misc 0/1 fixed, 2/3 a synthesiser CR60-CR62
  kSisPll,          // Misc 0/1 fixed, 2/3 a synthesiser SR2B/SR2C
};

struct Personality {
  CardId id;
  std::string_view name;
  Family family;
  std::uint8_t chipset;  // Chipset code the identification finds
  std::uint16_t model;   // Model number the identification finds
  std::string_view description;
  std::uint32_t memoryBytes;
  double maxVclkMhz;
  int maxBpp;
  DepthModel depth;
  ClockKind clock;
  std::vector<double> clockTableMhz;  // kFixed and kVisionExternal
  bool pci;
  std::uint16_t pciVendor;
  std::uint16_t pciDevice;
  std::vector<ExtReg> ext;
};

const std::vector<Personality>& Personalities();
const Personality& PersonalityFor(CardId id);
std::optional<CardId> CardByName(std::string_view name);

}  // namespace cs::tvout
