// The cabinet's video output on a simulated card: the stored mode applied at start-up with its
// waits, and the video-mode button stepping VGA, PAL, NTSC, VGA, checked by the signal the card
// would put out.
#include "cabinet_fixture.h"
#include "tvout/signal_evaluator.h"
#include "tvout/tvout_window.h"

namespace cs::test {
namespace {

class TvOutTest : public CabinetFixture {
 protected:
  void SetUp() override {
    CabinetFixture::SetUp();
    std::string error;
    auto choice = tvout::ParseTvOutOption(tvout::kDemoTvOut, &error);
    ASSERT_TRUE(choice) << error;
    tvout_ = *choice;
  }
  tvout::Signal Out() { return tvout::EvaluateSignal(*frm_->TvOut()->card()); }
  void Press510() {
    frm_->PostMessage(WM_PANEL_INPUT, 510, 0);
    loop_.DrainPosted();
  }
};

TEST_F(TvOutTest, StoredPalModeIsAppliedAtStartUpAfterItsWaits) {
  WriteGamesInUse(3);
  WriteCalc("iKhz15=1\n");
  TDbgFrm& f = Start();
  ASSERT_NE(f.TvOut(), nullptr);
  EXPECT_EQ(loop_.NowMs(), 2000 + 1000 + 3000);
  // The interlace flag (on by default) toggled once.
  EXPECT_EQ(f.TvOut()->window().engine.settings.Interlaced, 0);
  const tvout::Signal s = Out();
  EXPECT_NEAR(s.hfreqHz / 1000, 15.625, 0.6);
  EXPECT_NEAR(s.fieldHz, 50, 1.5);
}

TEST_F(TvOutTest, VgaStartSkipsTheWaits) {
  WriteGamesInUse(3);
  WriteCalc("iKhz15=0\n");
  TDbgFrm& f = Start();
  ASSERT_NE(f.TvOut(), nullptr);
  EXPECT_EQ(loop_.NowMs(), 3000);
  EXPECT_GT(Out().hfreqHz / 1000, 25);
}

TEST_F(TvOutTest, VideoModeButtonCyclesThroughPalNtscAndBackToVga) {
  WriteGamesInUse(3);
  WriteCalc("iKhz15=0\n");
  TDbgFrm& f = Start();
  ASSERT_NE(f.TvOut(), nullptr);
  const double vgaKhz = Out().hfreqHz / 1000;
  EXPECT_GT(vgaKhz, 25);
  Press510();
  EXPECT_EQ(f.iKhz15, 1);
  EXPECT_EQ(f.TvOut()->window().engine.settings.Interlaced, 0);
  EXPECT_NEAR(Out().hfreqHz / 1000, 15.625, 0.6);
  EXPECT_NEAR(Out().fieldHz, 50, 1.5);
  Press510();
  EXPECT_EQ(f.iKhz15, 2);
  EXPECT_NEAR(Out().hfreqHz / 1000, 15.734, 0.6);
  EXPECT_NEAR(Out().fieldHz, 59.94, 1.8);
  Press510();
  EXPECT_EQ(f.iKhz15, 0);
  EXPECT_NEAR(Out().hfreqHz / 1000, vgaKhz, 0.01);
  EXPECT_EQ(f.TvOut()->window().engine.settings.Interlaced, 1);  // toggled back
  EXPECT_EQ(Calc().ReadInteger("DUZER", "iKhz15", -1), 0);
  EXPECT_NE(f.StatusJson({}).find("\"tvout\":{"), std::string::npos);
}

}  // namespace
}  // namespace cs::test

int main(int argc, char** argv) { return cs::test::RunAll(argc, argv); }
