// The input test lights each control on its code and goes dark again; two start presses in
// quick succession leave it. The monitor test closes only on player 1 start.
#include <gtest/gtest.h>

#include "operator_rig.h"

namespace cs::testing {
namespace {

class InputTest : public ::testing::Test {
 protected:
  OperatorRig rig{{}};
  TFrmInp& inp() { return rig.screens->FrmInp; }

  // The indicators that show their lit picture rather than their dark one.
  std::vector<int> LitOnScreen() {
    static const QImage up = Picture("inputs", "qdtestinputsup.png");
    static const QImage dwn = Picture("inputs", "qdtestinputsdwn.png");
    const QImage canvas = inp().Ske.Canvas().convertToFormat(QImage::Format_ARGB32);
    std::vector<int> lit;
    for (int n = 1; n <= 24; ++n) {
      SkinObject* o = inp().Ske.FindObject(inp().Ske.RootObject(), "BUT_" + std::to_string(n));
      if (o == nullptr) continue;
      // The rectangle each indicator shows, from its stored hover script.
      int x1 = 0, y1 = 0;
      EXPECT_EQ(std::sscanf(o->HoverEvent().c_str(), "FadeImage(QDtestINPUTSDWN,%d,%d", &x1, &y1),
                2);
      if (Distance(canvas, *o, dwn, x1, y1) < Distance(canvas, *o, up, x1, y1)) lit.push_back(n);
    }
    return lit;
  }
};

TEST_F(InputTest, EveryCodeLightsItsControlWhichGoesDarkAgain) {
  EXPECT_TRUE(LitOnScreen().empty());  // creation lit every indicator once; all are dark now
  struct Case {
    int code, indicator;
  };
  const Case cases[] = {{1, 1},   {2, 2},   {3, 10},  {200, 18}, {208, 20}, {203, 17}, {205, 19},
                        {29, 3},  {57, 4},  {44, 5},  {56, 6},   {42, 8},   {19, 22},  {33, 24},
                        {32, 21}, {34, 23}, {30, 11}, {16, 12},  {18, 13},  {31, 14},  {17, 15}};
  inp().Show();
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "code " << c.code);
    rig.loop.Advance(1000);  // also keeps the two start codes apart
    inp().PostMessage(WM_PANEL_INPUT, c.code, 50);
    rig.loop.Advance(150);
    ASSERT_TRUE(inp().Visible());
    EXPECT_EQ(inp().LitIndicator, c.indicator);
    EXPECT_EQ(LitOnScreen(), std::vector<int>{c.indicator});
    rig.loop.Advance(400);
    EXPECT_TRUE(LitOnScreen().empty());
  }
  // Codes of controls without an indicator, coins, service and video mode light nothing.
  for (int code : {6, 7, 500, 510, 600, 4, 0}) {
    inp().PostMessage(WM_PANEL_INPUT, code, 50);
    rig.loop.Advance(150);
    EXPECT_TRUE(LitOnScreen().empty()) << code;
    EXPECT_EQ(inp().LitIndicator, 15);
  }
  inp().Hide();
}

TEST_F(InputTest, ControlsPressedTogetherAllGoDark) {
  inp().Show();
  for (int code : {29, 57, 44}) inp().PostMessage(WM_PANEL_INPUT, code, 50);
  rig.loop.Advance(150);
  EXPECT_EQ(LitOnScreen(), (std::vector<int>{3, 4, 5}));
  rig.loop.Advance(500);
  EXPECT_TRUE(LitOnScreen().empty());
  inp().Hide();
}

TEST_F(InputTest, TwoStartPressesWithinTwoTicksLeaveTheScreen) {
  // Timer2 ticks every 200 ms from a whole 200; the first start press lights P1 or P2 and
  // starts Timer1, which ticks 200 ms later.
  struct Case {
    int first, second;
    std::int64_t offsetMs, gapMs;
    int ticks;
    bool closes;
  };
  const Case cases[] = {
      {2, 3, 0, 100, 0, true},  {3, 2, 0, 100, 0, true},    {2, 2, 0, 100, 0, true},
      {3, 3, 0, 100, 0, true},  {2, 3, 100, 150, 1, true},  {2, 3, 100, 250, 2, false},
      {2, 3, 0, 450, 3, false}, {2, 200, 0, 100, 0, false},  // a second code that is no start
      {1, 2, 0, 100, 0, false},                              // nor a first
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.first << " then " << c.second << " after " << c.gapMs
                                      << " ms, " << c.ticks << " ticks between");
    inp().Show();
    rig.loop.Advance(1000 - rig.loop.NowMs() % 200 + c.offsetMs);
    inp().PostMessage(WM_PANEL_INPUT, c.first, 50);
    rig.loop.Advance(c.gapMs);
    if (c.first == 2 || c.first == 3) {
      EXPECT_EQ(inp().ExitTicks, c.ticks);
    }
    inp().PostMessage(WM_PANEL_INPUT, c.second, 50);
    rig.loop.Advance(1);
    EXPECT_EQ(inp().Visible(), !c.closes);
    inp().Hide();
  }
}

TEST_F(InputTest, KeysLightTheirControlsAndSCloses) {
  inp().Show();
  rig.loop.Advance(1000);
  const int ticks = inp().ExitTicks;
  for (const auto& [key, indicator] : {std::pair{'1', 2}, std::pair{'8', 18}, std::pair{'2', 20},
                                       std::pair{'4', 17}, std::pair{'6', 19}}) {
    inp().FormKeyPress(key);
    EXPECT_EQ(inp().LitIndicator, indicator) << key;
  }
  EXPECT_GE(inp().ExitTicks, ticks);  // the key 1 lights P1 without the exit check
  EXPECT_TRUE(inp().Visible());
  inp().FormKeyPress('s');
  EXPECT_FALSE(inp().Visible());
}

TEST(MonitorTest, OnlyPlayerOneStartOrTheSKeyCloses) {
  OperatorRig rig{{}};
  TFrmTestMon& mon = rig.screens->FrmTestMon;
  mon.Show();
  for (int code : {1, 3, 200, 208, 203, 205, 6, 7, 500, 510, 29}) {
    mon.PostMessage(WM_PANEL_INPUT, code, 50);
    rig.loop.Advance(10);
    EXPECT_TRUE(mon.Visible()) << code;
  }
  for (char key : {'2', '8', 'x'}) mon.FormKeyPress(key);
  EXPECT_TRUE(mon.Visible());
  mon.PostMessage(WM_PANEL_INPUT, 2, 50);
  rig.loop.Advance(10);
  EXPECT_FALSE(mon.Visible());
  mon.Show();
  mon.FormKeyPress('S');
  EXPECT_FALSE(mon.Visible());
}

}  // namespace
}  // namespace cs::testing
