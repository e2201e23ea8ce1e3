// The test menu: moving, the price and the volume with its test tone, clearing credits, factory
// defaults, and the values reaching the main window only when the menu is left.
#include <gtest/gtest.h>

#include "operator_rig.h"

namespace cs::testing {
namespace {

std::vector<GameRow> SomeGames() {
  return {Game("galaxy", "Galaxy Raiders", "GR1", 12), Game("turbo", "Turbo Outlaws", "GR2", 3)};
}

class TestMenuTest : public ::testing::Test {
 protected:
  OperatorRig rig{SomeGames()};
  TFrmTest& menu = rig.screens->FrmTest;

  SkinObject& Object(const char* name) {
    SkinObject* o = menu.Ske.FindObject(menu.Ske.RootObject(), name);
    EXPECT_NE(o, nullptr) << name;
    return *o;
  }
  // Whether the item shows its lit picture rather than its normal one.
  bool Lit(int item) {
    SkinObject& o = Object(("BUT_" + std::to_string(item)).c_str());
    static const QImage up = Picture("test", "qdtestup.png");
    static const QImage dwn = Picture("test", "qdtestdwn.png");
    const QImage canvas = menu.Ske.Canvas().convertToFormat(QImage::Format_ARGB32);
    // Every item shows its rectangle from x = 20, at the rows its object table gives.
    static const int rows[] = {0, 40, 95, 155, 211, 265, 315, 370, 425};
    return Distance(canvas, o, dwn, 20, rows[item]) < Distance(canvas, o, up, 20, rows[item]);
  }
  // The distance of an object's place from a rectangle of QDtestBMPS.
  double FromValue(const char* object, int x1, int y1) {
    static const QImage bmps = Picture("test", "qdtestbmps.png");
    return Distance(menu.Ske.Canvas().convertToFormat(QImage::Format_ARGB32), Object(object), bmps,
                    x1, y1);
  }
};

TEST_F(TestMenuTest, UpAndDownWrapAndMoveTheHighlight) {
  struct Case {
    int from, code;
    char key;
    int to;
  };
  const Case cases[] = {
      {1, 200, '8', 8}, {8, 208, '2', 1}, {4, 200, '8', 3}, {4, 208, '2', 5}, {7, 208, '2', 8},
  };
  for (const Case& c : cases) {
    for (bool byKey : {false, true}) {
      menu.CurItem = c.from;
      menu.HighlightItem();
      rig.loop.Advance(300);
      if (byKey) {
        menu.FormKeyPress(c.key);
      } else {
        menu.WMPanelInput(c.code, 50);
      }
      rig.loop.Advance(300);
      SCOPED_TRACE(::testing::Message() << c.from << " code " << c.code << " key " << byKey);
      EXPECT_EQ(menu.CurItem, c.to);
      EXPECT_EQ(menu.PrevItem, c.to);
      for (int item = 1; item <= 8; ++item) EXPECT_EQ(Lit(item), item == c.to) << item;
    }
  }
}

TEST_F(TestMenuTest, PriceStepsWrapOnItemOneOnlyAndShowTheirLabel) {
  struct Case {
    int item, from, code, to;
  };
  const Case cases[] = {
      {1, 1, 203, 5}, {1, 5, 205, 1}, {1, 3, 203, 2},
      {1, 3, 205, 4}, {1, 7, 205, 1},  // a price out of range from CALC.INI comes back into it
      {2, 3, 203, 3}, {3, 3, 205, 3}, {8, 2, 203, 2},
  };
  const int labelX[] = {30, 148, 270, 392, 520};
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message()
                 << "item " << c.item << " price " << c.from << " code " << c.code);
    menu.CurItem = c.item;
    menu.iCoinCredits = c.from;
    menu.iVolume = 5;
    menu.WMPanelInput(c.code, 50);
    EXPECT_EQ(menu.iCoinCredits, c.to);
    menu.ShowCoinCredits();
    rig.loop.Advance(200);
    for (int p = 1; p <= 5; ++p) {
      if (p == c.to) {
        EXPECT_LT(FromValue("LB_1", labelX[p - 1], 50), 2.0) << "label of price " << p;
      } else {
        EXPECT_GT(FromValue("LB_1", labelX[p - 1], 50), 4.0) << "label of price " << p;
      }
    }
  }
}

TEST_F(TestMenuTest, VolumeStepsWrapAndPlayTheTestToneAtTheirPercentage) {
  // iVolume * (iVolume div 4 + 1) percent, 120 taken as 100.
  const int percent[] = {0,  1,  2,  3,  8,  10, 12, 14, 24, 27, 30,
                         33, 48, 52, 56, 60, 80, 85, 90, 95, 100};
  for (int v = 0; v <= 20; ++v) EXPECT_EQ(TestTonePercent(v), percent[v]) << v;

  struct Case {
    int from, code, to;
  };
  const Case cases[] = {{0, 203, 20}, {20, 205, 0}, {5, 205, 6}, {4, 203, 3}, {16, 203, 15}};
  const int digitX[] = {40, 80, 115, 156, 198, 248, 294, 343, 396, 450};
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "volume " << c.from << " code " << c.code);
    menu.CurItem = 2;
    menu.iVolume = c.from;
    menu.MpSound.WaitIdle();
    const int before = menu.MpSound.PlayedCount();
    menu.WMPanelInput(c.code, 50);
    EXPECT_EQ(menu.iVolume, c.to);
    EXPECT_EQ(menu.VolScale, c.to / 4 + 1);
    const std::vector<std::uint8_t> played = rig.Played();
    EXPECT_EQ(menu.MpSound.PlayedCount(), before + 1);
    const auto want = SynthesizeTone(kTestTone, percent[c.to], percent[c.to]);
    ASSERT_GE(played.size(), want.size());
    EXPECT_TRUE(std::equal(want.begin(), want.end(), played.begin()));
    if (c.to == 0) {
      EXPECT_TRUE(std::all_of(played.begin(), played.end(), [](std::uint8_t b) { return b == 0; }));
    }
    rig.loop.Advance(200);
    EXPECT_LT(FromValue("VOL2", digitX[c.to / 10], 85), 2.0);
    EXPECT_LT(FromValue("VOL", digitX[c.to % 10], 85), 2.0);
  }
  // Left and right on another item leave the volume alone and play nothing.
  menu.CurItem = 1;
  menu.iVolume = 9;
  menu.MpSound.WaitIdle();
  const int before = menu.MpSound.PlayedCount();
  menu.WMPanelInput(205, 50);
  EXPECT_EQ(menu.iVolume, 9);
  menu.MpSound.WaitIdle();
  EXPECT_EQ(menu.MpSound.PlayedCount(), before);
}

TEST_F(TestMenuTest, ClearCreditsAndFactoryDefaultsChangeOnlyTheirValues) {
  menu.iCoinCredits = 1;
  menu.iCredits = 25;
  menu.iVolume = 17;
  menu.iUserCounter = 40;
  menu.iUpdate = 2;
  menu.iUpdatePer = 4;
  menu.Show();
  EXPECT_EQ(menu.ZsCredits.caption, "00000025");

  menu.CurItem = 7;
  menu.MpSound.WaitIdle();
  const int tones = menu.MpSound.PlayedCount();
  menu.WMPanelInput(2, 50);
  EXPECT_EQ(menu.iVolume, 5);
  EXPECT_EQ(menu.iUpdate, 1);
  EXPECT_EQ(menu.iUpdatePer, 1);
  EXPECT_EQ(menu.iCoinCredits, 3);
  EXPECT_EQ(menu.iCredits, 25);
  EXPECT_EQ(menu.iUserCounter, 40);
  menu.MpSound.WaitIdle();
  EXPECT_EQ(menu.MpSound.PlayedCount(), tones);  // no tone

  menu.CurItem = 6;
  menu.WMPanelInput(2, 50);
  EXPECT_EQ(menu.iCredits, 0);
  EXPECT_EQ(menu.ZsCredits.caption, "00000000");
  EXPECT_EQ(menu.iUserCounter, 40);
  menu.Hide();
}

TEST_F(TestMenuTest, ValuesReachTheMainWindowOnlyWhenTheMenuIsLeft) {
  rig.main->values = {1, 7, 10, 40, 1, 2};
  const MenuValues before = rig.main->values;
  rig.PressAt(0, 500, 0);
  rig.Presses({208, 208, 208, 208, 208, 2});  // CLEAR CREDITS
  rig.Then([&] {
    EXPECT_TRUE(rig.screens->FrmTest.Visible());
    EXPECT_EQ(rig.screens->FrmTest.iCredits, 0);
    EXPECT_EQ(rig.main->values, before);
    EXPECT_EQ(rig.main->saves, 0);
  });
  rig.Presses({208, 2});                 // FACTORY DEFAULTS
  rig.Presses({200, 200, 200, 200, 2});  // SETTINGS AND COUNTERS
  rig.Presses({205, 208, 205, 205});     // MANUAL, 60 DAYS
  rig.Then([&] {
    EXPECT_TRUE(rig.screens->FrmSet.Visible());
    EXPECT_EQ(rig.screens->FrmSet.iUpdate, 2);
    EXPECT_EQ(rig.screens->FrmSet.iUpdatePer, 3);
    EXPECT_EQ(rig.screens->FrmTest.iUpdate, 1);
  });
  rig.Presses({208, 208, 208, 2});  // the settings' EXIT
  rig.Then([&] {
    EXPECT_FALSE(rig.screens->FrmSet.Visible());
    EXPECT_EQ(rig.screens->FrmTest.iUpdate, 2);
    EXPECT_EQ(rig.screens->FrmTest.iUpdatePer, 3);
    EXPECT_EQ(rig.main->values, before);
    EXPECT_EQ(rig.main->saves, 0);
  });
  rig.Presses({200, 200, 200, 2});  // EXIT
  rig.Run();
  EXPECT_FALSE(rig.screens->FrmTest.Visible());
  EXPECT_EQ(rig.main->saves, 1);
  EXPECT_EQ(rig.main->values, (MenuValues{3, 0, 5, 40, 2, 3}));
}

}  // namespace
}  // namespace cs::testing
