// The catalogue views: orders and filters, positions, editing, and views seeing each other.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>

#include "catalogue/catalogue_fixture.h"

namespace cs {
namespace {

using testing::Game;
using testing::ScratchDir;
using testing::Walk;
using testing::WalkBack;
using F = CatalogueField;
using Names = std::vector<std::string>;

class CatalogueViewTest : public ::testing::Test {
 protected:
  void SetUp() override { file_ = dir_.path() / "PARAMS2.DAT"; }

  void Make(const std::vector<GameRow>& rows) { testing::WriteCatalogue(file_, rows); }

  std::unique_ptr<CatalogueView> View(std::optional<CatalogueFilter> filter,
                                      std::string_view index) {
    auto v = std::make_unique<CatalogueView>(file_);
    if (filter) {
      v->SetFilter(*filter);
      v->SetFiltered(true);
    }
    EXPECT_TRUE(v->SetIndexName(index));
    EXPECT_TRUE(v->Open()) << v->LastError();
    return v;
  }

  // Runs SQL on the file from outside the views.
  void Sql(const char* sql) {
    auto db = CatalogueDb::Open(file_);
    ASSERT_TRUE(db);
    std::string error;
    ASSERT_TRUE(db->Exec(sql, &error)) << error;
  }

  ScratchDir dir_;
  std::filesystem::path file_;
};

// Ties, empty values, case and groups that only look like "GR1".
std::vector<GameRow> MixedRows() {
  return {
      Game("a1", "Zeta", "GR1", 5, 3),
      Game("B2", "alpha", "GR1", 9, std::nullopt),
      Game("c3", "Alpha", "GR1", 5, 1),
      Game("d4", "beta", "GR2", std::nullopt, 1),
      GameRow{"e5", std::nullopt, std::nullopt, 0, 2, 1},
      Game("f6", "Gamma", "gr1", 7, -4),
      Game("g7", "", "", 5, 0),
  };
}

TEST_F(CatalogueViewTest, EveryOrderIsTotalAndWalksTheSameBothWays) {
  Make(MixedRows());
  struct Case {
    std::optional<CatalogueFilter> filter;
    const char* index;
    Names expected;
  };
  const Case cases[] = {
      // CREDITS descending, empty counts last, ties by NAMEFILE without case.
      {std::nullopt, "iCredits", {"B2", "f6", "a1", "c3", "g7", "e5", "d4"}},
      // NAMEGAME without case: empty first, "alpha" and "Alpha" tie and go by NAMEFILE.
      {std::nullopt, "iNameGame", {"e5", "g7", "B2", "c3", "d4", "f6", "a1"}},
      {std::nullopt, "iCoins", {"B2", "f6", "g7", "c3", "d4", "e5", "a1"}},
      {std::nullopt, "", {"a1", "B2", "c3", "d4", "e5", "f6", "g7"}},
      {std::nullopt, "TbIndex1", {"a1", "B2", "c3", "d4", "e5", "f6", "g7"}},
      // Only the exact text GR1 is in use; everything else (empty, "gr1") is available.
      {CatalogueFilter::kInUse, "iCredits", {"B2", "a1", "c3"}},
      {CatalogueFilter::kAvailable, "iNameGame", {"e5", "g7", "d4", "f6"}},
      {CatalogueFilter::kAvailable, "ICREDITS", {"f6", "g7", "e5", "d4"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.index);
    auto v = View(c.filter, c.index);
    EXPECT_EQ(Walk(*v), c.expected);
    Names back = c.expected;
    std::reverse(back.begin(), back.end());
    EXPECT_EQ(WalkBack(*v), back);
  }
}

TEST_F(CatalogueViewTest, FilterTextsAndIndexNamesAreAFixedSet) {
  Make(MixedRows());
  CatalogueView v(file_);
  EXPECT_TRUE(v.SetFilter("GROUP='GR1'"));
  EXPECT_EQ(v.Filter(), CatalogueFilter::kInUse);
  EXPECT_TRUE(v.SetFilter(" group <> 'GR1' "));
  EXPECT_EQ(v.Filter(), CatalogueFilter::kAvailable);
  for (const char* bad : {"GROUP='GR2'", "GROUP='GR1' OR 1=1", "1", "", "GROUP='GR1';DROP"}) {
    EXPECT_FALSE(v.SetFilter(bad)) << bad;
    EXPECT_EQ(v.Filter(), CatalogueFilter::kAvailable);
  }
  EXPECT_FALSE(v.SetIndexName("iNameGame; DROP TABLE PARAMS2"));
  EXPECT_FALSE(v.SetIndexName("sqlite_autoindex_PARAMS2_1"));
  EXPECT_EQ(v.IndexName(), "");
}

TEST_F(CatalogueViewTest, WalkingPastTheEndStaysOnTheLastRow) {
  // Seven games in use: a page fill of ten slots shows seven titles and three empty slots,
  // and the view stands on the last (least played) game.
  std::vector<GameRow> rows;
  for (int i = 1; i <= 7; ++i) {
    rows.push_back(Game("g" + std::to_string(i), "Title " + std::to_string(i), "GR1", i * 10));
  }
  rows.push_back(Game("x1", "Spare", "GR2", 500));
  Make(rows);
  auto tb = View(CatalogueFilter::kInUse, "iCredits");
  std::vector<std::string> slots;
  tb->First();
  for (int n = 1; n <= 10; ++n) {
    slots.push_back(tb->Eof() ? "  -->" : " " + tb->ReadText(F::NAMEGAME).value());
    tb->Next();
  }
  EXPECT_EQ(slots, (Names{" Title 7", " Title 6", " Title 5", " Title 4", " Title 3", " Title 2",
                          " Title 1", "  -->", "  -->", "  -->"}));
  EXPECT_TRUE(tb->Eof());
  EXPECT_EQ(tb->ReadText(F::NAMEFILE), "g1");

  // Row k is First() and k times Next(); beyond the end it is the last row.
  for (int k : {0, 3, 6, 9, 30}) {
    tb->First();
    for (int i = 0; i < k; ++i) tb->Next();
    EXPECT_EQ(tb->ReadText(F::NAMEFILE), "g" + std::to_string(std::max(1, 7 - k))) << k;
    EXPECT_EQ(tb->Eof(), k > 6) << k;
  }
  // Before the start: Bof, on the first row; a move that finds a row clears it.
  tb->First();
  EXPECT_FALSE(tb->Prior());
  EXPECT_TRUE(tb->Bof());
  EXPECT_EQ(tb->ReadText(F::NAMEFILE), "g7");
  EXPECT_TRUE(tb->Next());
  EXPECT_FALSE(tb->Bof());

  // An alphabetical page beyond the games in use shows only empty slots.
  tb->SetIndexName("iNameGame");
  tb->First();
  for (int i = 0; i < 10; ++i) tb->Next();
  EXPECT_TRUE(tb->Eof());
}

TEST_F(CatalogueViewTest, AnEmptyViewHasNoRowAndNeverGainsOneByEditing) {
  Make({Game("x1", "Spare", "GR2", 0)});
  auto tb = View(CatalogueFilter::kInUse, "iCredits");
  EXPECT_FALSE(tb->HasRow());
  EXPECT_TRUE(tb->Eof());
  EXPECT_TRUE(tb->Bof());
  EXPECT_FALSE(tb->Next());
  EXPECT_FALSE(tb->ReadText(F::NAMEGAME).has_value());
  EXPECT_FALSE(tb->Edit());
  EXPECT_FALSE(tb->SetText(F::GROUP, "GR2"));
  EXPECT_FALSE(tb->Post());
  auto all = View(std::nullopt, "");
  EXPECT_EQ(Walk(*all), Names{"x1"});
}

TEST_F(CatalogueViewTest, PostingARowOutOfTheFilterLeavesTheViewInItsGap) {
  std::vector<GameRow> rows;
  for (int i = 1; i <= 12; ++i) {
    rows.push_back(Game("g" + std::to_string(100 + i), "T", "GR1", i));
  }
  Make(rows);
  auto tb = View(CatalogueFilter::kInUse, "iCredits");

  // From the least played upward: post, previous row, ten times.
  tb->Last();
  Names retired;
  for (int i = 0; i < 10; ++i) {
    retired.push_back(tb->ReadText(F::NAMEFILE).value());
    ASSERT_TRUE(tb->Edit());
    ASSERT_TRUE(tb->SetText(F::GROUP, "GR2"));
    ASSERT_TRUE(tb->Post()) << tb->LastError();
    EXPECT_FALSE(tb->HasRow());
    EXPECT_FALSE(tb->ReadText(F::NAMEFILE).has_value());
    EXPECT_FALSE(tb->Edit());
    ASSERT_TRUE(tb->Prior());
  }
  EXPECT_EQ(retired, (Names{"g101", "g102", "g103", "g104", "g105", "g106", "g107", "g108", "g109",
                            "g110"}));
  EXPECT_EQ(Walk(*tb), (Names{"g112", "g111"}));

  // Forward: post out, then next, reaches the following row without skipping one.
  tb->First();
  ASSERT_TRUE(tb->Edit());
  tb->SetText(F::GROUP, "GR2");
  ASSERT_TRUE(tb->Post());
  ASSERT_TRUE(tb->Next());
  EXPECT_EQ(tb->ReadText(F::NAMEFILE), "g111");

  // The last game leaves: the view is empty and both moves report the ends.
  ASSERT_TRUE(tb->Edit());
  tb->SetText(F::GROUP, "GR2");
  ASSERT_TRUE(tb->Post());
  EXPECT_FALSE(tb->Prior());
  EXPECT_FALSE(tb->HasRow());
  EXPECT_TRUE(tb->Bof());
  EXPECT_TRUE(tb->Eof());
}

TEST_F(CatalogueViewTest, NextFromAGapAtTheEndStandsOnTheNewLastRow) {
  Make({Game("a", "A", "GR1", 3), Game("b", "B", "GR1", 2), Game("c", "C", "GR1", 1)});
  auto tb = View(CatalogueFilter::kInUse, "iCredits");
  tb->Last();
  ASSERT_TRUE(tb->Edit());
  tb->SetText(F::GROUP, "GR2");
  ASSERT_TRUE(tb->Post());
  EXPECT_FALSE(tb->Next());
  EXPECT_TRUE(tb->Eof());
  EXPECT_EQ(tb->ReadText(F::NAMEFILE), "b");
}

TEST_F(CatalogueViewTest, APostedRowThatStaysIsFollowedToItsNewPlace) {
  Make({Game("a", "A", "GR1", 30), Game("b", "B", "GR1", 20), Game("c", "C", "GR1", 10),
        Game("d", "D", "GR1", 0)});
  auto tb = View(CatalogueFilter::kInUse, "iCredits");
  tb->Last();  // d, 0 plays
  ASSERT_TRUE(tb->Edit());
  ASSERT_TRUE(tb->SetInt(F::CREDITS, 25));
  EXPECT_EQ(tb->ReadInt(F::CREDITS), 25);  // reads show the edit
  ASSERT_TRUE(tb->Post());
  EXPECT_EQ(tb->ReadText(F::NAMEFILE), "d");
  ASSERT_TRUE(tb->Next());
  EXPECT_EQ(tb->ReadText(F::NAMEFILE), "b");
  EXPECT_EQ(Walk(*tb), (Names{"a", "d", "b", "c"}));
}

TEST_F(CatalogueViewTest, ChangingTheOrderKeepsTheRowWhileItPassesTheFilter) {
  Make(MixedRows());
  auto v = View(CatalogueFilter::kInUse, "iCredits");
  v->Next();  // a1
  ASSERT_TRUE(v->SetIndexName("iNameGame"));
  EXPECT_EQ(v->ReadText(F::NAMEFILE), "a1");
  EXPECT_FALSE(v->Next());  // Zeta is last by title
  v->SetFilter(CatalogueFilter::kAvailable);
  EXPECT_EQ(v->ReadText(F::NAMEFILE), "e5");  // a1 is in use: the view starts again
  v->SetFiltered(false);
  EXPECT_EQ(v->ReadText(F::NAMEFILE), "e5");
}

TEST_F(CatalogueViewTest, AViewSeesRowsPostedThroughAnother) {
  Make({Game("a", "Apple", "GR1", 3), Game("b", "Berry", "GR1", 2), Game("x", "Xylo", "GR2", 9),
        Game("y", "Yam", "GR2", 1)});
  auto tb = View(CatalogueFilter::kInUse, "iCredits");
  auto table1 = View(CatalogueFilter::kInUse, "iNameGame");
  auto table2 = View(CatalogueFilter::kAvailable, "iNameGame");
  EXPECT_EQ(tb->ReadText(F::NAMEFILE), "a");

  // The settings screen's exchange: Apple out, Xylo in.
  ASSERT_TRUE(table1->Edit());
  table1->SetText(F::GROUP, "GR2");
  ASSERT_TRUE(table1->Post());
  ASSERT_TRUE(table2->Edit());
  table2->SetText(F::GROUP, "GR1");
  ASSERT_TRUE(table2->Post());
  table1->First();

  // Tb's current row left its filter through another view: it cannot be read any more.
  EXPECT_FALSE(tb->ReadText(F::NAMEFILE).has_value());
  EXPECT_EQ(Walk(*tb), (Names{"x", "b"}));
  EXPECT_EQ(Walk(*table1), (Names{"b", "x"}));
  EXPECT_EQ(Walk(*table2), (Names{"a", "y"}));

  // In the middle of a walk: the next row was retired through another view, and a row was
  // brought in ahead of the walk. Tb's next move sees both.
  tb->First();      // x
  table1->First();  // b, the next row of Tb
  ASSERT_EQ(table1->ReadText(F::NAMEFILE), "b");
  ASSERT_TRUE(table1->Edit());
  table1->SetText(F::GROUP, "GR2");
  ASSERT_TRUE(table1->Post());
  table2->First();  // a, 3 plays: comes after x (9) in Tb's order
  ASSERT_TRUE(table2->Edit());
  table2->SetText(F::GROUP, "GR1");
  ASSERT_TRUE(table2->Post());
  ASSERT_TRUE(tb->Next());
  EXPECT_EQ(tb->ReadText(F::NAMEFILE), "a");
  EXPECT_FALSE(tb->Next());

  // A change to the row a view stands on is read as it now is.
  tb->First();
  table1->Last();  // Xylo
  ASSERT_TRUE(table1->Edit());
  table1->SetInt(F::CREDITS, 0);
  ASSERT_TRUE(table1->Post());
  EXPECT_EQ(tb->ReadInt(F::CREDITS), 0);
}

TEST_F(CatalogueViewTest, FieldReadsAndValueChecks) {
  Make({GameRow{"n1", std::nullopt, "GR1", std::nullopt, std::nullopt, 2}});
  Sql(R"(INSERT INTO PARAMS2 (NAMEFILE, NAMEGAME, "GROUP", CREDITS) VALUES ('t1','T','GR1','abc'))");
  auto tb = View(CatalogueFilter::kInUse, "");
  // An empty integer cannot be read; an empty text reads as "".
  EXPECT_FALSE(tb->ReadInt(F::CREDITS).has_value());
  EXPECT_TRUE(tb->IsNull(F::CREDITS));
  EXPECT_EQ(tb->ReadText(F::NAMEGAME), "");
  EXPECT_EQ(tb->ReadInt(F::Nrplayer), 2);
  EXPECT_EQ(tb->CurrentRow(), (GameRow{"n1", std::nullopt, "GR1", std::nullopt, std::nullopt, 2}));
  // Text in an integer field (written by another program) is not an integer, and not empty.
  ASSERT_TRUE(tb->Next());
  EXPECT_FALSE(tb->ReadInt(F::CREDITS).has_value());
  EXPECT_FALSE(tb->IsNull(F::CREDITS));

  ASSERT_TRUE(tb->Edit());
  EXPECT_FALSE(tb->SetText(F::NAMEGAME, "Fifteen chars!!"));
  EXPECT_TRUE(tb->SetText(F::NAMEGAME, "Fourteen chars"));
  EXPECT_TRUE(tb->SetText(F::NAMEGAME, "Ünïcödé tîtlé"));
  EXPECT_FALSE(tb->SetText(F::NAMEGAME, "tab\there"));
  EXPECT_FALSE(tb->SetText(F::GROUP, "ELEVENCHARS"));
  EXPECT_FALSE(tb->SetText(F::NAMEFILE, "../etc"));
  EXPECT_FALSE(tb->SetText(F::CREDITS, "1"));
  EXPECT_FALSE(tb->SetInt(F::GROUP, 1));
  EXPECT_FALSE(tb->SetInt(F::Nrplayer, 40000));
  EXPECT_FALSE(tb->SetInt(F::CREDITS, -1));
  EXPECT_TRUE(tb->SetInt(F::COINS, -7));
  // A NAMEFILE another row has (matched without case) is refused at the post.
  EXPECT_TRUE(tb->SetText(F::NAMEFILE, "N1"));
  EXPECT_FALSE(tb->Post());
  EXPECT_TRUE(tb->Editing());
  tb->Cancel();
  EXPECT_EQ(tb->ReadText(F::NAMEGAME), "T");
}

TEST_F(CatalogueViewTest, IndexesAreDeletedAndAddedByName) {
  Make(MixedRows());
  CatalogueView tb(file_);
  auto db = CatalogueDb::Open(file_);
  ASSERT_TRUE(db);
  for (const char* name : {"iNameGame", "iCredits", "iCoins"}) EXPECT_TRUE(db->HasIndex(name));

  EXPECT_TRUE(tb.DeleteIndex("ICOINS"));
  EXPECT_FALSE(db->HasIndex("iCoins"));
  EXPECT_FALSE(tb.DeleteIndex("ICOINS"));
  EXPECT_FALSE(tb.DeleteIndex("sqlite_autoindex_PARAMS2_1"));
  // The order does not need its index.
  ASSERT_TRUE(tb.SetIndexName("iCoins"));
  ASSERT_TRUE(tb.Open());
  const Names without = Walk(tb);
  tb.Close();
  EXPECT_TRUE(tb.AddIndex("iCoins", "COINS", IndexOptions{.caseInsensitive = true}));
  EXPECT_TRUE(db->HasIndex("icoins"));
  EXPECT_FALSE(tb.AddIndex("iCoins", "COINS", {}));  // taken
  EXPECT_FALSE(tb.AddIndex("bad name", "COINS", {}));
  EXPECT_FALSE(tb.AddIndex("iX", "COINS;PASSWORD", {}));
  EXPECT_FALSE(tb.AddIndex("iX", "COINS) ; DROP TABLE PARAMS2; --", {}));
  ASSERT_TRUE(tb.Open());
  EXPECT_EQ(Walk(tb), without);
  EXPECT_EQ(without, (Names{"B2", "f6", "g7", "c3", "d4", "e5", "a1"}));
}

TEST_F(CatalogueViewTest, OpenFailsOnAMissingOrForeignFile) {
  CatalogueView missing(file_);
  EXPECT_FALSE(missing.Open());
  EXPECT_NE(missing.LastError().find("no such file"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(file_));  // opening never creates the file

  std::ofstream(file_, std::ios::binary) << std::string(4096, '\x5a');
  CatalogueView garbage(file_);
  EXPECT_FALSE(garbage.Open());
  std::filesystem::remove(file_);

  sqlite3* raw = nullptr;
  ASSERT_EQ(sqlite3_open(file_.c_str(), &raw), SQLITE_OK);
  sqlite3_exec(raw, "CREATE TABLE other (x)", nullptr, nullptr, nullptr);
  sqlite3_close(raw);
  CatalogueView foreign(file_);
  EXPECT_FALSE(foreign.Open());
  EXPECT_NE(foreign.LastError().find("not a game catalogue"), std::string::npos);
}

TEST_F(CatalogueViewTest, EveryCommitIsSyncedAndATransactionIsAllOrNothing) {
  Make({Game("a", "A", "GR1", 1), Game("b", "B", "GR1", 2)});
  {
    auto db = CatalogueDb::Open(file_);
    ASSERT_TRUE(db);
    EXPECT_EQ(db->JournalMode(), "wal");
    EXPECT_EQ(db->Synchronous(), 2);  // FULL: a commit waits for the disk
  }

  // A writer killed inside a transaction leaves the file as before it; one killed right after
  // a post leaves the post.
  for (bool in_transaction : {true, false}) {
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      CatalogueView v(file_);
      v.SetIndexName("");
      if (!v.Open()) _exit(3);
      if (in_transaction && !v.StartTransaction()) _exit(4);
      if (!v.Edit() || !v.SetInt(F::CREDITS, in_transaction ? 77 : 55) || !v.Post()) _exit(5);
      kill(getpid(), SIGKILL);
      _exit(6);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status)) << WEXITSTATUS(status);
    auto db = CatalogueDb::Open(file_);  // opened after the fork: no connection crosses it
    ASSERT_TRUE(db);
    auto rows = db->ReadAllGames();
    ASSERT_TRUE(rows);
    EXPECT_EQ((*rows)[0].CREDITS, in_transaction ? 1 : 55);
  }
}

}  // namespace
}  // namespace cs
