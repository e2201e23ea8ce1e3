// The simulated card as a model: the VGA behaviours the engine relies on, the chip facts the
// chipset identification relies on, and the driver's own modes putting out standard signals.
#include <gtest/gtest.h>

#include <cmath>

#include "tvout/signal_evaluator.h"
#include "tvout/simulated_display_driver.h"
#include "tvout_rig.h"

namespace cs::tvout {
namespace {

TEST(CardModelTest, CrtcWriteProtection) {
  SimulatedCard card(CardId::kIbmVga);
  card.SetReg(Bank::kCrtc, 0x11, 0x8E);
  card.WriteCrtc(0x00, 0x12);
  card.WriteCrtc(0x07, 0xFF);
  EXPECT_EQ(card.Reg(Bank::kCrtc, 0x00), 0x5F);
  EXPECT_EQ(card.Reg(Bank::kCrtc, 0x07), 0x1F | 0x10);  // only bit 4 went through
  card.ModifyCrtc(0x11, 0x7F, 0x00);
  card.WriteCrtc(0x00, 0x12);
  EXPECT_EQ(card.Reg(Bank::kCrtc, 0x00), 0x12);
  card.WriteCrtc(0x18, 0x40);  // CR08 and up are never protected
  EXPECT_EQ(card.Reg(Bank::kCrtc, 0x18), 0x40);
}

TEST(CardModelTest, AttributeFlipFlop) {
  SimulatedCard card(CardId::kIbmVga);
  card.PortRead8(0x3DA);  // index state
  card.PortWrite8(0x3C0, 0x30);
  EXPECT_EQ(card.PortRead8(0x3C1), 0x0C);
  card.PortWrite8(0x3C0, 0x41);  // data state: AR10
  EXPECT_EQ(card.Reg(Bank::kAttr, 0x10), 0x41);
  card.PortWrite8(0x3C0, 0x32);  // index again
  card.PortWrite8(0x3C0, 0x05);
  EXPECT_EQ(card.Reg(Bank::kAttr, 0x12), 0x05);
  card.PortWrite8(0x3C0, 0x30);
  card.PortRead8(0x3DA);  // reset: the next write is an index
  card.PortWrite8(0x3C0, 0x31);
  EXPECT_EQ(card.Reg(Bank::kAttr, 0x10), 0x41);
  EXPECT_EQ(card.PortRead8(0x3C0), 0x31);
}

TEST(CardModelTest, InputStatusFollowsTheBeam) {
  testing::Rig rig(CardId::kS3Trio64);
  int retrace = 0, blank = 0;
  constexpr int kReads = 200000;  // 0.2 s at one access per microsecond: 12 frames
  for (int i = 0; i < kReads; ++i) {
    const std::uint8_t v = rig.card.PortRead8(0x3DA);
    retrace += (v >> 3) & 1;
    blank += v & 1;
  }
  // 640x480@60: 2 of 525 lines in retrace, 160 of 800 dots or 45 of 525 lines blanked.
  EXPECT_NEAR(retrace / double(kReads), 2.0 / 525, 0.002);
  EXPECT_NEAR(blank / double(kReads), 1 - (480.0 / 525) * (640.0 / 800), 0.02);
}

TEST(CardModelTest, Hazards) {
  struct Case {
    const char* what;
    std::function<void(SimulatedCard&)> act;
    const char* expect;
  } cases[] = {
      {"async reset", [](SimulatedCard& c) { c.PortWrite16(0x3C4, 0x0000); }, "asynchronous"},
      {"sync reset", [](SimulatedCard& c) { c.PortWrite16(0x3C4, 0x0100); }, nullptr},
      {"clock change while running", [](SimulatedCard& c) { c.PortWrite8(0x3C2, 0x2B); },
       "while the sequencer runs"},
      {"clock change in reset",
       [](SimulatedCard& c) {
         c.PortWrite16(0x3C4, 0x0100);
         c.PortWrite8(0x3C2, 0x2B);
         c.PortWrite16(0x3C4, 0x0300);
       },
       nullptr},
      {"reset control", [](SimulatedCard& c) { c.PortWrite8(0xCF9, 0x06); }, "reset control"},
      {"keyboard controller", [](SimulatedCard& c) { c.PortWrite8(0x64, 0xFE); }, "0x0064"},
  };
  for (const Case& c : cases) {
    SimulatedCard card(CardId::kS3Trio64);
    card.SetMisc(0x27);
    c.act(card);
    if (c.expect == nullptr) {
      EXPECT_TRUE(card.hazards().empty()) << c.what;
    } else {
      ASSERT_EQ(card.hazards().size(), 1u) << c.what;
      EXPECT_NE(card.hazards()[0].find(c.expect), std::string::npos) << card.hazards()[0];
    }
  }
}

TEST(CardModelTest, TridentBanksAndTheInvertedBit) {
  SimulatedCard card(CardId::kTrident9000i);
  EXPECT_EQ(card.ReadIndexed(0x3C4, 0x0B), 0x43);  // version; new mode
  card.WriteIndexed(0x3C4, 0x0E, 0x00);
  EXPECT_EQ(card.ReadIndexed(0x3C4, 0x0E), 0x02);  // stored with bit 1 inverted
  card.WriteIndexed(0x3C4, 0x0B, 0x00);            // old mode
  card.WriteIndexed(0x3C4, 0x0E, 0x10);
  EXPECT_EQ(card.ReadIndexed(0x3C4, 0x0E), 0x10);
  EXPECT_EQ(card.TridentOld(0x0E), 0x10);
  card.ReadIndexed(0x3C4, 0x0B);  // new again
  EXPECT_EQ(card.ReadIndexed(0x3C4, 0x0E), 0x02);

  SimulatedCard old(CardId::kTrident8800br);
  EXPECT_EQ(old.ReadIndexed(0x3C4, 0x0B), 0x01);
  old.WriteIndexed(0x3C4, 0x0E, 0x00);
  EXPECT_EQ(old.ReadIndexed(0x3C4, 0x0E), 0x00);
}

TEST(CardModelTest, AtiSynthesiserWritesNeedTheEnableBit) {
  SimulatedCard card(CardId::kAtiMach64);
  const std::uint16_t base = card.AtiIoBase();
  card.PortWrite8(base + 0x91, 0x0A << 2);  // no write enable
  card.PortWrite8(base + 0x92, 0x55);
  EXPECT_EQ(card.AtiPll(0x0A), 0x00);
  card.PortWrite8(base + 0x91, 0x0A << 2 | 0x02);
  card.PortWrite8(base + 0x92, 0x55);
  EXPECT_EQ(card.AtiPll(0x0A), 0x55);
  EXPECT_EQ(card.PortRead8(base + 0x92), 0x55);
  card.PortWrite8(base + 0xE4, 0x00);  // configuration status is read-only
  EXPECT_EQ(card.AtiBlock8(0xE4), 0x05);
  card.PortWrite32(base + 0x24, 0x12345678);
  EXPECT_EQ(card.PortRead16(base + 0x26), 0x1234);
}

TEST(CardModelTest, PhysicalMemory) {
  SimulatedCard card(CardId::kAtiMach64);
  std::uint32_t v = 0;
  card.GetPhysLong(0xC0000, &v);
  EXPECT_EQ(v & 0xFFFF, 0xAA55u);
  card.GetPhysLong(0xC7FFE, &v);  // the image ends inside this dword
  EXPECT_EQ(v >> 16, 0xFFFFu);
  card.GetPhysLong(0x100000, &v);
  EXPECT_EQ(v, 0xFFFFFFFFu);
}

// ---- what the chipset identification relies on ----

std::uint32_t Mech1(SimulatedCard& c, int slot, int reg) {
  c.PortWrite32(0xCF8, 0x80000000u | static_cast<std::uint32_t>(slot) << 11 |
                           static_cast<std::uint32_t>(reg));
  return c.PortRead32(0xCFC);
}

TEST(IdentificationFactsTest, PciConfigurationMechanisms) {
  struct Case {
    int mechanism;
    bool mech2Answers;  // bytes 0 written to 0xCF8 and 0xCFA read back 0
    bool mech1Answers;  // 0x80000000 written to 0xCF8 reads back
  } cases[] = {{1, false, true}, {2, true, false}, {0, false, false}};
  for (const Case& c : cases) {
    SimulatedCard card(CardId::kAtiMach64, CardOptions{c.mechanism});
    card.PortWrite8(0xCF8, 0x00);
    card.PortWrite8(0xCFA, 0x00);
    EXPECT_EQ(card.PortRead8(0xCF8) == 0 && card.PortRead8(0xCFA) == 0, c.mech2Answers);
    card.PortWrite32(0xCF8, 0x80000000);
    EXPECT_EQ(card.PortRead32(0xCF8) == 0x80000000u, c.mech1Answers);
  }
  SimulatedCard m1(CardId::kAtiMach64);
  EXPECT_EQ(Mech1(m1, 9, 0x00), 0x43541002u);
  EXPECT_EQ(Mech1(m1, 9, 0x08) >> 16, 0x0300u);
  EXPECT_EQ(Mech1(m1, 9, 0x14), 0xD801u);
  EXPECT_EQ(Mech1(m1, 3, 0x00), 0xFFFFFFFFu);
  EXPECT_EQ(Mech1(m1, 0, 0x08) >> 16, 0x0600u);  // the host bridge

  SimulatedCard m2(CardId::kSis300, CardOptions{2});
  m2.PortWrite8(0xCF8, 0x80);
  m2.PortWrite8(0xCFA, 0x00);
  EXPECT_EQ(m2.PortRead32(0xC000 + (9 << 8)), 0x03001039u);
  EXPECT_EQ(m2.PortRead32(0xC000 + (9 << 8) + 0x08) >> 16, 0x0300u);
  EXPECT_EQ(m2.PortRead32(0xC000 + (5 << 8)), 0xFFFFFFFFu);
}

// The register probes of the identification, one at a time on a fresh card after its driver
// set 640x480, in the identification's order. The first that succeeds names the chip.
std::optional<std::pair<int, int>> Probe(CardId id) {
  SimulatedCard c(id);
  SimulatedDisplayDriver driver(c);
  driver.SetMode(id == CardId::kIbmVga ? DisplayMode{640, 480, 4} : DisplayMode{640, 480, 8});
  c.UpdateCrtcPort();
  const std::uint16_t crtc = c.CrtcPort;
  // Oak
  if (c.TestIndexedBits(0x3DE, 0x0D, 0x38)) {
    return std::pair{20, c.TestIndexedBits(0x3DE, 0x23, 0x1F) ? 0x53 : c.PortRead8(0x3DE) >> 5};
  }
  // Trident
  c.WriteIndexed(0x3C4, 0x0B, 0x00);
  const int version = c.ReadIndexed(0x3C4, 0x0B);
  const std::uint8_t e = c.ReadIndexed(0x3C4, 0x0E);
  c.PortWrite8(0x3C5, 0x00);
  const int r = c.PortRead8(0x3C5) & 0x0F;
  c.PortWrite8(0x3C5, e);
  if (r == 2) {
    c.WriteIndexed(0x3C4, 0x0E, e ^ 0x02);
    return std::pair{60, version};
  }
  if (version == 1 && c.TestIndexedBits(0x3C4, 0x0E, 0x06)) return std::pair{60, 1};
  // Cirrus
  const std::uint8_t o = c.ReadIndexed(0x3C4, 0x06);
  c.PortWrite8(0x3C5, 0x00);
  if (c.PortRead8(0x3C5) == 0x0F) {
    c.PortWrite8(0x3C5, 0x12);
    if ((c.PortRead8(0x3C5) & 0x07) == 2 && c.TestIndexedBits(0x3C4, 0x1E, 0x3F)) {
      return std::pair{4, 0};
    }
  }
  c.WriteIndexed(0x3C4, 0x06, o);
  // S3
  c.WriteIndexed(crtc, 0x38, 0x00);
  if (!c.TestIndexedBits(crtc, 0x35, 0x0F)) {
    c.WriteIndexed(crtc, 0x38, 0x48);
    if (c.TestIndexedBits(crtc, 0x35, 0x0F)) {
      const int cr30 = c.ReadIndexed(crtc, 0x30);
      return std::pair{3, (cr30 == 0xE0 || cr30 == 0xE1) ? c.ReadIndexed(crtc, 0x2E) : cr30};
    }
  }
  // UMC
  c.PortWrite8(0x3BF, 0x03);
  if (!c.TestIndexedBits(0x3C4, 0x06, 0xFF)) {
    c.PortWrite8(0x3BF, 0xAC);
    if (c.TestIndexedBits(0x3C4, 0x06, 0xFF)) return std::pair{12, 0};
  }
  // Western Digital
  const std::uint8_t g = c.ReadIndexed(0x3CE, 0x0F);
  c.WriteIndexed(0x3CE, 0x0F, g | 0x17);
  if (!c.TestIndexedBits(0x3CE, 0x09, 0x7F)) {
    c.MaskedIndexedWrite(0x3CE, 0x0F, 0x17, 0x05);
    if (c.TestIndexedBits(0x3CE, 0x09, 0x7F)) {
      return std::pair{13, c.ReadIndexed(crtc, 0x36) << 8 | c.ReadIndexed(crtc, 0x37)};
    }
  }
  c.WriteIndexed(0x3CE, 0x0F, g);
  // Tseng
  c.PortWrite8(0x3BF, 0x03);
  c.PortWrite8(static_cast<std::uint16_t>(crtc + 4), 0xA0);
  if (c.TestPortBits(0x3CD, 0x3F)) {
    return std::pair{5, c.TestIndexedBits(crtc, 0x33, 0x0F) ? 4000 : 3000};
  }
  // Realtek
  if (c.TestIndexedBits(crtc, 0x1F, 0x3F) || c.TestPortBits(0x3D6, 0x0F) ||
      c.TestPortBits(0x3D7, 0x0F)) {
    return std::nullopt;
  }
  return std::pair{2, c.ReadIndexed(crtc, 0x1A) == 0 ? 6 : 0};
}

TEST(IdentificationFactsTest, RegisterProbesFindEachIsaChip) {
  for (const Personality& p : Personalities()) {
    const bool pciTable =
        p.family == Family::kAti || p.family == Family::kIntel || p.family == Family::kSis;
    if (pciTable) continue;  // found by the bus scan before any probe
    const auto found = Probe(p.id);
    if (p.id == CardId::kIbmVga) {
      EXPECT_FALSE(found) << "a plain VGA must pass through every probe";
      continue;
    }
    ASSERT_TRUE(found) << p.name;
    EXPECT_EQ(found->first, p.chipset) << p.name;
    EXPECT_EQ(found->second, p.model) << p.name;
  }
}

// ---- the driver's own modes ----

TEST(DriverTest, EveryModePutsOutItsStandardSignal) {
  for (const Personality& p : Personalities()) {
    SimulatedCard card(p.id);
    SimulatedDisplayDriver driver(card);
    const auto modes = driver.SupportedModes();
    EXPECT_GE(modes.size(), 2u) << p.name;
    for (const DisplayMode& m : modes) {
      ASSERT_TRUE(driver.SetMode(m));
      const Signal s = EvaluateSignal(card);
      const std::string what = std::string(p.name) + " " + ToString(m);
      EXPECT_TRUE(s.sync) << what;
      EXPECT_TRUE(s.problems.empty()) << what << ": " << s.problems.front();
      EXPECT_FALSE(s.interlaced) << what;
      EXPECT_NEAR(s.fieldHz, 60.0, 2.0) << what;
      EXPECT_EQ(s.visibleLines, m.height == 240 ? 480 : m.height) << what;
      const double hfreq = m.height == 240    ? 31469
                           : m.height == 480  ? 31469
                           : m.height == 600  ? 37879
                           : m.height == 768  ? 48363
                           : m.height == 1024 ? 63981
                                              : 74006;
      EXPECT_NEAR(s.hfreqHz, hfreq, hfreq * 0.03) << what;
      EXPECT_TRUE(card.Reg(Bank::kCrtc, 0x11) & 0x80)
          << what << ": driver leaves CR00-07 protected";
    }
  }
}

TEST(DriverTest, RefusesWhatTheCardCannotShow) {
  SimulatedCard et3000(CardId::kTsengEt3000);
  SimulatedDisplayDriver driver(et3000);
  EXPECT_NE(driver.Refusal({1024, 768, 8}).value_or("").find("video memory"), std::string::npos);
  EXPECT_NE(driver.Refusal({640, 480, 16}).value_or("").find("16-bit"), std::string::npos);
  EXPECT_TRUE(driver.Refusal({720, 400, 8}));
  EXPECT_FALSE(driver.SetMode({640, 480, 32}));
  EXPECT_FALSE(driver.mode());
}

TEST(DisplayModeTest, Parsing) {
  EXPECT_EQ(ParseDisplayMode("640x480x16"), (DisplayMode{640, 480, 16}));
  EXPECT_EQ(ParseDisplayMode("1600x1200x8"), (DisplayMode{1600, 1200, 8}));
  for (const char* bad :
       {"", "640x480", "640x480x", "640x480x12", "x480x8", "640x480x8x", "640 x480x8", "+640x480x8",
        "640x480x08 ", "99999x480x8", "0x480x8", "640X480X8", "64O0x480x8"}) {
    EXPECT_FALSE(ParseDisplayMode(bad)) << bad;
  }
}

}  // namespace
}  // namespace cs::tvout
