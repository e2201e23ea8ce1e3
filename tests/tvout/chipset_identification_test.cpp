// Chipset identification on the simulated cards: every personality found as its brand and model,
// the bus cases (no PCI, mechanism 2, two cards), the probes leaving the registers as they found
// them, and the two lists of the window.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/log.h"
#include "tvout/chipset_selection.h"
#include "tvout/simulated_card.h"
#include "tvout/simulated_display_driver.h"
#include "tvout/video_engine.h"

namespace cs::tvout {
namespace {

// A card with its driver's desktop set, the engine and the window's chipset group on it.
struct Bench {
  explicit Bench(CardId id, CardOptions options = {})
      : card(id, std::move(options)), driver(card), engine(card, &driver), lists(card, engine) {
    const auto mode = DefaultDesktopMode(id);
    EXPECT_TRUE(mode && driver.SetMode(*mode)) << card.personality().name;
    lists.FillBrandList();
    card.ClearHazards();
    SetMessageBoxHandler([this](const std::string& text) { boxes.push_back(text); });
  }
  ~Bench() { SetMessageBoxHandler({}); }

  void Detect() { lists.btnAutoDetectClick(); }
  const EngineSettings& s() const { return engine.settings; }
  bool Traced(bool write, std::uint16_t port, std::uint32_t value) const {
    for (const PortAccess& a : card.trace()) {
      if (a.write == write && a.port == port && a.value == value) return true;
    }
    return false;
  }

  SimulatedCard card;
  SimulatedDisplayDriver driver;
  VideoEngine engine;
  ChipsetSelection lists;
  std::vector<std::string> boxes;
};

std::string BrandOf(std::uint8_t code) {
  for (const BrandEntry& b : BrandTable()) {
    if (b.code == code) return b.text;
  }
  return "?";
}

TEST(ChipsetDetectionTest, EachPersonalityIsFoundAsItsBrandAndModel) {
  for (const Personality& p : Personalities()) {
    Bench b(p.id);
    b.Detect();
    EXPECT_EQ(b.s().Chipset, p.chipset) << p.name;
    EXPECT_EQ(b.s().Model, p.model) << p.name;
    EXPECT_EQ(b.lists.BrandText(), BrandOf(p.chipset)) << p.name;
    EXPECT_EQ(b.lists.detection.PciMechanism, 1) << p.name;
    EXPECT_TRUE(b.lists.btnDetectNextEnabled) << p.name;
    EXPECT_TRUE(b.card.hazards().empty()) << p.name << ": " << b.card.hazards().front();
    EXPECT_TRUE(b.boxes.empty()) << p.name << ": " << b.boxes.front();
  }
}

TEST(ChipsetDetectionTest, ListsShowWhatWasFound) {
  struct Case {
    CardId card;
    const char* model;
  } cases[] = {
      {CardId::kS3Trio64, "Trio32/64"},
      {CardId::kS3Virge, "ViRGE"},
      {CardId::kS3Vision864, "Vision864/964"},
      {CardId::kTrident8800br, "8800BR"},
      {CardId::kTrident9000i, "9000i"},
      {CardId::kTrident3d, "3D (3Dimage, Blade3D, etc)"},
      {CardId::kTsengEt3000, "ET3000"},
      {CardId::kTsengEt4000, "ET4000"},
      {CardId::kOakOti087, "OTI083/87"},
      {CardId::kOakOti037, "Generic"},
      {CardId::kWd90c00, "WD90C00"},
      {CardId::kWd90c30, "WD90C30"},
      {CardId::kRealtekRtg3103, "RTG3103"},
      {CardId::kSis300, "SiS300"},
      {CardId::kSis6326, "Generic"},
      {CardId::kIntel, "Generic"},
      {CardId::kAtiMach64, "Generic (I/O: D800h)"},
  };
  for (const Case& c : cases) {
    Bench b(c.card);
    b.Detect();
    EXPECT_EQ(b.lists.ModelText(), c.model) << b.card.personality().name;
  }
}

TEST(ChipsetDetectionTest, AtiIoBaseAndClockParametersAreRead) {
  Bench b(CardId::kAtiMach64);  // BAR 1 reads 0xD801
  b.Detect();
  EXPECT_EQ(b.s().IOBase, 0xD800);
  ASSERT_EQ(b.lists.models.size(), 1u);
  EXPECT_EQ(b.lists.models[0].text, "Generic (I/O: D800h)");
  // The clock table of the card's BIOS (RefDiv 33), not the engine's initial 31.
  EXPECT_EQ(b.engine.ati.RefDiv, 33);
  EXPECT_EQ(b.engine.ati.VClkPostDiv, 4);
  // The scan went down to the host bridge in slot 0, and the I/O base search kept that.
  EXPECT_EQ(b.lists.detection.PciScanPos, 0);

  // Another base in the BAR.
  Bench c(CardId::kAtiMach64, CardOptions{.atiIoBase = 0xEC00});
  c.Detect();
  EXPECT_EQ(c.lists.ModelText(), "Generic (I/O: EC00h)");
}

TEST(ChipsetDetectionTest, BusCases) {
  // SiS device 0x6300 is stored as model 0x300 and shown as "SiS300".
  {
    Bench b(CardId::kSis300);
    b.card.AddPciFunction(9, PciFunction{0x1039, 0x6300, 0x03000001, 0xE0000008, 0});
    b.Detect();
    EXPECT_EQ(b.s().Chipset, kChipSis);
    EXPECT_EQ(b.s().Model, 0x300);
    EXPECT_EQ(b.lists.ModelText(), "SiS300");
  }
  // ATI and S3 on the bus, the S3 as the primary VGA: the scan knows only ATI, and the register
  // probes (which would find the S3) are skipped.
  {
    Bench b(CardId::kS3Trio64);
    b.card.AddPciFunction(10, PciFunctionFor(CardId::kAtiMach64, 0xD900));
    b.card.SetTracing(true);
    b.Detect();
    EXPECT_EQ(b.s().Chipset, kChipAti);
    EXPECT_EQ(b.s().IOBase, 0xD900);
    EXPECT_FALSE(b.Traced(true, kOakIndex, 0x0D)) << "the first probe ran";
    EXPECT_EQ(b.lists.ModelText(), "Generic (I/O: D900h)");
  }
  // Two recognised cards: the one in the lower slot is reported.
  for (int sisSlot : {4, 12}) {
    Bench b(CardId::kIntel);  // at slot 9
    b.card.AddPciFunction(sisSlot, PciFunctionFor(CardId::kSis6326));
    b.Detect();
    EXPECT_EQ(b.s().Chipset, sisSlot < 9 ? kChipSis : kChipIntel) << sisSlot;
  }
  // A display controller of another class (not VGA compatible) is passed over.
  {
    Bench b(CardId::kIbmVga);
    PciFunction other = PciFunctionFor(CardId::kAtiMach64);
    other.classRevision = 0x03800001;
    b.card.AddPciFunction(7, other);
    b.Detect();
    EXPECT_EQ(b.s().Chipset, kChipIbm);
  }
}

TEST(ChipsetDetectionTest, MechanismTwoAndNoPci) {
  // Mechanism 2: found through the 0xC000 window, which is closed again afterwards.
  for (CardId id : {CardId::kAtiMach64, CardId::kIntel, CardId::kSis300}) {
    Bench b(id, CardOptions{.pciMechanism = 2});
    b.Detect();
    EXPECT_EQ(b.lists.detection.PciMechanism, 2);
    EXPECT_EQ(b.s().Chipset, b.card.personality().chipset) << b.card.personality().name;
    EXPECT_EQ(b.card.PortRead8(0xCF8), 0x00) << "configuration window left open";
  }
  // No PCI: mechanism 0; the scan reads the 16 slots of the mechanism-2 window, then the probes
  // find the chip.
  Bench b(CardId::kTsengEt4000, CardOptions{.pciMechanism = 0});
  b.card.SetTracing(true);
  b.Detect();
  EXPECT_EQ(b.lists.detection.PciMechanism, 0);
  EXPECT_EQ(b.s().Chipset, kChipTseng);
  EXPECT_EQ(b.s().Model, 4000);
  std::vector<int> slots;
  for (const PortAccess& a : b.card.trace()) {
    if (!a.write && a.width == 4 && a.port >= 0xC000 && (a.port & 0xFF) == 0) {
      EXPECT_LT(a.port, 0xD000);
      slots.push_back((a.port - 0xC000) >> 8);
    }
  }
  std::vector<int> expected;
  for (int s = 15; s >= 0; --s) expected.push_back(s);
  EXPECT_EQ(slots, expected);
  EXPECT_TRUE(b.card.hazards().empty()) << b.card.hazards().front();
}

TEST(ChipsetDetectionTest, TridentVersionOneFailingSr0eFallsThrough) {
  // An 8800-class chip whose SR0E bits cannot be written: not taken for a Trident; the probes
  // after it run (Cirrus first), and none of them knows the chip.
  CardOptions stuck;
  stuck.overrides = {ExtReg{Bank::kSeq, 0x0E, 0x00, 0x00, Lock::kNone}};
  Bench b(CardId::kTrident8800br, stuck);
  b.card.SetTracing(true);
  b.Detect();
  EXPECT_TRUE(b.Traced(true, kSeqIndex, 0x06)) << "the Cirrus probe did not run";
  EXPECT_EQ(b.s().Chipset, kChipIbm);
  EXPECT_EQ(b.s().Model, 0);
}

TEST(ChipsetDetectionTest, NextAfterDetectionFindsNothingAndDisablesItself) {
  Bench b(CardId::kSis6326);
  b.Detect();
  EXPECT_TRUE(b.lists.btnDetectNextEnabled);
  EXPECT_EQ(b.lists.detection.PciScanPos, 0);
  b.lists.btnDetectNextClick();
  EXPECT_FALSE(b.lists.btnDetectNextEnabled);
  EXPECT_EQ(b.lists.detection.PciScanPos, 512);
  EXPECT_EQ(b.s().Chipset, kChipSis);
  // From the top again: the same card.
  b.lists.btnDetectNextClick();
  EXPECT_EQ(b.s().Model, 0x6326);
}

// ---- the probes leave the controller as they found it ----

struct Snapshot {
  std::vector<std::pair<std::string, int>> values;

  static Snapshot Of(SimulatedCard& c) {
    Snapshot s;
    const char* names[] = {"SR", "CR", "GR", "AR", "OR"};
    for (int bank = 0; bank < 5; ++bank) {
      for (int i = 0; i < 256; ++i) {
        const auto b = static_cast<Bank>(bank);
        if (!c.Has(b, static_cast<std::uint8_t>(i))) continue;
        char name[16];
        std::snprintf(name, sizeof name, "%s%02X", names[bank], i);
        s.values.emplace_back(name, c.Reg(b, static_cast<std::uint8_t>(i)));
      }
    }
    s.values.emplace_back("MISC", c.Misc());
    s.values.emplace_back("SR0D_old", c.TridentOld(0x0D));
    s.values.emplace_back("SR0E_old", c.TridentOld(0x0E));
    s.values.emplace_back("clock_word", c.TridentClockWord());
    for (int i = 0; i < 256; ++i) {
      s.values.emplace_back("ATI+" + std::to_string(i), c.AtiBlock8(static_cast<std::uint8_t>(i)));
    }
    for (int i = 0; i < 32; ++i) {
      s.values.emplace_back("PLL" + std::to_string(i), c.AtiPll(static_cast<std::uint8_t>(i)));
    }
    s.values.emplace_back("seq index", c.PortRead8(kSeqIndex));
    const std::pair<Lock, const char*> locks[] = {{Lock::kS3Crtc, "S3 CR38 lock"},
                                                  {Lock::kS3CrtcExt, "S3 CR39 lock"},
                                                  {Lock::kS3Seq, "S3 SR08 lock"},
                                                  {Lock::kCirrus, "Cirrus lock"},
                                                  {Lock::kWdPr5, "WD PR5"},
                                                  {Lock::kWdPr10, "WD PR10"},
                                                  {Lock::kSis, "SiS lock"},
                                                  {Lock::kIntel, "Intel lock"},
                                                  {Lock::kTridentExt, "Trident SR0E bit 7"}};
    for (const auto& [lock, name] : locks) s.values.emplace_back(name, c.Unlocked(lock));
    return s;
  }
};

std::string Differences(const Snapshot& a, const Snapshot& b) {
  std::string out;
  for (std::size_t i = 0; i < a.values.size() && i < b.values.size(); ++i) {
    if (a.values[i] != b.values[i]) {
      out += " " + a.values[i].first + ": " + std::to_string(a.values[i].second) + " -> " +
             std::to_string(b.values[i].second);
    }
  }
  return out;
}

TEST(ChipsetDetectionTest, EveryProbeRestoresWhatItChanged) {
  for (const Personality& p : Personalities()) {
    Bench b(p.id);
    b.card.PortWrite8(kSeqIndex, 0x02);  // an index the driver happened to leave selected
    const Snapshot before = Snapshot::Of(b.card);
    b.Detect();
    const Snapshot after = Snapshot::Of(b.card);
    EXPECT_EQ(Differences(before, after), "") << p.name;
    // And a second detection finds the same.
    b.Detect();
    EXPECT_EQ(b.s().Chipset, p.chipset) << p.name;
    EXPECT_EQ(b.s().Model, p.model) << p.name;
  }
}

TEST(ChipsetDetectionTest, LocksADriverLeftOpenStayOpenAndTheirRegistersIntact) {
  // A Cirrus driver that leaves its extensions open (SR06 = 0x12): the Trident probe's SR0B
  // write lands on the VCLK0 numerator, and must be undone.
  Bench c(CardId::kCirrus);
  c.card.WriteIndexed(kSeqIndex, 0x06, 0x12);
  c.card.WriteIndexed(kSeqIndex, 0x0B, 0x4A);
  c.Detect();
  c.Detect();
  EXPECT_EQ(c.s().Chipset, kChipCirrus);
  EXPECT_EQ(c.card.Reg(Bank::kSeq, 0x0B), 0x4A);
  EXPECT_TRUE(c.card.Unlocked(Lock::kCirrus));
  // An S3 driver that leaves CR38 open.
  Bench s(CardId::kS3Virge);
  s.card.WriteCrtc(0x38, 0x48);
  s.Detect();
  EXPECT_EQ(s.card.Reg(Bank::kCrtc, 0x38), 0x48);
}

// ---- the lists ----

TEST(ChipsetSelectionTest, ShowChipsetSelectionPositions) {
  struct Case {
    std::uint8_t chipset;
    std::uint16_t model;
    const char* brand;
    const char* modelText;
    std::uint8_t chipsetAfter;
  } cases[] = {
      {kChipS3, 16, "S3", "Trio32/64", kChipS3},
      {kChipS3, 0, "S3", "Generic", kChipS3},
      {kChipS3, 0x13, "S3", "Trio3D", kChipS3},
      {kChipS3, 0xD1, "S3", "Vision864/964", kChipS3},
      {kChipS3, 0xD2, "S3", "Generic", kChipS3},
      {kChipTseng, 3000, "Tseng Labs", "ET3000", kChipTseng},
      {kChipTrident, 0xF3, "Trident", "3D (3Dimage, Blade3D, etc)", kChipTrident},
      {kChipTrident, 0x43, "Trident", "9000i", kChipTrident},
      {kChipWd, 0x3330, "Western Digital", "WD90C30", kChipWd},
      {kChipOak, 5, "Oak Technologies", "OTI077", kChipOak},
      {kChipRealtek, 6, "Realtek", "RTG3103", kChipRealtek},
      {kChipSis, 0x6326, "SiS", "Generic", kChipSis},
      {kChipCirrus, 0, "Cirrus Logic", "Generic", kChipCirrus},
      {kChipIntel, 0x7800, "Intel", "Generic", kChipIntel},
      {kChipUmc, 0, "UMC", "Generic", kChipUmc},
      {kChipIbm, 1, "Standard IBM VGA", "Generic", kChipIbm},  // position 1 is past the list
      {0, 0, "Standard IBM VGA", "Generic", kChipIbm},
      {7, 0, "Unknown (7)", "Generic", 7},
      {7, 4000, "Unknown (7)", "Generic", 7},
  };
  for (const Case& c : cases) {
    Bench b(CardId::kIbmVga);
    b.engine.settings.Chipset = c.chipset;
    b.engine.settings.Model = c.model;
    b.lists.ShowChipsetSelection();
    const std::string what = std::to_string(c.chipset) + "/" + std::to_string(c.model);
    EXPECT_EQ(b.lists.BrandText(), c.brand) << what;
    EXPECT_EQ(b.lists.ModelText(), c.modelText) << what;
    EXPECT_EQ(b.s().Chipset, c.chipsetAfter) << what;
    EXPECT_EQ(b.s().Model, c.model) << what << ": selecting from code must not change Model";
  }
}

TEST(ChipsetSelectionTest, UnknownBrandEntryIsOneEntryAtTheEnd) {
  Bench b(CardId::kIbmVga);
  b.engine.settings.Chipset = 7;
  b.lists.ShowChipsetSelection();
  ASSERT_EQ(b.lists.brands.size(), 13u);
  EXPECT_EQ(b.lists.brandIndex, 12);
  b.engine.settings.Chipset = 200;
  b.lists.ShowChipsetSelection();
  ASSERT_EQ(b.lists.brands.size(), 13u);
  EXPECT_EQ(b.lists.BrandText(), "Unknown (200)");
  // The operator picks S3, then the unknown entry again: the code comes back.
  b.lists.SelectBrand(6);
  EXPECT_EQ(b.s().Chipset, kChipS3);
  b.lists.SelectBrand(12);
  EXPECT_EQ(b.s().Chipset, 200);
}

TEST(ChipsetSelectionTest, UserPicks) {
  Bench b(CardId::kTrident9000i);
  b.Detect();
  ASSERT_EQ(b.s().Model, 0x43);
  // A brand picked by hand: its list starts at "Generic", and so does Model.
  b.lists.SelectBrand(9);  // Tseng Labs
  EXPECT_EQ(b.s().Chipset, kChipTseng);
  EXPECT_EQ(b.lists.ModelText(), "Generic");
  EXPECT_EQ(b.s().Model, 0);
  b.lists.SelectModel(2);
  EXPECT_EQ(b.s().Model, 4000);
  // ATI picked on a machine without an ATI card: the box, then Standard IBM VGA.
  b.lists.SelectBrand(1);
  EXPECT_EQ(b.boxes, std::vector<std::string>{"Video chipset not found!!"});
  EXPECT_EQ(b.s().Chipset, kChipIbm);
  EXPECT_EQ(b.lists.BrandText(), "Standard IBM VGA");
  EXPECT_EQ(b.s().IOBase, 0);

  // On an ATI machine a model pick searches the bus again.
  Bench a(CardId::kAtiMach64);
  a.Detect();
  a.lists.SelectBrand(3);  // Intel
  a.lists.SelectBrand(1);  // ATI again
  EXPECT_EQ(a.s().Chipset, kChipAti);
  EXPECT_EQ(a.s().IOBase, 0xD800);
  a.lists.SelectModel(0);
  EXPECT_EQ(a.s().Model, 0x4354);
  EXPECT_TRUE(a.boxes.empty());
}

TEST(ChipsetSelectionTest, StoredAtiWithoutAnAtiCard) {
  Bench b(CardId::kS3Trio64);
  b.engine.settings.Chipset = kChipAti;
  b.lists.ShowChipsetSelection();
  EXPECT_EQ(b.boxes, std::vector<std::string>{"Video chipset not found!!"});
  EXPECT_EQ(b.s().Chipset, kChipIbm);
  EXPECT_EQ(b.lists.BrandText(), "Standard IBM VGA");
  EXPECT_EQ(b.lists.ModelText(), "Generic");
}

}  // namespace
}  // namespace cs::tvout
