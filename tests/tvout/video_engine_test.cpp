// The timing engine against the simulated cards: the exact register values the design fixes,
// and the chip steps by the state they leave behind.
#include <gtest/gtest.h>

#include "tvout/timing_tables.h"
#include "tvout_rig.h"

namespace cs::tvout {
namespace {

using testing::LogCapture;
using testing::Rig;

TEST(HorizontalTest, PalRow5OnA640PixelMode) {
  Rig rig(CardId::kS3Trio64);
  ASSERT_EQ(rig.Cr(0x01), 0x4F);
  rig.Apply();
  EXPECT_EQ(rig.engine.lastApply().row, 5);
  EXPECT_EQ(rig.Cr(0x00), 0x6C);
  EXPECT_EQ(rig.Cr(0x01), 0x4F);
  EXPECT_EQ(rig.Cr(0x02), 0x54);
  EXPECT_EQ(rig.Cr(0x04), 0x5A);
  EXPECT_EQ(rig.engine.timings.HBlankEnd, 0x6A);
  EXPECT_EQ(rig.Cr(0x03) & 0x1F, 0x0A);
  EXPECT_EQ(rig.Cr(0x05) & 0x80, 0x80);
  EXPECT_EQ(rig.engine.timings.HSyncEnd, 0x62);
  EXPECT_EQ(rig.Cr(0x05) & 0x1F, 0x02);
  EXPECT_EQ(rig.Cr(0x3B), 0x6C);  // S3 data transfer position follows the total
}

// The blanking end for rows whose start plus width passes the total.
TEST(HorizontalTest, BlankingEndRules) {
  struct Case {
    std::uint8_t standard;
    std::uint8_t cr01;  // displayed characters - 1
    int row;
    std::uint8_t hblankEnd;
  } cases[] = {
      {kStandardPal, 131, 12, 1},     // 175 against a total register of 174
      {kStandardNtsc, 199, 15, 219},  // the total register: blanking start 191 is below 193
      {kStandardPal, 199, 15, 0},     // blanking start 193
      {kStandardPal, 79, 5, 0x6A},    // inside the line
  };
  for (const Case& c : cases) {
    Rig rig(CardId::kS3Trio64, {640, 480, 8}, c.standard);
    rig.card.SetReg(Bank::kCrtc, 0x01, c.cr01);
    rig.Apply();
    EXPECT_EQ(rig.engine.lastApply().row, c.row) << int(c.cr01);
    EXPECT_EQ(rig.engine.timings.HBlankEnd, c.hblankEnd) << int(c.cr01);
    EXPECT_EQ(rig.Cr(0x03) & 0x1F, c.hblankEnd & 0x1F);
    EXPECT_EQ((rig.Cr(0x05) >> 7) & 1, (c.hblankEnd >> 5) & 1);
  }
}

TEST(HorizontalTest, DisplayEndIsClippedToFourBeforeTheSync) {
  Rig rig(CardId::kS3Trio64, {1600, 1200, 8});
  rig.Apply();
  EXPECT_EQ(rig.engine.lastApply().row, 15);  // 200 characters
  EXPECT_EQ(rig.engine.lastApply().ClockCode, 0x101);
  EXPECT_EQ(rig.Cr(0x01), 0xC7 - 4);
}

TEST(HorizontalTest, NinetySixColumnsDependOnTheLineCount) {
  struct Case {
    DisplayMode mode;
    int row;
    std::uint16_t code;
  } cases[] = {{{1280, 1024, 8}, 7, 0x101}, {{1024, 768, 8}, 8, 0x111}};
  for (const Case& c : cases) {
    Rig rig(CardId::kS3Trio64, c.mode);
    rig.card.SetReg(Bank::kCrtc, 0x01, 95);
    rig.Apply();
    EXPECT_EQ(rig.engine.lastApply().row, c.row) << c.mode.height;
    EXPECT_EQ(rig.engine.lastApply().ClockCode, c.code) << c.mode.height;
  }
  // The line count counted by two (CR17 bit 2) is read once: the vertical step still sees 1024.
  Rig rig(CardId::kS3Trio64, {1280, 1024, 8});
  rig.card.SetReg(Bank::kCrtc, 0x01, 95);
  rig.Apply();
  EXPECT_EQ(rig.engine.lastApply().displayedLines, 1024);
  EXPECT_TRUE(rig.engine.lastApply().verticalWritten);
  EXPECT_EQ(rig.engine.timings.VSyncStart, 274);  // 1024 -> 512 (interlace) -> 256
}

TEST(HorizontalTest, WidthOutsideTheTableLeavesHorizontalAndClock) {
  Rig rig(CardId::kS3Trio64);
  rig.card.SetReg(Bank::kCrtc, 0x01, 0x50);  // 81 characters
  const std::uint8_t misc = rig.card.Misc();
  const std::uint8_t cr00 = rig.Cr(0x00);
  rig.Apply();
  EXPECT_FALSE(rig.engine.lastApply().row);
  EXPECT_EQ(rig.Cr(0x00), cr00);
  EXPECT_EQ(rig.card.Misc(), misc);
  EXPECT_TRUE(rig.engine.lastApply().verticalWritten);  // the vertical step still runs
}

TEST(HorizontalTest, Column132SetsLineGraphics) {
  Rig rig(CardId::kS3Trio64);
  rig.card.SetReg(Bank::kCrtc, 0x01, 131);
  rig.Apply();
  EXPECT_EQ(rig.engine.lastApply().ClockCode, 0x000);
  EXPECT_EQ(rig.card.Reg(Bank::kAttr, 0x10), 0x41 | 0x04);
  EXPECT_EQ(rig.Sr(0x01) & 0x09, 0x00);  // nine-dot characters, no halving
}

// The S3 Trio64 example of the design, and its variants.
TEST(S3Test, Trio64At640x480Pal) {
  struct Case {
    int bpp;
    bool interlace;
    std::uint16_t code;
    std::uint8_t offset;
  } cases[] = {
      {8, true, 0x111, 80},    // interlace: the chip skips lines itself
      {8, false, 0x111, 160},  // 480 -> 240 by the generic halving, offset doubled
      {16, true, 0x119, 160},
  };
  for (const Case& c : cases) {
    Rig rig(CardId::kS3Trio64, {640, 480, c.bpp}, kStandardPal, c.interlace);
    rig.Apply();
    const StoredTimings& t = rig.engine.timings;
    EXPECT_EQ(rig.engine.lastApply().row, 5);
    EXPECT_EQ(rig.engine.lastApply().ClockCode, c.code) << c.bpp;
    EXPECT_EQ(t.VDispEnd, 239);
    EXPECT_EQ(t.VSyncStart, 266);
    EXPECT_EQ(t.VBlankStart, 263);
    EXPECT_EQ(t.VSyncEnd, 270);
    EXPECT_EQ(t.VBlankEnd, 288);
    EXPECT_EQ(t.VTotalReg, 311);
    EXPECT_EQ(rig.Cr(0x13), c.offset) << c.bpp << c.interlace;
    EXPECT_EQ((rig.Cr(0x42) & 0x20) != 0, c.interlace);
    if (c.interlace) {
      EXPECT_EQ(rig.Cr(0x3C), 108 >> 1);  // half line
    }
    EXPECT_EQ(rig.Sr(0x15) & 0x10, 0x10);  // the chip's clock halving
  }
}

TEST(VerticalTest, Ntsc800x600WithoutInterlace) {
  Rig rig(CardId::kS3Trio64, {800, 600, 8}, kStandardNtsc, false);
  rig.Apply();
  EXPECT_EQ(rig.engine.lastApply().row, 8);
  EXPECT_EQ(rig.engine.timings.VDispEnd, 256);  // 600 -> 300, pair (300, 258): 257 lines
  EXPECT_EQ(rig.engine.timings.VSyncStart, 258);
  EXPECT_EQ(rig.engine.timings.VTotalReg, 261);
  EXPECT_EQ(rig.engine.timings.VBlankEnd, 262 + 14 - 261);
}

TEST(VerticalTest, OddEvenSyncSizeShortensTheSync) {
  Rig normal(CardId::kS3Trio64);
  Rig shorter(CardId::kS3Trio64);
  shorter.engine.settings.OddOrEvenSyncSize = 1;
  normal.Apply();
  shorter.Apply();
  EXPECT_EQ(shorter.engine.timings.VSyncEnd, normal.engine.timings.VSyncEnd - 1);
  EXPECT_EQ(shorter.engine.timings.VBlankEnd, normal.engine.timings.VBlankEnd - 1);
  EXPECT_EQ(shorter.Out().vsyncLines, normal.Out().vsyncLines - 1);
}

TEST(VerticalTest, TsengEt4000DoublesAndEt3000DoesNot) {
  Rig et4000(CardId::kTsengEt4000);
  Rig et3000(CardId::kTsengEt3000);
  et4000.Apply();
  et3000.Apply();
  const StoredTimings& d = et4000.engine.timings;
  EXPECT_EQ(d.VDispEnd, 479);
  EXPECT_EQ(d.VSyncStart, 532);
  EXPECT_EQ(d.VBlankStart, 526);
  EXPECT_EQ(d.VSyncEnd, 540);
  EXPECT_EQ(d.VTotalReg, 623);
  EXPECT_EQ(d.VBlankEnd, 576);
  EXPECT_EQ(et4000.Cr(0x35) & 0x80, 0x80);
  const StoredTimings& s = et3000.engine.timings;
  EXPECT_EQ(s.VDispEnd, 239);
  EXPECT_EQ(s.VSyncStart, 266);
  EXPECT_EQ(s.VTotalReg, 311);
  EXPECT_EQ(et3000.Cr(0x25) & 0x80, 0x80);
  // Both are 625-line interlaced frames on the wire.
  EXPECT_DOUBLE_EQ(et4000.Out().linesPerField, 312.5);
  EXPECT_DOUBLE_EQ(et3000.Out().linesPerField, 312.5);
}

TEST(VerticalTest, LineCountsWithAndWithoutAPair) {
  // 350 displayed lines without interlace: 175 per field, the first pair.
  Rig rig(CardId::kS3Trio64, {640, 480, 8}, kStandardPal, false);
  rig.card.SetReg(Bank::kCrtc, 0x12, 349 & 0xFF);
  rig.card.SetReg(Bank::kCrtc, 0x07, static_cast<std::uint8_t>((rig.Cr(0x07) & ~0x42) | 0x02));
  rig.Apply();
  EXPECT_TRUE(rig.engine.lastApply().verticalWritten);
  EXPECT_EQ(rig.engine.timings.VSyncStart, 234);
  EXPECT_EQ(rig.engine.timings.VDispEnd, 174);

  // 768 lines without interlace: 384 per field has no pair; the vertical timings stay.
  Rig big(CardId::kS3Trio64, {1024, 768, 8}, kStandardPal, false);
  std::vector<std::uint8_t> before;
  for (std::uint8_t i : {0x06, 0x07, 0x10, 0x12, 0x13, 0x15, 0x16}) before.push_back(big.Cr(i));
  big.Apply();
  EXPECT_FALSE(big.engine.lastApply().verticalWritten);
  std::vector<std::uint8_t> after;
  for (std::uint8_t i : {0x06, 0x07, 0x10, 0x12, 0x13, 0x15, 0x16}) after.push_back(big.Cr(i));
  EXPECT_EQ(after, before);
  EXPECT_EQ(big.engine.lastApply().row, 11);  // the horizontal step did run
}

TEST(VerticalTest, DoubleScanIsClearedAndNeverInterlaced) {
  for (CardId id : {CardId::kS3Trio64, CardId::kTsengEt4000, CardId::kIbmVga}) {
    Rig rig(id, {320, 240, 8});
    const std::uint8_t offset = rig.Cr(0x13);
    rig.Apply();
    const Signal s = rig.Out();
    EXPECT_FALSE(s.interlaced) << rig.card.personality().name;
    EXPECT_EQ(s.visibleLines, 240) << rig.card.personality().name;  // pair (240, 266)
    EXPECT_EQ(rig.Cr(0x09) & 0x81, 0x00);
    EXPECT_EQ(rig.Cr(0x13), offset);  // halved for the double scan, doubled for 480 -> 240
  }
}

TEST(EngineTest, EmptyTablesWriteNothingAndTheLookupStopsAtTenPairs) {
  Rig rig(CardId::kS3Trio64);
  rig.engine.settings.HorzTable = {};
  rig.engine.settings.VertTable = {};
  LogCapture log;
  rig.card.SetTracing(true);
  rig.Apply();
  bool wrote = false;
  for (const PortAccess& a : rig.card.trace()) wrote = wrote || a.write;
  EXPECT_FALSE(wrote);
  EXPECT_FALSE(rig.engine.lastApply().programmed);
  EXPECT_TRUE(log.Contains("without a selected standard"));

  // A vertical table without its 320-line end marker is searched to its tenth pair, no further.
  Rig marker(CardId::kS3Trio64);
  for (auto& p : marker.engine.settings.VertTable) p = {100, 150};
  marker.Apply();
  EXPECT_TRUE(marker.engine.lastApply().programmed);
  EXPECT_FALSE(marker.engine.lastApply().verticalWritten);
}

TEST(EngineTest, NothingHappensOutsideTvMode) {
  Rig rig(CardId::kS3Trio64);
  rig.engine.settings.TVModeOn = 0;
  rig.card.SetTracing(true);
  rig.Apply();
  rig.engine.ShiftLeft();
  rig.engine.ScrollUp();
  EXPECT_TRUE(rig.card.trace().empty());
}

TEST(EngineTest, ApplyKeepsTheSequencerIndexAndUnprotectsTheCrtc) {
  Rig rig(CardId::kCirrus);
  rig.card.PortWrite8(kSeqIndex, 0x02);
  ASSERT_EQ(rig.Cr(0x11) & 0x80, 0x80);
  rig.Apply();
  EXPECT_EQ(rig.card.PortRead8(kSeqIndex), 0x02);
  EXPECT_EQ(rig.Cr(0x11) & 0x80, 0x00);
  EXPECT_EQ(rig.Sr(0x00), 0x03);
}

TEST(EngineTest, SyncPolarityFollowsTheMask) {
  Rig negative(CardId::kS3Trio64);
  negative.engine.settings.Polarity = 0xF3;
  negative.Apply();
  EXPECT_EQ(negative.card.Misc() & 0xC0, 0xC0);
  Rig positive(CardId::kS3Trio64);
  positive.Apply();
  EXPECT_EQ(positive.card.Misc() & 0xC0, 0x00);
  EXPECT_EQ(positive.card.Misc() & 0x0C, 0x04);  // 28.322 MHz selected
}

// What UnlockChipset opens on each chip whose driver closed its extensions again.
TEST(EngineTest, UnlockOpensEachChipsLock) {
  struct Case {
    CardId card;
    Lock lock;
  } cases[] = {
      {CardId::kS3Trio64, Lock::kS3Crtc},      {CardId::kS3Trio64, Lock::kS3CrtcExt},
      {CardId::kS3Trio64, Lock::kS3Seq},       {CardId::kCirrus, Lock::kCirrus},
      {CardId::kTsengEt4000, Lock::kTsengKey}, {CardId::kUmc, Lock::kUmc},
      {CardId::kWd90c30, Lock::kWdPr5},        {CardId::kWd90c30, Lock::kWdPr10},
      {CardId::kSis6326, Lock::kSis},          {CardId::kIntel, Lock::kIntel},
  };
  for (const Case& c : cases) {
    Rig rig(c.card);
    ASSERT_FALSE(rig.card.Unlocked(c.lock)) << rig.card.personality().name;
    rig.card.UpdateCrtcPort();
    rig.engine.UnlockChipset();
    EXPECT_TRUE(rig.card.Unlocked(c.lock)) << rig.card.personality().name;
  }
}

TEST(EngineTest, ChipsetSevenWritesItsKeyAndDoublesInInterlace) {
  Rig rig(CardId::kIbmVga, {640, 480, 4});
  rig.engine.settings.Chipset = kChipSeven;
  rig.card.SetTracing(true);
  rig.Apply();
  bool key = false, interlace = false;
  int index = -1;
  for (const PortAccess& a : rig.card.trace()) {
    if (!a.write) continue;
    if (a.port == 0x3D4) index = static_cast<int>(a.value);
    if (a.port == 0x3D5) {
      key = key || (index == 0x1F && a.value == 0x57);
      interlace = interlace || (index == 0x33 && (a.value & 0x80));
    }
  }
  EXPECT_TRUE(key);
  EXPECT_TRUE(interlace);
  EXPECT_EQ(rig.engine.timings.VDispEnd, 479);  // doubled
  EXPECT_EQ(rig.engine.timings.VTotalReg, 623);
}

TEST(EngineTest, AtiWithoutAUsableBaseProgramsNothing) {
  Rig rig(CardId::kAtiMach64);
  rig.engine.settings.IOBase = 0;
  LogCapture log;
  rig.card.SetTracing(true);
  rig.Apply();
  EXPECT_TRUE(rig.card.trace().empty());
  EXPECT_TRUE(rig.card.hazards().empty());
  EXPECT_TRUE(log.Contains("usable I/O base"));
}

TEST(EngineTest, ApplyLeavesNoHazard) {
  // An asynchronous reset, a clock change under a running sequencer, a stray port: none of them.
  for (CardId id : {CardId::kS3Trio64, CardId::kOakOti037, CardId::kCirrus, CardId::kAtiMach64,
                    CardId::kTsengEt4000, CardId::kTrident3d}) {
    Rig rig(id);
    rig.Apply();
    EXPECT_TRUE(rig.card.hazards().empty())
        << rig.card.personality().name << ": " << rig.card.hazards().front();
  }
}

TEST(CenteringTest, RightThenLeftRestoresAndDownWrapsAtZero) {
  Rig rig(CardId::kS3Trio64);
  rig.Apply();
  const StoredTimings before = rig.engine.timings;
  const std::uint8_t cr04 = rig.Cr(0x04);
  rig.engine.ShiftRight();
  EXPECT_EQ(rig.Cr(0x04), cr04 - 1);
  EXPECT_EQ(rig.engine.timings.HBlankStart, before.HBlankStart - 1);
  rig.engine.ShiftLeft();
  EXPECT_EQ(rig.Cr(0x04), cr04);
  EXPECT_EQ(rig.engine.timings.HBlankEnd, before.HBlankEnd);
  EXPECT_EQ(rig.engine.timings.HSyncEnd, before.HSyncEnd);

  rig.engine.ScrollUp();
  EXPECT_EQ(rig.Cr(0x10), (before.VSyncStart + 1) & 0xFF);
  rig.engine.timings.VBlankStart = 0;
  rig.engine.ScrollDown();
  EXPECT_EQ(rig.engine.timings.VBlankStart, 0xFFFF);
  // Bit 9 of the blanking start goes back down with it.
  rig.engine.ScrollUp();
  EXPECT_EQ(rig.Cr(0x09) & 0x20, 0x00);
  EXPECT_EQ(rig.Cr(0x15), 0x00);
}

TEST(CenteringTest, OnlyWhatTheLastApplyProgrammedMoves) {
  // The width matched no row: the driver's horizontal timings must not be overwritten with
  // values never computed.
  Rig rig(CardId::kS3Trio64, {1024, 768, 8}, kStandardPal, false);
  rig.card.SetReg(Bank::kCrtc, 0x01, 0x50);
  rig.Apply();
  rig.card.SetTracing(true);
  rig.engine.ShiftLeft();
  rig.engine.ScrollUp();  // 768 lines without interlace: no vertical values either
  EXPECT_TRUE(rig.card.trace().empty());
}

TEST(VerticalTest, APitchTheChipCannotHoldIsReported) {
  // 1024 bytes per line, interlaced: 768 -> 384 -> 192 lines and the offset doubled to 256,
  // beyond the eight bits the Oak's offset has.
  Rig rig(CardId::kOakOti087, {1024, 768, 8});
  LogCapture log;
  rig.Apply();
  EXPECT_TRUE(log.Contains("does not fit the chip's 8-bit offset"));
  Rig s3(CardId::kS3Trio64, {1024, 768, 8});
  LogCapture quiet;
  s3.Apply();
  EXPECT_EQ(s3.Cr(0x13), 0x00);
  EXPECT_EQ(s3.Cr(0x51) & 0x30, 0x10);  // 256 in the S3's high bits
  EXPECT_FALSE(quiet.Contains("does not fit"));
}

TEST(TridentTest, NewModeSr0eKeepsItsPageBit) {
  for (CardId id : {CardId::kTrident9000i, CardId::kTrident3d}) {
    Rig rig(id, {640, 480, id == CardId::kTrident3d ? 16 : 8});
    rig.card.SetReg(Bank::kSeq, 0x0E, 0x02);  // page bit set as stored
    rig.Apply();
    EXPECT_EQ(rig.Sr(0x0E) & 0x02, 0x02) << rig.card.personality().name;
    EXPECT_EQ(rig.Sr(0x0E) & 0x80, 0x00);  // the write enable is closed again
  }
}

TEST(TridentTest, ClockWordsByPixelDepth) {
  struct Case {
    int bpp;
    std::uint16_t word;
  } cases[] = {{16, 0x0AD3}, {32, 0x04CF}};
  for (const Case& c : cases) {
    Rig rig(CardId::kTrident3d, {640, 480, c.bpp});
    rig.Apply();
    EXPECT_EQ(rig.card.TridentClockWord(), c.word);
    EXPECT_EQ(rig.Sr(0x0D) & 0x06, 0x02);  // halved by the chip
  }
  // 40 columns with the sequencer halving: the word's own divider takes it over.
  Rig rig(CardId::kTrident3d, {640, 480, 16});
  rig.card.SetReg(Bank::kCrtc, 0x01, 39);
  rig.Apply();
  EXPECT_EQ(rig.engine.lastApply().ClockCode, 0x111);
  EXPECT_EQ(rig.card.TridentClockWord(), 0x1AD3);
}

TEST(TridentTest, Model1WithGr0fBit3LeavesSr0d) {
  Rig rig(CardId::kTrident8800br);
  rig.card.SetReg(Bank::kGfx, 0x0F, 0x08);  // the clock is halved there already
  rig.Apply();
  EXPECT_EQ(rig.Sr(0x0D) & 0x02, 0x00);
  EXPECT_NEAR(rig.Out().hfreqHz, 15665, 30);
}

TEST(S3Test, Vision864SixteenBitCodes) {
  struct Case {
    DisplayMode mode;
    std::uint16_t code;
  } cases[] = {{{640, 480, 16}, 0x109}, {{1024, 768, 16}, 0x101}, {{1024, 768, 8}, 0x101}};
  for (const Case& c : cases) {
    Rig rig(CardId::kS3Vision864, c.mode);
    rig.Apply();
    EXPECT_EQ(rig.engine.lastApply().ClockCode, c.code) << ToString(c.mode);
    EXPECT_NEAR(rig.Out().hfreqHz, 15650, 120) << ToString(c.mode);
    EXPECT_FALSE(rig.card.Has(Bank::kSeq, 0x15));
  }
}

TEST(CirrusTest, ClockByPixelMode) {
  struct Case {
    DisplayMode mode;
    std::uint8_t sr07;  // 0: as the driver set it
    std::uint8_t sr0e, sr1e;
    bool clock3;
  } cases[] = {
      {{640, 480, 32}, 0, 0x5F, 0x19, true},    // four VCLKs per pixel
      {{640, 480, 8}, 0x05, 0x71, 0x27, true},  // 24-bit: three VCLKs per pixel
  };
  for (const Case& c : cases) {
    Rig rig(CardId::kCirrus, c.mode);
    if (c.sr07) rig.card.SetReg(Bank::kSeq, 0x07, c.sr07);
    rig.Apply();
    EXPECT_EQ(rig.Sr(0x0E), c.sr0e);
    EXPECT_EQ(rig.Sr(0x1E), c.sr1e);
    EXPECT_EQ((rig.card.Misc() & 0x0C) == 0x0C, c.clock3);
    EXPECT_NEAR(rig.Out().hfreqHz, 15650, 150);
  }
  // One VCLK per pixel: VCLK3 is VCLK1 with the numerator halved.
  Rig rig(CardId::kCirrus);
  const std::uint8_t num1 = rig.Sr(0x0C);
  const std::uint8_t den1 = rig.Sr(0x1C);
  rig.Apply();
  EXPECT_EQ(rig.Sr(0x0E), num1 >> 1);
  EXPECT_EQ(rig.Sr(0x1E), den1);
  EXPECT_EQ(rig.card.Misc() & 0x0C, 0x0C);
}

}  // namespace
}  // namespace cs::tvout
