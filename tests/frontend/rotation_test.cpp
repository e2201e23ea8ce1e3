// The start-up rotation: when it is due, which games leave and come back, the small catalogues
// the design leaves open, and that a failure leaves nothing half done.
#include "frontend/rotation.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <sstream>

#include "catalogue/catalogue_fixture.h"
#include "platform/drive_map.h"
#include "platform/log.h"

namespace cs {
namespace {

namespace fs = std::filesystem;
using testing::Game;
using testing::ScratchDir;
using F = CatalogueField;
using Names = std::vector<std::string>;

constexpr Date kToday{2026, 3, 15};

std::string Name(char prefix, int i) {
  return std::string(1, prefix) + (i < 10 ? "0" : "") + std::to_string(i);
}

class RotationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(map_.CreateSkeleton());
    file_ = *map_.Resolve("c:\\qd\\PARAMS2.DAT");
    tb_.SetFile(file_);
    SetMessageBoxHandler([this](const std::string& text) { boxes_.push_back(text); });
    SetLogSink([](const std::string&) {});
  }
  void TearDown() override {
    SetMessageBoxHandler(nullptr);
    SetLogSink(nullptr);
  }

  // `in_use` games u01.. with CREDITS 3 x i (u01 least played) and `available` games a01..
  // with CREDITS 50 and the given COINS.
  void MakeCatalogue(int in_use, int available, std::int32_t coins = 0) {
    std::vector<GameRow> rows;
    for (int i = 1; i <= in_use; ++i) rows.push_back(Game(Name('u', i), "T", "GR1", 3 * i, 0));
    for (int i = 1; i <= available; ++i) {
      rows.push_back(Game(Name('a', i), "T", "GR2", 50, coins));
    }
    testing::WriteCatalogue(file_, rows);
  }

  std::map<std::string, GameRow> Rows() {
    std::map<std::string, GameRow> out;
    auto db = CatalogueDb::Open(file_);
    EXPECT_TRUE(db);
    const auto rows = db->ReadAllGames();
    EXPECT_TRUE(rows);
    for (const GameRow& r : rows.value_or(std::vector<GameRow>{})) out[r.NAMEFILE] = r;
    return out;
  }
  Names InGroup(const std::string& group) {
    Names names;
    for (const auto& [name, row] : Rows()) {
      if (row.GROUP == group) names.push_back(name);
    }
    return names;
  }
  std::string CalcIni() {
    std::ifstream in(dir_.path() / "dosdevices" / "c:" / "windows" / "CALC.ini");
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }

  ScratchDir dir_;
  DriveMap map_{dir_.path()};
  VirtualClock clock_{kToday, 0.625};  // 15:00
  fs::path file_;
  CatalogueView tb_;
  std::vector<std::string> boxes_;
};

TEST(RotationDueTest, PeriodsAndSettings) {
  struct Case {
    std::int32_t iUpdate, iUpdatePer;
    int days_ago;
    bool due;
  };
  const Case cases[] = {
      {1, 1, 29, false},    {1, 1, 30, true},    {1, 2, 44, false},
      {1, 2, 45, true},     {1, 3, 59, false},   {1, 3, 60, true},
      {1, 4, 89, false},    {1, 4, 90, true},    {2, 1, 9999, false},  // manual
      {0, 1, 9999, false},  {1, 0, 9999, false}, {1, 5, 9999, false},
      {1, -1, 9999, false}, {1, 1, -5, false},  // DtUpdate in the future (clock set back)
  };
  for (const Case& c : cases) {
    Counters counters;
    counters.iUpdate = c.iUpdate;
    counters.iUpdatePer = c.iUpdatePer;
    counters.DtUpdate = Date::FromDaysSinceEpoch(kToday.DaysSinceEpoch() - c.days_ago);
    EXPECT_EQ(RotationDue(counters, kToday), c.due)
        << c.iUpdate << " " << c.iUpdatePer << " " << c.days_ago;
  }
}

TEST_F(RotationTest, ThirtyInUseAndFortyAvailable) {
  MakeCatalogue(30, 40);
  Counters c;
  c.DtUpdate = Date{2026, 1, 1};
  c.iUpLevel = 1;
  ASSERT_TRUE(RotateGames(map_, clock_, &c, &tb_));
  EXPECT_TRUE(boxes_.empty());

  const auto rows = Rows();
  ASSERT_EQ(rows.size(), 70u);
  // The ten least played of the thirty are retired with the generation number.
  for (int i = 1; i <= 30; ++i) {
    const GameRow& r = rows.at(Name('u', i));
    EXPECT_EQ(r.GROUP, i <= 10 ? "GR2" : "GR1") << r.NAMEFILE;
    EXPECT_EQ(r.COINS, i <= 10 ? 1 : 0) << r.NAMEFILE;
    EXPECT_EQ(r.CREDITS, 3 * i) << r.NAMEFILE;
  }
  // The first ten of the forty in iCoins order (COINS 0, then NAMEFILE) come back unplayed.
  for (int i = 1; i <= 40; ++i) {
    const GameRow& r = rows.at(Name('a', i));
    EXPECT_EQ(r.GROUP, i <= 10 ? "GR1" : "GR2") << r.NAMEFILE;
    EXPECT_EQ(r.CREDITS, i <= 10 ? 0 : 50) << r.NAMEFILE;
  }
  EXPECT_EQ(c.iUpLevel, 2);
  EXPECT_EQ(c.DtUpdate, kToday);
  EXPECT_NE(CalcIni().find("DtUpdate=15/03/2026\niUpLevel=2\n"), std::string::npos);

  // Tb: open, in use only, by play count, on its last row (an unplayed newcomer).
  EXPECT_TRUE(tb_.Active());
  EXPECT_TRUE(tb_.Filtered());
  EXPECT_EQ(tb_.Filter(), CatalogueFilter::kInUse);
  EXPECT_EQ(tb_.IndexName(), "iCredits");
  EXPECT_EQ(tb_.ReadText(F::NAMEFILE), "a10");
  EXPECT_FALSE(tb_.Next());
  const Names menu = testing::Walk(tb_);
  ASSERT_EQ(menu.size(), 30u);
  EXPECT_EQ(menu.front(), "u30");
}

TEST_F(RotationTest, FirstStartWithoutCalcIniRotatesAndWritesTheWholeFile) {
  MakeCatalogue(12, 12);
  Counters c;
  LoadCounters(map_, &c);
  ASSERT_TRUE(RotateGames(map_, clock_, &c, &tb_));
  EXPECT_EQ(InGroup("GR1").size(), 12u);
  EXPECT_EQ(Rows().at("u01").GROUP, "GR2");
  EXPECT_EQ(CalcIni(),
            "[DUZER]\niSysCounter=0\niUserCounter=0\niCredits=0\niCoinCredits=1\n"
            "iParCredits=1\niKhz15=0\niVolume=5\niUpdate=1\niUpdatePer=1\n"
            "DtUpdate=15/03/2026\niUpLevel=2\n");
  // The next start the same day does not rotate again.
  Counters again;
  LoadCounters(map_, &again);
  CatalogueView tb2(file_);
  const auto before = Rows();
  ASSERT_TRUE(RotateGames(map_, clock_, &again, &tb2));
  EXPECT_EQ(Rows(), before);
  EXPECT_EQ(again.iUpLevel, 2);
}

TEST_F(RotationTest, WhenNotDueNothingIsExchangedButCalcIniIsWritten) {
  struct Case {
    const char* name;
    std::int32_t iUpdate, iUpdatePer;
    int days_ago;
    bool rotates;
  };
  const Case cases[] = {
      {"manual", 2, 1, 400, false},
      {"60-day period, 59 days", 1, 3, 59, false},
      {"60-day period, 60 days", 1, 3, 60, true},
      {"undefined period", 1, 7, 400, false},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    fs::remove_all(dir_.path() / "dosdevices");
    ASSERT_TRUE(map_.CreateSkeleton());
    MakeCatalogue(15, 15);
    const auto before = Rows();
    Counters c;
    c.iUpdate = k.iUpdate;
    c.iUpdatePer = k.iUpdatePer;
    c.DtUpdate = Date::FromDaysSinceEpoch(kToday.DaysSinceEpoch() - k.days_ago);
    c.iUpLevel = 5;
    const Date old_date = c.DtUpdate;
    CatalogueView tb(file_);
    ASSERT_TRUE(RotateGames(map_, clock_, &c, &tb));
    EXPECT_EQ(Rows() != before, k.rotates);
    EXPECT_EQ(c.iUpLevel, k.rotates ? 6 : 5);
    EXPECT_EQ(c.DtUpdate, k.rotates ? kToday : old_date);
    EXPECT_NE(CalcIni().find("DtUpdate=" + c.DtUpdate.ToShortString() +
                             "\niUpLevel=" + std::to_string(c.iUpLevel) + "\n"),
              std::string::npos);
    EXPECT_EQ(tb.IndexName(), "iCredits");
    EXPECT_EQ(tb.ReadText(F::NAMEFILE), k.rotates ? "a10" : "u01");  // the least played in use
  }
}

TEST_F(RotationTest, SmallCataloguesTouchOnlyRowsThatExistAndEnd) {
  struct Case {
    int in_use, available;
    std::size_t in_use_after;
    Names retired_after;  // GROUP GR2 after the rotation
  };
  const Case cases[] = {
      // Every game in use is retired, then the bring-back meets them again.
      {7, 0, 7, {}},
      {7, 3, 10, {}},
      {0, 5, 5, {}},
      {0, 0, 0, {}},
      // Ten retired, two available: those two first (COINS 0), then eight of the ten just
      // retired (COINS 1), in NAMEFILE order; the last two stay retired.
      {12, 2, 12, {"u09", "u10"}},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(std::to_string(k.in_use) + " in use, " + std::to_string(k.available) +
                 " available");
    fs::remove(file_);
    fs::remove(fs::path(file_.string() + "-wal"));
    fs::remove(fs::path(file_.string() + "-shm"));
    MakeCatalogue(k.in_use, k.available);
    Counters c;
    c.DtUpdate = Date{2000, 1, 1};
    CatalogueView tb(file_);
    ASSERT_TRUE(RotateGames(map_, clock_, &c, &tb));
    const auto rows = Rows();
    EXPECT_EQ(rows.size(), static_cast<std::size_t>(k.in_use + k.available));
    EXPECT_EQ(InGroup("GR1").size(), k.in_use_after);
    EXPECT_EQ(InGroup("GR2"), k.retired_after);
    for (const auto& [name, row] : rows) {
      if (row.GROUP == "GR1" && name[0] == 'a') {
        EXPECT_EQ(row.CREDITS, 0) << name;
      }
      if (name[0] == 'u' && std::stoi(name.substr(1)) <= 10) {
        EXPECT_EQ(row.COINS, 1) << name;
      }
    }
    EXPECT_EQ(c.iUpLevel, 2);
  }
}

TEST_F(RotationTest, GamesRetiredLongestAgoComeBackFirst) {
  testing::WriteCatalogue(
      file_, {Game("u1", "T", "GR1", 1), Game("old3", "T", "GR2", 9, 3),
              Game("old1", "T", "GR2", 9, 1), Game("never", "T", "GR2", 9, 0),
              Game("blank", "T", "", 9, 0),  // available, but only "GR2" is brought back
              Game("old2", "T", "GR2", 9, 2)});
  Counters c;
  c.DtUpdate = Date{2000, 1, 1};
  c.iUpLevel = 4;
  ASSERT_TRUE(RotateGames(map_, clock_, &c, &tb_));
  // All five "GR2" games come back, u1 too (retired with generation 4, met last).
  EXPECT_EQ(InGroup("GR1"), (Names{"never", "old1", "old2", "old3", "u1"}));
  EXPECT_EQ(InGroup(""), (Names{"blank"}));
  EXPECT_EQ(Rows().at("u1").COINS, 4);
}

TEST_F(RotationTest, AFailedWriteLeavesTheCatalogueAndCountersAsBefore) {
  MakeCatalogue(20, 20);
  {
    auto db = CatalogueDb::Open(file_);
    ASSERT_TRUE(
        db->Exec("CREATE TRIGGER full_disk BEFORE UPDATE ON PARAMS2 WHEN OLD.NAMEFILE = 'a03' "
                 "BEGIN SELECT RAISE(ABORT, 'disk full'); END"));
  }
  const auto before = Rows();
  Counters c;
  c.DtUpdate = Date{2000, 1, 1};
  c.iUpLevel = 3;
  EXPECT_FALSE(RotateGames(map_, clock_, &c, &tb_));
  EXPECT_EQ(Rows(), before);  // the retirements before the failure were rolled back too
  EXPECT_EQ(c.iUpLevel, 3);
  EXPECT_EQ(c.DtUpdate, (Date{2000, 1, 1}));
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_NE(boxes_[0].find("disk full"), std::string::npos);
  EXPECT_EQ(CalcIni(), "");
  auto db = CatalogueDb::Open(file_);
  EXPECT_TRUE(db->HasIndex("iCoins"));
}

TEST_F(RotationTest, AMissingCatalogueStopsStartUpWithABox) {
  Counters c;
  EXPECT_FALSE(RotateGames(map_, clock_, &c, &tb_));
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_NE(boxes_[0].find("Unable to open the game catalogue"), std::string::npos);
  EXPECT_FALSE(fs::exists(file_));
  EXPECT_EQ(CalcIni(), "");
}

}  // namespace
}  // namespace cs
