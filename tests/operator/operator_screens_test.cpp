// The main window's side of the operator screens: which screen a press is forwarded to, which
// screen is in front, and a held press that opened or closed a screen acting only once.
#include <gtest/gtest.h>

#include "operator_rig.h"

namespace cs::testing {
namespace {

TEST(ForwardingTest, APressGoesToTheFirstVisibleScreenOfTheRule) {
  OperatorRig rig{{}};
  OperatorScreens& s = *rig.screens;
  struct Case {
    bool set, inp, mon, test;
    int lParam;
    OperatorScreen* want;
  };
  const Case cases[] = {
      {false, false, false, false, 50, nullptr},    {false, false, false, true, 50, &s.FrmTest},
      {false, false, false, true, 0, &s.FrmTest},   {false, true, false, true, 50, &s.FrmInp},
      {false, true, false, true, 0, &s.FrmTest},  // event codes pass the input test
      {false, false, true, true, 0, &s.FrmTestMon}, {false, false, true, true, 50, &s.FrmTestMon},
      {false, true, true, true, 50, &s.FrmInp},     {false, true, true, true, 0, &s.FrmTestMon},
      {true, false, false, true, 0, &s.FrmSet},     {true, true, true, true, 50, &s.FrmSet},
      {false, true, false, false, 0, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message()
                 << c.set << c.inp << c.mon << c.test << " lParam " << c.lParam);
    const std::pair<Form*, bool> shown[] = {
        {&s.FrmTest, c.test}, {&s.FrmSet, c.set}, {&s.FrmTestMon, c.mon}, {&s.FrmInp, c.inp}};
    for (const auto& [form, on] : shown) on ? form->Show() : form->Hide();
    EXPECT_EQ(s.ForwardTarget(c.lParam), c.want);
    EXPECT_EQ(s.ForwardPanelInput(201, c.lParam), c.want != nullptr);
  }
}

TEST(ForwardingTest, TheForwardedPressReachesTheScreen) {
  OperatorRig rig{{}};
  OperatorScreens& s = *rig.screens;
  s.FrmTest.Show();
  s.FrmTest.CurItem = 1;
  EXPECT_TRUE(s.ForwardPanelInput(208, 50));
  EXPECT_EQ(s.FrmTest.CurItem, 1);  // posted, not called
  rig.loop.DrainPosted();
  EXPECT_EQ(s.FrmTest.CurItem, 2);
  s.FrmTest.Hide();
}

TEST(ForwardingTest, APressQueuedForAScreenClosedMeanwhileIsDropped) {
  OperatorRig rig{{}};
  OperatorScreens& s = *rig.screens;
  s.FrmTest.Show();
  s.FrmTest.CurItem = 8;
  // Two presses forwarded before the first is handled: EXIT, then up.
  EXPECT_TRUE(s.ForwardPanelInput(2, 50));
  EXPECT_TRUE(s.ForwardPanelInput(200, 50));
  rig.loop.DrainPosted();
  EXPECT_FALSE(s.FrmTest.Visible());
  EXPECT_EQ(s.FrmTest.CurItem, 8);  // the next opening starts on EXIT, where it was left
}

TEST(FrontTest, TheScreenShownLastIsInFrontAndTheKeyboardGoesToIt) {
  OperatorRig rig{{}};
  OperatorScreens& s = *rig.screens;
  int changes = 0;
  s.OnScreenChanged = [&] { ++changes; };
  EXPECT_EQ(s.Topmost(), nullptr);
  EXPECT_FALSE(s.FormKeyPress('2'));
  s.FrmTest.Show();
  s.FrmInp.Show();
  EXPECT_EQ(s.Topmost(), &s.FrmInp);
  EXPECT_EQ(s.VisibleScreens(), (std::vector<std::string>{"TFrmTest", "TFrmInp"}));
  EXPECT_GT(changes, 0);
  EXPECT_TRUE(s.FormKeyPress('s'));  // closes the input test, not the menu
  EXPECT_FALSE(s.FrmInp.Visible());
  EXPECT_EQ(s.Topmost(), &s.FrmTest);
  EXPECT_NE(s.StatusJson().find("\"front\":\"TFrmTest\""), std::string::npos);
  EXPECT_EQ(s.Front()->Screenshot().size(), QSize(640, 480));
  s.FrmTest.Hide();
}

TEST(HeldPressTest, APressThatOpensOrClosesAScreenActsOnlyOnce) {
  OperatorRig rig{{}};
  OperatorScreens& s = *rig.screens;
  // Held codes repeat every 40 ms while the control is down.
  const auto hold = [&](std::int64_t from, int code, int repeats) {
    for (int i = 0; i < repeats; ++i) rig.PressAt(from + 40 * i, code);
  };
  rig.PressAt(0, 500, 0);
  rig.PressAt(300, 208);
  rig.PressAt(600, 208);
  rig.PressAt(900, 208);
  rig.PressAt(1200, 208);  // MONITOR TEST
  hold(1500, 2, 6);        // opens the monitor test and goes on being held
  rig.At(1900, [&] { EXPECT_TRUE(s.FrmTestMon.Visible()); });
  hold(2200, 2, 6);  // a new press closes it; held on, it does not open it again
  rig.At(2600, [&] {
    EXPECT_FALSE(s.FrmTestMon.Visible());
    EXPECT_TRUE(s.FrmTest.Visible());
  });
  rig.PressAt(2900, 208);
  rig.PressAt(3200, 208);
  rig.PressAt(3500, 208);  // EXIT
  hold(3800, 2, 6);        // leaves the menu; the rest of the press reaches no screen
  rig.Run();
  EXPECT_FALSE(s.FrmTest.Visible());
  EXPECT_EQ(rig.main->saves, 1);
  EXPECT_EQ(rig.main->mainScreenCodes, 0);
  // Once released, the same control acts on the main screen again.
  rig.PressAt(300, 2);
  rig.Run();
  EXPECT_EQ(rig.main->mainScreenCodes, 1);
}

TEST(HeldPressTest, HoldingStartOnTheInputTestLeavesItAndStaysOnTheMenu) {
  OperatorRig rig{{}};
  OperatorScreens& s = *rig.screens;
  rig.PressAt(0, 500, 0);
  rig.Presses({208, 208, 208, 2});  // INPUTS TEST
  rig.Then([&] { EXPECT_TRUE(s.FrmInp.Visible()); });
  // Both starts held: the panel reports only player 1 start, in every frame.
  for (int i = 0; i < 8; ++i) rig.PressAt(2000 + 40 * i, 2);
  rig.At(2600, [&] {
    EXPECT_FALSE(s.FrmInp.Visible());
    EXPECT_TRUE(s.FrmTest.Visible());
    EXPECT_EQ(s.Topmost(), &s.FrmTest);
  });
  rig.Presses({208, 208, 208, 208, 2});  // EXIT
  rig.Run();
  EXPECT_FALSE(s.FrmTest.Visible());
}

}  // namespace
}  // namespace cs::testing
