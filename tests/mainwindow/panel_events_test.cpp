// Panel events on the menu: coins at every price, the start rule, the video-mode button.
#include "cabinet_fixture.h"
#include "operator/operator_screens.h"

namespace cs::test {
namespace {

class PanelEventsTest : public CabinetFixture {
 protected:
  void Press(int code, int lParam) {
    frm_->PostMessage(WM_PANEL_INPUT, code, lParam);
    loop_.Advance(0);
  }
};

TEST_F(PanelEventsTest, CoinsBecomeCreditsAtEveryPriceAndAreSaved) {
  WriteGamesInUse(3);
  WriteCalc("");
  TDbgFrm& f = Start();
  struct Case {
    int price, parStart, coins;
    int credits, counted, parEnd;
  } cases[] = {
      {1, -2, 2, 0, 0, 0},  // 3 coins a credit, unsettled: two coins only raise iParCredits
      {1, -2, 3, 1, 1, -2}, {1, -2, 6, 2, 2, -2}, {2, -1, 2, 1, 1, -1},  // 2 coins a credit
      {3, 0, 3, 3, 3, 0},                                                // 1 coin a credit
      {4, 0, 1, 2, 1, 0},                                                // 2 credits a coin
      {5, 0, 2, 6, 2, 0},  // 3 credits a coin: every coin still counted
      {7, 0, 1, 1, 1, 0},  // an unknown price keeps CoinStep (0 after start-up): 1 credit
  };
  for (const Case& c : cases) {
    f.iCoinCredits = c.price;
    SetCoinStep(&f);
    if (c.price == 7) f.CoinStep = 0;
    f.iParCredits = c.parStart;
    f.iCredits = 0;
    f.iSysCounter = f.iUserCounter = 0;
    for (int i = 0; i < c.coins; ++i) Press(6 + i % 2, 0);
    EXPECT_EQ(f.iCredits, c.credits) << "price " << c.price << ", " << c.coins << " coins";
    EXPECT_EQ(f.iSysCounter, c.counted) << "price " << c.price;
    EXPECT_EQ(f.iUserCounter, c.counted) << "price " << c.price;
    EXPECT_EQ(f.iParCredits, c.parEnd) << "price " << c.price;
    // Saved before the beep: the file holds the new balance.
    EXPECT_EQ(Calc().ReadInteger("DUZER", "iCredits", -99), c.credits);
    EXPECT_EQ(Calc().ReadInteger("DUZER", "iCoinCredits", -99), c.price);
  }
  f.MpSound.WaitIdle();
  EXPECT_GE(f.MpSound.PlayedCount(), 18);
}

TEST_F(PanelEventsTest, TestMenuTakesPressesAndItsValuesComeBackOnlyWhenLeft) {
  WriteGamesInUse(3);
  WriteCalc("iCredits=2\niCoinCredits=3\n");
  TDbgFrm& f = Start();
  OperatorScreens screens(
      loop_, {MenuSkin().parent_path().parent_path(), QdDir() / "PARAMS2.DAT", "null"});
  f.Operators = &screens;
  loop_.Advance(3000);
  // In the test menu: a coin is not credited; the credits are cleared on the menu's copy, and
  // CALC.INI keeps the old balance until the menu is left.
  bool checkedInside = false;
  loop_.Schedule(300, [&] {
    EXPECT_EQ(f.ServiceMode, 10);
    EXPECT_TRUE(screens.FrmTest.Visible());
    f.PostMessage(WM_PANEL_INPUT, 6, 0);
    loop_.Schedule(200, [&] {
      EXPECT_EQ(f.iCredits, 2);
      screens.FrmTest.iCredits = 0;  // what its "clear credits" item does
      EXPECT_EQ(Calc().ReadInteger("DUZER", "iCredits", -1), 2);
      checkedInside = true;
      screens.FrmTest.Hide();  // leaving the menu
    });
  });
  f.PostMessage(WM_PANEL_INPUT, 500, 0);
  loop_.Advance(2000);
  EXPECT_TRUE(checkedInside);
  EXPECT_EQ(f.ServiceMode, 0);
  EXPECT_EQ(f.iCredits, 0);
  EXPECT_EQ(Calc().ReadInteger("DUZER", "iCredits", -1), 0);
}

TEST_F(PanelEventsTest, CoinsPaidTowardACreditKeepTheirCountWhenThePriceChanges) {
  WriteGamesInUse(3);
  WriteCalc("iCredits=0\n");
  TDbgFrm& f = Start();
  OperatorScreens screens(
      loop_, {MenuSkin().parent_path().parent_path(), QdDir() / "PARAMS2.DAT", "null"});
  f.Operators = &screens;
  loop_.Advance(3000);
  struct Case {
    int from, paid, to;  // price, coins paid toward its next credit, new price
    int creditsAtClose, parAtClose;
    int coins, credits;  // then this many coins give this balance
  } cases[] = {
      {3, 0, 1, 0, -2, 2, 0},  // 1/1 to 3/1: two coins are not a credit yet
      {3, 0, 1, 0, -2, 3, 1},  // the third is
      {1, 0, 3, 0, 0, 1, 1},   // 3/1 to 1/1: one coin, one credit
      {1, 1, 2, 0, 0, 1, 1},   // one coin paid at 3/1, one more completes 2/1
      {1, 2, 2, 1, -1, 0, 1},  // two coins paid at 3/1 already buy a credit at 2/1
      {2, 1, 4, 2, 0, 1, 4},   // one coin paid at 2/1 buys two credits at 1/2
      {1, 2, 1, 0, 0, 1, 1},   // the same price: nothing moves
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message()
                 << "price " << c.from << " with " << c.paid << " coins paid, to " << c.to);
    f.iCoinCredits = c.from;
    SetCoinStep(&f);
    f.iParCredits = (c.from <= 3 ? f.CoinStep : 0) + c.paid;
    f.iCredits = 0;
    f.iSysCounter = f.iUserCounter = 0;
    loop_.Schedule(300, [&] {
      screens.FrmTest.iCoinCredits = c.to;  // what its left and right do on item 1
      screens.FrmTest.Hide();
    });
    f.PostMessage(WM_PANEL_INPUT, 500, 0);
    loop_.Advance(1000);
    EXPECT_EQ(f.iCredits, c.creditsAtClose);
    EXPECT_EQ(f.iParCredits, c.parAtClose);
    EXPECT_EQ(f.iSysCounter, c.creditsAtClose ? 1 : 0);
    EXPECT_EQ(Calc().ReadInteger("DUZER", "iParCredits", -99), c.parAtClose);
    for (int i = 0; i < c.coins; ++i) Press(6, 0);
    EXPECT_EQ(f.iCredits, c.credits);
  }
}

TEST_F(PanelEventsTest, StartNeedsCreditsAndAPauseAfterTheLastGame) {
  WriteGamesInUse(3);
  WriteCalc("iCredits=0\n");
  TDbgFrm& f = Start();
  std::vector<int> actions;
  loop_.Advance(2000 + 29 * 50);  // 30 preview-clock ticks: IdleTicks 30, not above
  f.Ske.OnCustomAction = [&](int n) { actions.push_back(n); };
  Press(2, 50);
  f.iCredits = 1;
  Press(2, 50);
  EXPECT_TRUE(actions.empty());  // no credit, then IdleTicks not above 30
  loop_.Advance(60);
  Press(2, 50);
  EXPECT_EQ(actions, std::vector<int>{101});
  // A game ended 1 s ago: IdleTicks restarts from 0, so a start 1 s later is ignored and one
  // 2 s later goes through.
  actions.clear();
  f.IdleTicks = 0;
  loop_.Advance(1000);
  Press(2, 50);
  EXPECT_TRUE(actions.empty());
  loop_.Advance(1000);
  Press(2, 50);
  EXPECT_EQ(actions, std::vector<int>{101});
}

TEST_F(PanelEventsTest, VideoModeButtonCyclesWithItsBeepsAndSaves) {
  WriteGamesInUse(3);
  WriteCalc("iKhz15=0\n");
  TDbgFrm& f = Start();
  f.MpSound.WaitIdle();
  struct Step {
    int mode, beeps;
    std::int64_t waitMs;
  } steps[] = {{1, 2, 200}, {2, 3, 400}, {0, 1, 200}};
  for (const Step& s : steps) {
    const int before = f.MpSound.PlayedCount();
    const std::int64_t t0 = loop_.NowMs();
    f.PostMessage(WM_PANEL_INPUT, 510, 0);
    loop_.DrainPosted();
    f.MpSound.WaitIdle();
    EXPECT_EQ(f.iKhz15, s.mode);
    EXPECT_EQ(f.MpSound.PlayedCount() - before, s.beeps) << "to mode " << s.mode;
    EXPECT_EQ(loop_.NowMs() - t0, s.waitMs);
    EXPECT_EQ(Calc().ReadInteger("DUZER", "iKhz15", -1), s.mode);
  }
  f.iKhz15 = 9;  // outside 0..2: only saved
  f.PostMessage(WM_PANEL_INPUT, 510, 0);
  loop_.DrainPosted();
  EXPECT_EQ(f.iKhz15, 9);
  EXPECT_EQ(Calc().ReadInteger("DUZER", "iKhz15", -1), 9);
}

TEST_F(PanelEventsTest, KeyboardKeysAndUnknownCodesChangeNothing) {
  WriteGamesInUse(12);
  WriteCalc("iCredits=1\n");
  TDbgFrm& f = Start();
  loop_.Advance(3000);
  for (int code : {3, 1, 29, 56, 57, 42, 44, 19, 33, 32, 34, 30, 31, 16, 17, 18, 12345}) {
    Press(code, 50);
  }
  EXPECT_EQ(f.CurSlot, 1);
  EXPECT_EQ(f.PageOffset, 0);
  EXPECT_EQ(f.iCredits, 1);
}

}  // namespace
}  // namespace cs::test

int main(int argc, char** argv) { return cs::test::RunAll(argc, argv); }
