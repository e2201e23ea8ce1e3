// Start-up of the main window on a real catalogue file, CALC.INI and the menu skin.
#include "cabinet_fixture.h"

namespace cs::test {
namespace {

using StartupTest = CabinetFixture;

TEST_F(StartupTest, SevenGamesFillTheTopTenPageInPlayOrderThenArrows) {
  std::vector<GameRow> rows;
  const int credits[] = {5, 40, 12, 40, 0, 7, 19};
  for (int k = 0; k < 7; ++k) rows.push_back(MakeGame(k, "GR1", credits[k]));
  rows.push_back(MakeGame(7, "GR2", 99));  // available: never on the menu
  rows.push_back(MakeGame(8, "", 98));
  WriteCatalogue(rows);
  WriteCalc("iCredits=-3\n");
  TDbgFrm& f = Start();
  ASSERT_TRUE(f.StartupDone());
  // 40, 40 (tie broken by NAMEFILE), 19, 12, 7, 5, 0.
  const char* want[] = {" Title 01", " Title 03", " Title 06", " Title 02", " Title 05",
                        " Title 00", " Title 04", "  -->",     "  -->",     "  -->"};
  for (int n = 1; n <= 10; ++n) EXPECT_EQ(SlotText(n), want[n - 1]) << "slot " << n;
  EXPECT_EQ(f.iCredits, 0);
  EXPECT_EQ(f.CurSlot, 1);
  EXPECT_EQ(f.PageOffset, 0);
  EXPECT_EQ(loop_.NowMs(), 3000);  // the fixed wait of start-up
  loop_.Advance(20);               // the hover script's action comes on the next skin tick
  EXPECT_EQ(f.AviFileName, "C:\\QD\\GAME01.AVI");  // slot 1's preview is selected
  // The first refresh shows the credits as two digits.
  loop_.Advance(2000 + 6 * 50 - 20);
  EXPECT_EQ(f.ZsCredits.caption, "00");
}

TEST_F(StartupTest, FirstStartWithoutCalcIniRotatesAndWritesEveryKey) {
  std::vector<GameRow> rows;
  for (int k = 0; k < 12; ++k) rows.push_back(MakeGame(k, "GR1", 50 + k));
  for (int k = 12; k < 24; ++k) rows.push_back(MakeGame(k, "GR2", 0));
  WriteCatalogue(rows);
  TDbgFrm& f = Start();
  ASSERT_TRUE(f.StartupDone());
  EXPECT_EQ(f.iUpLevel, 2);
  EXPECT_EQ(f.DtUpdate, (Date{2026, 12, 11}));
  const ProfileFile p = Calc();
  for (const char* key : {"iSysCounter", "iUserCounter", "iCredits", "iCoinCredits", "iParCredits",
                          "iKhz15", "iVolume", "iUpdate", "iUpdatePer", "DtUpdate", "iUpLevel"}) {
    EXPECT_NE(p.ReadString("DUZER", key, "<none>"), "<none>") << key;
  }
  EXPECT_EQ(p.ReadString("DUZER", "DtUpdate", ""), "11/12/2026");
  EXPECT_EQ(p.ReadInteger("DUZER", "iVolume", -1), 5);
  // Of the twelve in use the ten least played were retired; the two most played lead the
  // top-ten page, followed by the ten brought back with no plays yet.
  EXPECT_EQ(SlotText(1), " Title 11");
  EXPECT_EQ(SlotText(2), " Title 10");
  EXPECT_EQ(SlotText(3), " Title 12");
}

TEST_F(StartupTest, MissingCatalogueStopsStartUpVisibly) {
  std::vector<std::string> boxes;
  SetMessageBoxHandler([&](const std::string& t) { boxes.push_back(t); });
  WriteCalc("");
  TDbgFrm& f = Start();
  SetMessageBoxHandler({});
  EXPECT_FALSE(f.StartupDone());
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_FALSE(f.TimAvi.Enabled());  // nothing started: the menu does not react
}

TEST_F(StartupTest, ApplyVolumeScalesBeeperAndMasterLevel) {
  WriteGamesInUse(3);
  WriteCalc("");
  TDbgFrm& f = Start();
  struct Case {
    int volume, beeper, level;
  } cases[] = {{0, 0, 0}, {5, 10, 20}, {18, 90, 234}, {19, 95, 255}, {20, 100, 255}};
  for (const Case& c : cases) {
    f.iVolume = c.volume;
    f.ApplyVolume();
    EXPECT_EQ(f.MpSound.VolumeLeft(), c.beeper) << c.volume;
    EXPECT_EQ(f.MpSound.VolumeRight(), c.beeper) << c.volume;
    EXPECT_EQ(f.vc.LevelLeft(), c.level * 256) << c.volume;
  }
}

TEST_F(StartupTest, BadNameFileIsNeverUsedForAPreviewPath) {
  std::vector<GameRow> rows{MakeGame(0, "GR1", 10)};
  WriteCatalogue(rows);
  // A row written by some other tool, bypassing the checks.
  {
    auto db = CatalogueDb::Open(QdDir() / "PARAMS2.DAT");
    ASSERT_TRUE(
        db->Exec("INSERT INTO PARAMS2 (NAMEFILE, NAMEGAME, \"GROUP\", CREDITS, COINS, "
                 "Nrplayer) VALUES ('..\\x y', 'Evil', 'GR1', 99, 0, 1)"));
  }
  WriteCalc("");
  TDbgFrm& f = Start();
  loop_.Advance(20);
  EXPECT_EQ(SlotText(1), " Evil");
  EXPECT_EQ(f.AviFileName, "");  // slot 1's row was skipped for the preview
}

}  // namespace
}  // namespace cs::test

int main(int argc, char** argv) { return cs::test::RunAll(argc, argv); }
