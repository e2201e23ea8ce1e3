// The game list window on a real catalogue file: its grid shows the main window's view in the
// view's order, its navigator and its grid move that view.
#include "frontend/game_list_window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScreen>
#include <QTableWidget>
#include <QToolButton>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "catalogue/catalogue_fixture.h"
#include "catalogue/catalogue_view.h"

namespace cs {
namespace {

using testing::Game;
using Names = std::vector<std::string>;

// Games in use (GR1) with ties and an empty play count, and two that are not in use.
std::vector<GameRow> Catalogue() {
  return {Game("MAZERUN", "Maze Runner", "GR1", 41), Game("STARHIVE", "Star Hive", "GR1", 7),
          Game("ASTRO", "Astro Blaster", "GR1", 41), Game("ZIGZAG", "Zig Zag", "GR1", std::nullopt),
          Game("DIGGER", "Digger Dan", "GR1", 120),  Game("BOMBER", "Bomber Bob", "GR2", 300),
          Game("QUADS", "Quads", std::nullopt, 9),   Game("CRAWLER", "worm hole", "GR1", 0)};
}

class GameListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    file_ = dir_.path() / "PARAMS2.DAT";
    testing::WriteCatalogue(file_, Catalogue());
    // As the main window keeps Tb: the games in use, by play count.
    tb_.SetFile(file_);
    tb_.SetFilter(CatalogueFilter::kInUse);
    tb_.SetFiltered(true);
    tb_.SetIndexName("iCredits");
    ASSERT_TRUE(tb_.Open()) << tb_.LastError();
  }

  // The NAMEFILE column of the grid, top to bottom.
  static Names GridNames(const TFrmGameList& w) {
    Names out;
    for (int r = 0; r < w.Grid()->rowCount(); ++r) {
      out.push_back(w.Grid()->item(r, 0)->text().toStdString());
    }
    return out;
  }
  std::string TbName() const { return tb_.ReadText(CatalogueField::NAMEFILE).value_or("(none)"); }
  // The row the grid marks as current: selected and with the indicator, -1 for none.
  static int MarkedRow(const TFrmGameList& w) {
    int marked = -1;
    for (int r = 0; r < w.Grid()->rowCount(); ++r) {
      const bool indicator = !w.Grid()->verticalHeaderItem(r)->text().isEmpty();
      const bool selected = w.Grid()->item(r, 0)->isSelected();
      EXPECT_EQ(indicator, selected) << "row " << r;
      if (indicator) {
        EXPECT_EQ(marked, -1) << "two rows marked";
        marked = r;
      }
    }
    return marked;
  }
  static std::vector<bool> Enabled(const TFrmGameList& w) {
    std::vector<bool> out;
    for (int i = 0; i < 4; ++i) out.push_back(w.NavigatorButton(i)->isEnabled());
    return out;
  }

  testing::ScratchDir dir_;
  std::filesystem::path file_;
  CatalogueView tb_;
};

const Names kByCredits = {"DIGGER", "ASTRO", "MAZERUN", "STARHIVE", "CRAWLER", "ZIGZAG"};

TEST_F(GameListTest, GridShowsTheViewInItsOrder) {
  const struct {
    const char* index;
    bool filtered;
    Names names;
  } cases[] = {
      {"iCredits", true, kByCredits},
      {"iNameGame", true, {"ASTRO", "DIGGER", "MAZERUN", "STARHIVE", "CRAWLER", "ZIGZAG"}},
      {"", true, {"ASTRO", "CRAWLER", "DIGGER", "MAZERUN", "STARHIVE", "ZIGZAG"}},
      {"iCredits",
       false,
       {"BOMBER", "DIGGER", "ASTRO", "MAZERUN", "QUADS", "STARHIVE", "CRAWLER", "ZIGZAG"}},
  };
  TFrmGameList w(tb_);
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.index) + (c.filtered ? " in use" : " all"));
    tb_.SetFiltered(c.filtered);
    ASSERT_TRUE(tb_.SetIndexName(c.index));
    tb_.First();
    w.Refresh();
    EXPECT_EQ(GridNames(w), c.names);
    EXPECT_EQ(MarkedRow(w), 0);
  }
  tb_.SetFiltered(true);
  tb_.SetIndexName("iCredits");
  w.Refresh();
  // Every field, an empty one as an empty cell.
  const QTableWidget& g = *w.Grid();
  ASSERT_EQ(g.columnCount(), 6);
  QStringList titles;
  for (int c = 0; c < 6; ++c) titles << g.horizontalHeaderItem(c)->text();
  EXPECT_EQ(titles.join(QStringLiteral(",")),
            QStringLiteral("NAMEFILE,NAMEGAME,GROUP,CREDITS,COINS,Nrplayer"));
  EXPECT_EQ(g.item(1, 1)->text(), QStringLiteral("Astro Blaster"));
  EXPECT_EQ(g.item(1, 3)->text(), QStringLiteral("41"));
  EXPECT_EQ(g.item(5, 1)->text(), QStringLiteral("Zig Zag"));
  EXPECT_EQ(g.item(5, 3)->text(), QString());
  EXPECT_EQ(g.item(4, 3)->text(), QStringLiteral("0"));
}

TEST_F(GameListTest, NavigatorMovesTheView) {
  TFrmGameList w(tb_);
  w.Refresh();
  const struct {
    int button;  // 0 first, 1 prior, 2 next, 3 last
    int row;
    std::vector<bool> enabled;
  } steps[] = {
      {2, 1, {true, true, true, true}},   {2, 2, {true, true, true, true}},
      {3, 5, {true, true, false, false}}, {1, 4, {true, true, true, true}},
      {0, 0, {false, false, true, true}}, {1, 0, {false, false, true, true}},
      {3, 5, {true, true, false, false}}, {2, 5, {true, true, false, false}},
  };
  EXPECT_EQ(MarkedRow(w), 0);
  EXPECT_EQ(Enabled(w), (std::vector<bool>{false, false, true, true}));
  for (const auto& s : steps) {
    SCOPED_TRACE("button " + std::to_string(s.button) + " to row " + std::to_string(s.row));
    // The button itself, as a click reaches it (a disabled one does nothing).
    w.NavigatorButton(s.button)->click();
    EXPECT_EQ(TbName(), kByCredits[s.row]);
    EXPECT_EQ(w.CurrentIndex(), s.row);
    EXPECT_EQ(MarkedRow(w), s.row);
    EXPECT_EQ(Enabled(w), s.enabled);
  }
  // Prior and Next step where a disabled button would not: the view's own edges.
  w.First();
  w.Prior();
  EXPECT_TRUE(tb_.Bof());
  EXPECT_EQ(TbName(), "DIGGER");
}

TEST_F(GameListTest, SelectingAGridRowMovesTheView) {
  TFrmGameList w(tb_);
  w.Open();
  QApplication::processEvents();
  QTableWidget* g = w.Grid();
  const QRect cell = g->visualRect(g->model()->index(3, 1));
  ASSERT_TRUE(cell.isValid());
  const QPointF at = cell.center();
  QMouseEvent press(QEvent::MouseButtonPress, at, g->viewport()->mapToGlobal(at), Qt::LeftButton,
                    Qt::LeftButton, Qt::NoModifier);
  QMouseEvent release(QEvent::MouseButtonRelease, at, g->viewport()->mapToGlobal(at),
                      Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(g->viewport(), &press);
  QApplication::sendEvent(g->viewport(), &release);
  QApplication::processEvents();
  EXPECT_EQ(TbName(), "STARHIVE");
  EXPECT_EQ(MarkedRow(w), 3);

  QKeyEvent down(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier);
  QApplication::sendEvent(g, &down);
  QApplication::processEvents();
  EXPECT_EQ(TbName(), "CRAWLER");
  EXPECT_EQ(MarkedRow(w), 4);
  w.close();
}

TEST_F(GameListTest, RowsChangedElsewhereShowAtTheNextRead) {
  TFrmGameList w(tb_);
  w.Refresh();
  // The settings screen's view changes a play count: STARHIVE moves to the top of the order.
  {
    CatalogueView table1(file_);
    ASSERT_TRUE(table1.Open());
    while (table1.ReadText(CatalogueField::NAMEFILE) != "STARHIVE") ASSERT_TRUE(table1.Next());
    ASSERT_TRUE(table1.Edit());
    ASSERT_TRUE(table1.SetInt(CatalogueField::CREDITS, 500));
    ASSERT_TRUE(table1.Post()) << table1.LastError();
  }
  EXPECT_EQ(GridNames(w), kByCredits);  // as read before
  w.Open();                             // showing reads again
  EXPECT_EQ(GridNames(w), (Names{"STARHIVE", "DIGGER", "ASTRO", "MAZERUN", "CRAWLER", "ZIGZAG"}));
  // Tb still stands on DIGGER, now the second row.
  EXPECT_EQ(MarkedRow(w), 1);

  // A row taken out of use through Tb: the view is in the gap it left, no row is marked, and
  // both ways stay open; Next goes to the row after the gap.
  w.Next();
  ASSERT_EQ(TbName(), "ASTRO");
  ASSERT_TRUE(tb_.Edit());
  ASSERT_TRUE(tb_.SetText(CatalogueField::GROUP, "GR2"));
  ASSERT_TRUE(tb_.Post());
  w.Refresh();
  EXPECT_EQ(GridNames(w), (Names{"STARHIVE", "DIGGER", "MAZERUN", "CRAWLER", "ZIGZAG"}));
  EXPECT_EQ(w.CurrentIndex(), -1);
  EXPECT_EQ(MarkedRow(w), -1);
  EXPECT_EQ(Enabled(w), (std::vector<bool>{true, true, true, true}));
  w.NavigatorButton(2)->click();
  EXPECT_EQ(TbName(), "MAZERUN");
  EXPECT_EQ(MarkedRow(w), 2);
  w.close();
}

TEST_F(GameListTest, ClosedOrEmptyViewShowsNothingToMove) {
  // Start-up stopped before Tb opened (a missing catalogue), and a catalogue with no game in use.
  CatalogueView closed(dir_.path() / "MISSING.DAT");
  TFrmGameList a(closed);
  a.Refresh();
  EXPECT_EQ(a.Grid()->rowCount(), 0);
  EXPECT_EQ(Enabled(a), (std::vector<bool>(4, false)));
  a.Next();
  a.Last();
  EXPECT_EQ(a.CurrentIndex(), -1);

  const std::filesystem::path none = dir_.path() / "NONE.DAT";
  testing::WriteCatalogue(none, {Game("QUADS", "Quads", "GR2", 9)});
  CatalogueView empty(none);
  empty.SetFiltered(true);
  ASSERT_TRUE(empty.Open());
  TFrmGameList b(empty);
  b.Refresh();
  EXPECT_EQ(b.Grid()->rowCount(), 0);
  EXPECT_EQ(Enabled(b), (std::vector<bool>(4, false)));
}

TEST_F(GameListTest, WindowOpensCentredWithItsCaptionAndPicture) {
  std::unique_ptr<TFrmGameList> window;
  // At start-up: created, not shown.
  TFrmGameList& w = OpenGameList(&window, tb_, false);
  EXPECT_FALSE(w.isVisible());
  EXPECT_EQ(&OpenGameList(&window, tb_), &w);  // the same window, now shown
  QApplication::processEvents();
  EXPECT_TRUE(w.isVisible());
  EXPECT_EQ(w.windowTitle(), QStringLiteral("Game List"));
  EXPECT_EQ(w.size(), QSize(526, 452));
  const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
  EXPECT_LE(std::abs(w.frameGeometry().center().x() - screen.center().x()), 1);
  EXPECT_LE(std::abs(w.frameGeometry().center().y() - screen.center().y()), 1);
  EXPECT_EQ(GridNames(w), kByCredits);
  // The grid fills the window below the navigator.
  const QRect grid = w.Grid()->geometry();
  EXPECT_EQ(grid.width(), 526);
  EXPECT_EQ(grid.bottom(), 451);
  EXPECT_GE(grid.top(), w.NavigatorButton(0)->geometry().bottom());
  for (const char* name : {"DBNavigator1", "btnFirst", "btnPrior", "btnNext", "btnLast", "DBGrid1"})
    EXPECT_NE(w.findChild<QWidget*>(QString::fromLatin1(name)), nullptr) << name;

  w.Next();
  w.Next();
  const QImage shot = w.Screenshot();
  EXPECT_EQ(shot.size(), QSize(526, 452) * shot.devicePixelRatio());
  // For looking at: build/.../tests/gamelist/game_list.png.
  if (const char* bin = std::getenv("COINSHELL_BINARY_DIR")) {
    const std::string out = std::string(bin) + "/tests/gamelist/game_list.png";
    EXPECT_TRUE(shot.save(QString::fromStdString(out), "PNG")) << out;
  }
  w.close();
}

}  // namespace
}  // namespace cs
