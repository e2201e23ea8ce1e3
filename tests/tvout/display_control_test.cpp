// The display-mode reset: the simulated driver re-establishes its mode after an apply.
#include <gtest/gtest.h>

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

}  // namespace
}  // namespace cs::tvout
