#pragma once
// TFrmGameList: the game list window "Game List", 526 x 452, centred on the screen. A record
// navigator on top (first, prior, next, last) and a grid filling the rest, both on one catalogue
// view: the main window's `Tb`, so the grid shows the games in use in the main window's current
// order and the navigator moves `Tb` itself.
//
// The grid is read-only: a row of the catalogue is changed through the settings screen, which
// checks every value. Selecting a row in the grid (mouse or keys) moves the view to that row.
//
// The view has no change notice, so the grid reads its rows again when the window is shown or
// activated, after every move made from the window, and on Refresh(). Between those it shows the
// rows as they were read (the main window walks `Tb` on every page fill).
//
// Main thread only; needs a QApplication. The view must outlive the window.
#include <QImage>
#include <QWidget>
#include <memory>
#include <string>
#include <vector>

#include "catalogue/game_row.h"

class QTableWidget;
class QToolButton;

namespace cs {

class CatalogueView;

class TFrmGameList final : public QWidget {
 public:
  // The window's class name, as `coinshell-ctl status` lists visible windows.
  static constexpr char kClassName[] = "TFrmGameList";
  static constexpr int kWidth = 526;
  static constexpr int kHeight = 452;

  // Created hidden (the program creates it at start-up).
  explicit TFrmGameList(CatalogueView& view, QWidget* parent = nullptr);
  ~TFrmGameList() override;

  // Shows the window centred on the screen, in front, with the rows read again.
  void Open();
  // Reads the view's rows and its current row again.
  void Refresh();

  // The navigator's buttons.
  void First();
  void Prior();
  void Next();
  void Last();

  // The grid's rows as last read, in the view's order.
  const std::vector<GameRow>& Rows() const { return rows_; }
  // The grid row of the view's current row; -1 when the view stands on none (closed, empty, or
  // in the gap a row left).
  int CurrentIndex() const { return current_; }

  // Children by their names: "DBNavigator1" with "btnFirst", "btnPrior", "btnNext", "btnLast";
  // "DBGrid1".
  QTableWidget* Grid() const { return grid_; }
  QToolButton* NavigatorButton(int i) const { return buttons_[i]; }  // 0 first ... 3 last

  // The window's picture (a screenshot of the widgets).
  QImage Screenshot();

 protected:
  void showEvent(QShowEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  // Moves the view to the row whose NAMEFILE the grid shows at `row`.
  void GoToGridRow(int row);
  void Fill();
  void Select();

  CatalogueView& view_;
  QTableWidget* grid_ = nullptr;
  QToolButton* buttons_[4] = {};
  std::vector<GameRow> rows_;
  int current_ = -1;
  bool filling_ = false;  // set while the grid changes under program control
};

// For the composition root: creates the window into `*window` on first use (hidden, as at
// start-up when called with show = false), then, with show, opens it (Open()). Returns it.
TFrmGameList& OpenGameList(std::unique_ptr<TFrmGameList>* window, CatalogueView& tb,
                           bool show = true);

}  // namespace cs
