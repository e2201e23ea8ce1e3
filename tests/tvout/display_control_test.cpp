// The display-mode reset: the simulated driver re-establishes its mode after an apply.
#include <gtest/gtest.h>

#include "tvout/register_restore_display_control.h"
#include "tvout_rig.h"

namespace cs::tvout {
namespace {

using testing::Rig;

std::vector<std::uint8_t> Snapshot(const SimulatedCard& c) {
  std::vector<std::uint8_t> v{c.Misc()};
  for (Bank b : {Bank::kSeq, Bank::kCrtc, Bank::kGfx, Bank::kAttr, Bank::kOak}) {
    for (int i = 0; i < 256; ++i) v.push_back(c.Reg(b, static_cast<std::uint8_t>(i)));
  }
  for (int i = 0; i < 256; ++i) v.push_back(c.AtiBlock8(static_cast<std::uint8_t>(i)));
  for (int i = 0; i < 32; ++i) v.push_back(c.AtiPll(static_cast<std::uint8_t>(i)));
  v.push_back(c.TridentOld(0x0D));
  v.push_back(c.TridentOld(0x0E));
  v.push_back(static_cast<std::uint8_t>(c.TridentClockWord()));
  v.push_back(static_cast<std::uint8_t>(c.TridentClockWord() >> 8));
  return v;
}

TEST(SimulatedDriverResetTest, ReestablishesTheModeAfterAnApply) {
  for (CardId id : {CardId::kS3Trio64, CardId::kAtiMach64, CardId::kTrident3d, CardId::kCirrus,
                    CardId::kTsengEt4000}) {
    Rig rig(id,
            {640, 480, id == CardId::kTsengEt4000 ? 16 : 32 / (id == CardId::kTrident3d ? 2 : 1)});
    const auto vga = Snapshot(rig.card);
    const Signal vgaSignal = rig.Out();
    rig.Apply();
    ASSERT_NE(Snapshot(rig.card), vga);
    EXPECT_TRUE(rig.driver.ResetDisplayMode());
    EXPECT_EQ(Snapshot(rig.card), vga) << rig.card.personality().name;
    EXPECT_DOUBLE_EQ(rig.Out().hfreqHz, vgaSignal.hfreqHz);
    EXPECT_EQ(rig.driver.resetCount(), 1);
  }
  SimulatedCard card(CardId::kIbmVga);
  SimulatedDisplayDriver none(card);
  EXPECT_FALSE(none.ResetDisplayMode());
}

// The window's mechanism: a reset followed by the apply, again and again, gives the same
// television timings each time (nothing accumulates from one apply to the next).
TEST(SimulatedDriverResetTest, ResetThenApplyIsRepeatable) {
  Rig rig(CardId::kOakOti087, {640, 480, 16});
  rig.Apply();
  const auto first = Snapshot(rig.card);
  for (int i = 0; i < 3; ++i) {
    rig.driver.ResetDisplayMode();
    rig.Apply();
    EXPECT_EQ(Snapshot(rig.card), first);
  }
}

// The hardware reset on the simulated card: save before the first apply, write back on reset.
// Everything the engine changed comes back, lock states included, for every personality.
TEST(RegisterRestoreTest, RestoresWhatTheApplyChanged) {
  for (const Personality& p : Personalities()) {
    for (bool interlace : {true, false}) {
      Rig rig(p.id, p.id == CardId::kIbmVga ? DisplayMode{640, 480, 4} : DisplayMode{640, 480, 8},
              kStandardPal, interlace);
      RegisterRestoreDisplayControl control(rig.card, rig.engine.settings);
      rig.engine.SetDisplayControl(&control);
      rig.card.PortWrite8(kSeqIndex, 0x02);
      rig.card.UpdateCrtcPort();
      const auto vga = Snapshot(rig.card);
      std::vector<bool> locks;
      for (int l = 0; l <= static_cast<int>(Lock::kTridentExt); ++l) {
        locks.push_back(rig.card.Unlocked(static_cast<Lock>(l)));
      }
      const Signal before = rig.Out();
      rig.Apply();
      ASSERT_TRUE(control.saved());
      ASSERT_NE(Snapshot(rig.card), vga) << p.name;
      EXPECT_TRUE(control.ResetDisplayMode());
      EXPECT_FALSE(control.saved());
      EXPECT_EQ(Snapshot(rig.card), vga) << p.name;
      std::vector<bool> after;
      for (int l = 0; l <= static_cast<int>(Lock::kTridentExt); ++l) {
        after.push_back(rig.card.Unlocked(static_cast<Lock>(l)));
      }
      EXPECT_EQ(after, locks) << p.name;
      EXPECT_DOUBLE_EQ(rig.Out().hfreqHz, before.hfreqHz) << p.name;
      EXPECT_EQ(rig.card.PortRead8(kSeqIndex), 0x02);
      EXPECT_TRUE(rig.card.hazards().empty()) << p.name << ": " << rig.card.hazards().front();
      // The next apply saves afresh.
      rig.Apply();
      EXPECT_TRUE(control.saved());
    }
  }
}

TEST(RegisterRestoreTest, TheTridentClockWordCannotComeBack) {
  Rig rig(CardId::kTrident3d, {640, 480, 16});
  RegisterRestoreDisplayControl control(rig.card, rig.engine.settings);
  rig.engine.SetDisplayControl(&control);
  const std::uint16_t word = rig.card.TridentClockWord();
  const std::uint8_t cr00 = rig.Cr(0x00);
  testing::LogCapture log;
  rig.Apply();
  EXPECT_TRUE(log.Contains("clock word cannot be read back"));
  control.ResetDisplayMode();
  EXPECT_EQ(rig.Cr(0x00), cr00);                 // the registers come back
  EXPECT_NE(rig.card.TridentClockWord(), word);  // the clock word does not
}

}  // namespace
}  // namespace cs::tvout
