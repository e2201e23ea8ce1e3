// The settings screen: the rotation values, the six-press reset of the counters, the exchange
// of games between the two lists and the active-list rule.
#include <gtest/gtest.h>

#include <map>

#include "operator_rig.h"

namespace cs::testing {
namespace {

std::vector<GameRow> Catalogue() {
  return {Game("aster", "Asteroid Miner", "GR1", 12), Game("castle", "Castle Crusher", "GR1", 30),
          Game("galaxy", "Galaxy Raiders", "GR1", 7), Game("jungle", "Jungle Rumble", "GR2", 4),
          Game("knight", "Knight Quest", "", 9),  // an empty group counts as available
          Game("zap", "Zap Zone", "GR2", 1)};
}

std::vector<GameRow> AllGames(const std::filesystem::path& file) {
  std::vector<GameRow> rows;
  auto db = CatalogueDb::Open(file);
  EXPECT_TRUE(db);
  if (!db) return rows;
  std::optional<std::vector<GameRow>> read = db->ReadAllGames();
  EXPECT_TRUE(read.has_value());
  if (read) rows = std::move(*read);
  return rows;
}

std::map<std::string, std::string> Groups(const std::filesystem::path& file) {
  std::map<std::string, std::string> g;
  for (const GameRow& r : AllGames(file)) g[r.NAMEFILE] = r.GROUP.value_or("");
  return g;
}

std::map<std::string, int> Credits(const std::filesystem::path& file) {
  std::map<std::string, int> c;
  for (const GameRow& r : AllGames(file)) c[r.NAMEFILE] = r.CREDITS.value_or(-1);
  return c;
}

class SettingsTest : public ::testing::Test {
 protected:
  explicit SettingsTest(std::vector<GameRow> games = Catalogue()) : rig(games) {}
  OperatorRig rig;
  TFrmSet& set() { return rig.screens->FrmSet; }
  void Press(std::initializer_list<int> codes) {
    for (int c : codes) set().WMPanelInput(c, 50);
  }
  std::string Selected(const CatalogueView& v) {
    return v.ReadText(CatalogueField::NAMEFILE).value_or("-");
  }
};

TEST_F(SettingsTest, UpAndDownWrapOverTheFiveItems) {
  struct Case {
    int from, code, to;
  };
  for (const Case& c : {Case{1, 200, 5}, Case{5, 208, 1}, Case{3, 200, 2}, Case{3, 208, 4}}) {
    set().CurItem = c.from;
    set().WMPanelInput(c.code, 50);
    EXPECT_EQ(set().CurItem, c.to) << c.from << " " << c.code;
    EXPECT_EQ(set().PrevItem, c.to);
  }
}

TEST_F(SettingsTest, LeftAndRightStepTheRotationValuesOnTheirItemsOnly) {
  struct Case {
    int item, update, period, code, wantUpdate, wantPeriod;
  };
  const Case cases[] = {
      {1, 1, 1, 203, 2, 1}, {1, 2, 1, 203, 1, 1}, {1, 1, 1, 205, 2, 1}, {1, 2, 3, 205, 1, 3},
      {2, 1, 1, 203, 1, 4}, {2, 1, 4, 205, 1, 1}, {2, 2, 2, 205, 2, 3}, {2, 1, 3, 203, 1, 2},
      {3, 1, 2, 203, 1, 2}, {4, 2, 2, 205, 2, 2}, {5, 1, 4, 203, 1, 4},
  };
  const QImage bmps = Picture("settings", "qdtestbmps.png");
  const int periodX[] = {20, 218, 20, 218}, periodY[] = {230, 230, 300, 300};
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "item " << c.item << " update " << c.update << " period "
                                      << c.period << " code " << c.code);
    set().CurItem = c.item;
    set().iUpdate = c.update;
    set().iUpdatePer = c.period;
    set().WMPanelInput(c.code, 50);
    EXPECT_EQ(set().iUpdate, c.wantUpdate);
    EXPECT_EQ(set().iUpdatePer, c.wantPeriod);
    set().ShowUpdate();
    set().ShowPeriod();
    rig.loop.Advance(300);
    const QImage canvas = set().Ske.Canvas().convertToFormat(QImage::Format_ARGB32);
    SkinObject* up = set().Ske.FindObject(set().Ske.RootObject(), "LB_UP");
    SkinObject* per = set().Ske.FindObject(set().Ske.RootObject(), "LB_PER");
    EXPECT_LT(Distance(canvas, *up, bmps, c.wantUpdate == 1 ? 2 : 176, 160), 2.0);
    EXPECT_LT(Distance(canvas, *per, bmps, periodX[c.wantPeriod - 1], periodY[c.wantPeriod - 1]),
              2.0);
  }
}

TEST_F(SettingsTest, TheSixthSelectOnResetClearsTheCountersAndAMoveStartsTheCountAgain) {
  struct Case {
    const char* what;
    std::vector<int> codes;
    bool reset;
  };
  const Case cases[] = {
      {"five presses", {2, 2, 2, 2, 2}, false},
      {"six presses", {2, 2, 2, 2, 2, 2}, true},
      {"up and down in between", {2, 2, 2, 200, 208, 2, 2, 2}, false},
      {"left, right and other codes in between", {2, 2, 2, 203, 205, 19, 3, 2, 2, 2}, true},
      {"six after a move", {2, 2, 2, 2, 2, 208, 200, 2, 2, 2, 2, 2, 2}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    // Fresh counts for each case.
    {
      auto db = CatalogueDb::Open(rig.catalogue());
      ASSERT_TRUE(db->UpsertGames(Catalogue()));
    }
    set().iUserCounter = 40;
    set().ZsCredits.caption = "00000040";
    set().CurItem = 4;
    set().ResetPresses = 0;
    for (int code : c.codes) set().WMPanelInput(code, 50);
    EXPECT_EQ(set().iUserCounter, c.reset ? 0 : 40);
    EXPECT_EQ(set().ZsCredits.caption, c.reset ? "00000000" : "00000040");
    for (const auto& [game, credits] : Credits(rig.catalogue())) {
      if (c.reset) {
        EXPECT_EQ(credits, 0) << game;
      } else {
        EXPECT_NE(credits, 0) << game;
      }
    }
  }
  // Every further select repeats the reset.
  set().iUserCounter = 3;
  set().WMPanelInput(2, 50);
  EXPECT_EQ(set().iUserCounter, 0);
}

TEST_F(SettingsTest, ExchangeSwapsTheTwoSelectedGamesOnlyOnManualSelectionWithManual) {
  struct Case {
    const char* what;
    int item, update;
    bool exchanges;
  };
  const Case cases[] = {
      {"MANUAL on item 3", 3, 2, true},
      {"AUTO on item 3", 3, 1, false},
      {"MANUAL on item 1", 1, 2, false},
      {"MANUAL on item 4", 4, 2, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    {
      auto db = CatalogueDb::Open(rig.catalogue());
      ASSERT_TRUE(db->UpsertGames(Catalogue()));
    }
    set().Table1.First();
    set().Table2.First();
    set().CurItem = 3;
    set().iUpdate = c.update;
    // Player 2: the second game in use, then the list of available games and its third game.
    Press({33, 34, 33, 33, 32});
    EXPECT_EQ(Selected(set().Table1), "castle");
    EXPECT_EQ(Selected(set().Table2), "zap");
    set().CurItem = c.item;
    set().WMPanelInput(3, 50);
    auto groups = Groups(rig.catalogue());
    EXPECT_EQ(groups["castle"], c.exchanges ? "GR2" : "GR1");
    EXPECT_EQ(groups["zap"], c.exchanges ? "GR1" : "GR2");
    int inUse = 0;
    for (const auto& [game, group] : groups) inUse += group == "GR1";
    EXPECT_EQ(inUse, 3);
    if (c.exchanges) {
      EXPECT_EQ(Selected(set().Table1), "aster");  // back at the first game in use
      EXPECT_EQ(set().Grid1.lines.size(), 3u);
      EXPECT_EQ(set().Grid1.lines[2].namefile, "zap");
    }
  }
}

TEST_F(SettingsTest, ExchangesInARowEachTakeTheGameTheListsShow) {
  set().CurItem = 3;
  set().iUpdate = 2;
  set().Table1.First();
  set().Table2.First();
  Press({3});  // aster <-> jungle
  EXPECT_EQ(Groups(rig.catalogue())["jungle"], "GR1");
  // The available list selects the game after the one that left it.
  EXPECT_EQ(Selected(set().Table2), "knight");
  ASSERT_GE(set().Grid2.current, 0);
  EXPECT_EQ(set().Grid2.lines[set().Grid2.current].namefile, "knight");
  EXPECT_EQ(Selected(set().Table1), "castle");  // the first game in use by title now
  Press({3});                                   // castle <-> knight
  auto groups = Groups(rig.catalogue());
  EXPECT_EQ(groups["aster"], "GR2");
  EXPECT_EQ(groups["castle"], "GR2");
  EXPECT_EQ(groups["jungle"], "GR1");
  EXPECT_EQ(groups["knight"], "GR1");
  int inUse = 0;
  for (const auto& [game, group] : groups) inUse += group == "GR1";
  EXPECT_EQ(inUse, 3);
}

struct Lists {
  const char* name;
  std::vector<GameRow> games;
};

class EmptyListTest : public SettingsTest, public ::testing::WithParamInterface<Lists> {
 protected:
  EmptyListTest() : SettingsTest(GetParam().games) {}
};

TEST_P(EmptyListTest, AnExchangeWithAnEmptyListDoesNothing) {
  const std::vector<GameRow> before = AllGames(rig.catalogue());
  set().CurItem = 3;
  set().iUpdate = 2;
  Press({3, 34, 3, 32, 3});
  const std::vector<GameRow> after = AllGames(rig.catalogue());
  EXPECT_EQ(after, before);  // nothing changed, no blank row added
}

INSTANTIATE_TEST_SUITE_P(
    Catalogues, EmptyListTest,
    ::testing::Values(Lists{"NoneAvailable",
                            {Game("aster", "Asteroid Miner", "GR1", 1),
                             Game("castle", "Castle Crusher", "GR1", 2)}},
                      Lists{"NoneInUse", {Game("jungle", "Jungle Rumble", "GR2", 4)}},
                      Lists{"NoGames", {}}),
    [](const ::testing::TestParamInfo<Lists>& info) { return std::string(info.param.name); });

TEST_F(SettingsTest, PlayerTwoSwitchesAndMovesTheActiveListOnItemThreeOnly) {
  const auto gridColourAt = [&](const QRect& grid) {
    set().Show();
    const QImage shot = set().Screenshot();
    set().Hide();
    return QColor(shot.pixel(grid.left() + 40, grid.bottom() - 4));
  };
  EXPECT_TRUE(set().Grid1Active());
  EXPECT_EQ(gridColourAt(set().Grid1.rect), kGridYellow);
  EXPECT_EQ(gridColourAt(set().Grid2.rect), kGridGray);

  set().CurItem = 1;
  Press({34, 33});
  EXPECT_TRUE(set().Grid1Active());
  EXPECT_EQ(Selected(set().Table1), "aster");

  set().CurItem = 3;
  set().iUpdate = 1;  // the lists move while UPDATE is AUTO too
  Press({34, 33, 33});
  EXPECT_FALSE(set().Grid1Active());
  EXPECT_EQ(gridColourAt(set().Grid1.rect), kGridGray);
  EXPECT_EQ(gridColourAt(set().Grid2.rect), kGridYellow);
  EXPECT_EQ(Selected(set().Table1), "aster");
  EXPECT_EQ(Selected(set().Table2), "zap");
  Press({19, 32, 33});
  EXPECT_TRUE(set().Grid1Active());
  EXPECT_EQ(Selected(set().Table2), "knight");
  EXPECT_EQ(Selected(set().Table1), "castle");
  EXPECT_EQ(set().Grid1.current, 1);
  EXPECT_EQ(set().Grid2.current, 1);
}

}  // namespace
}  // namespace cs::testing
