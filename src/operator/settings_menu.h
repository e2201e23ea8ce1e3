#pragma once
// TFrmSet: the settings-and-counters screen of the test menu. The rotation mode (AUTO/MANUAL)
// and period (30, 45, 60, 90 days), the exchange of games between the list in use and the list
// of available games by hand, and the resettable coin counter TOTAL CREDITS with every game's
// play count (reset by the sixth select press on RESET).
//
// The test menu copies iUpdate, iUpdatePer and iUserCounter in before it shows this screen
// modally and takes them back after; changes to the catalogue are written at once.
#include <filesystem>

#include "catalogue/catalogue_view.h"
#include "operator/game_list_grid.h"
#include "operator/operator_screen.h"
#include "operator/segment_counter.h"

namespace cs {

class TFrmSet final : public MenuScreen {
 public:
  // catalogue: the file PARAMS2.DAT; Table1 and Table2 open on it at once.
  TFrmSet(EventLoop& loop, const std::filesystem::path& skinIni,
          const std::filesystem::path& catalogue);

  void WMPanelInput(int code, int lParam) override;
  void SkeCustomAction(int /*n*/) {}

  void HighlightItem();
  void ShowUpdate();
  void ShowPeriod();
  // Moves the selected game in use to the available games and the selected available game into
  // use, in one step; nothing when either list has no selected game.
  void ExchangeGames();
  // TOTAL CREDITS and the play count of every game to 0.
  void ResetCounters();
  // Makes Grid1 (true) or Grid2 the active list, and redraws both.
  void ActivateList(bool first);
  bool Grid1Active() const { return grid1_active_; }
  // Reads both lists again from their views.
  void RedrawGrids();

  std::int32_t CurItem = 0;
  std::int32_t PrevItem = 0;
  std::int32_t iUpdate = 0;       // 1 AUTO, 2 MANUAL
  std::int32_t iUpdatePer = 0;    // 1..4: 30, 45, 60, 90 days
  std::int32_t iUserCounter = 0;  // TOTAL CREDITS
  std::int32_t ResetPresses = 0;  // select presses on RESET since the last move up or down

  SegmentCounter ZsCredits;
  CatalogueView Table1;  // games in use, by title
  CatalogueView Table2;  // available games, by title
  GameListGrid Grid1;
  GameListGrid Grid2;

 protected:
  void OnShow() override;
  void DrawOver(QImage* screen) const override;

 private:
  void Up() override;
  void Down() override;
  void Left() override;
  void Right() override;
  void Select() override;
  void MoveActiveList(bool forward);
  static void ResetCreditsOf(CatalogueView* view);

  bool grid1_active_ = true;
};

}  // namespace cs
