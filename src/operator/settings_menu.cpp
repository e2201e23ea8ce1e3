#include "operator/settings_menu.h"

#include <climits>

#include "platform/log.h"

namespace cs {

namespace {
void OpenList(CatalogueView* view, const std::filesystem::path& file, CatalogueFilter filter) {
  view->SetFile(file);
  view->SetFilter(filter);
  view->SetFiltered(true);
  view->SetIndexName("iNameGame");
  if (!view->Open()) LogDiag("TFrmSet", "catalogue not opened: " + view->LastError());
}
}  // namespace

TFrmSet::TFrmSet(EventLoop& loop, const std::filesystem::path& skinIni,
                 const std::filesystem::path& catalogue)
    : MenuScreen(loop, "TFrmSet", skinIni) {
  Ske.OnCustomAction = [this](int n) { SkeCustomAction(n); };
  Grid1.rect = QRect(25, 205, 280, 150);
  Grid1.titleCaption = QStringLiteral("Games in Use");
  Grid2.rect = QRect(316, 205, 280, 150);
  Grid2.titleCaption = QStringLiteral("Available Games");
  OpenList(&Table1, catalogue, CatalogueFilter::kInUse);
  OpenList(&Table2, catalogue, CatalogueFilter::kAvailable);

  ShowUpdate();
  ShowPeriod();
  ResetPresses = 0;
  if (Ske.RootObject() != nullptr) {
    for (int n = 2; n <= 5; ++n) {
      if (SkinObject* o = Item(n)) Ske.RunLeaveEvent(o, true);
    }
    if (Item(1) != nullptr) {
      CurItem = PrevItem = 1;
      HighlightItem();
    }
  }
  ZsCredits.rect = QRect(470, 380, 152, 29);
  ActivateList(true);
}

void TFrmSet::HighlightItem() {
  if (SkinObject* o = Item(PrevItem)) Ske.RunLeaveEvent(o, true);
  if (SkinObject* o = Item(CurItem)) {
    Ske.RunHoverEvent(o, true);
    PrevItem = CurItem;
  }
}

void TFrmSet::ShowUpdate() {
  SkinObject* o = Obj("LB_UP");
  if (o == nullptr) return;
  if (iUpdate == 1) Ske.RunHoverEvent(o, true);
  if (iUpdate == 2) Ske.RunLeaveEvent(o, true);
}

void TFrmSet::ShowPeriod() {
  SkinObject* o = Obj("LB_PER");
  if (o == nullptr) return;
  switch (iUpdatePer) {
    case 1:
      Ske.RunHoverEvent(o, true);
      break;
    case 2:
      Ske.RunLeaveEvent(o, true);
      break;
    case 3:
      Ske.RunClickEvent(o, true);
      break;
    case 4:
      Ske.RunRightClickEvent(o, true);
      break;
    default:
      break;
  }
}

void TFrmSet::ExchangeGames() {
  // An empty list (or one whose selected game has just left it) has nothing to exchange: editing
  // it would fail half-way and leave one list a game short.
  if (!Table1.HasRow() || !Table2.HasRow()) return;
  const auto move = [](CatalogueView* view, std::string_view group) {
    if (view->Edit() && view->SetText(CatalogueField::GROUP, group) && view->Post()) return true;
    LogDiag("TFrmSet", "exchange of games failed: " + view->LastError());
    view->Cancel();
    return false;
  };
  if (move(&Table1, kGroupAvailable) && move(&Table2, kGroupInUse)) {
    // The available game left its list; the list selects the game that followed it (or the
    // last), as a grid does when its row goes.
    if (!Table2.HasRow()) Table2.Next();
  }
  Table1.First();
  RedrawGrids();
}

void TFrmSet::ResetCreditsOf(CatalogueView* view) {
  if (!view->First()) return;
  // One commit for the whole list: a reset is complete or not done at all.
  const bool inTransaction = view->StartTransaction();
  bool ok = true;
  do {
    ok = view->Edit() && view->SetInt(CatalogueField::CREDITS, 0) && view->Post();
  } while (ok && view->Next());
  if (ok && (!inTransaction || view->Commit())) return;
  LogDiag("TFrmSet", "reset of the play counts failed: " + view->LastError());
  view->Cancel();
  if (inTransaction) view->Rollback();
}

void TFrmSet::ResetCounters() {
  iUserCounter = 0;
  ZsCredits.caption = "00000000";
  ResetCreditsOf(&Table2);
  ResetCreditsOf(&Table1);
  RedrawGrids();
}

void TFrmSet::ActivateList(bool first) {
  grid1_active_ = first;
  Grid1.color = first ? kGridYellow : kGridGray;
  Grid2.color = first ? kGridGray : kGridYellow;
  Grid1.focused = first;
  Grid2.focused = !first;
  RedrawGrids();
}

void TFrmSet::RedrawGrids() {
  Grid1.Refresh(Table1);
  Grid2.Refresh(Table2);
  Changed();
}

void TFrmSet::MoveActiveList(bool forward) {
  CatalogueView& view = grid1_active_ ? Table1 : Table2;
  if (forward) {
    view.Next();
  } else {
    view.Prior();
  }
  RedrawGrids();
}

void TFrmSet::Up() {
  ResetPresses = 0;
  CurItem = CurItem <= 1 ? 5 : CurItem - 1;
  HighlightItem();
}

void TFrmSet::Down() {
  ResetPresses = 0;
  CurItem = CurItem >= 5 ? 1 : CurItem + 1;
  HighlightItem();
}

void TFrmSet::Left() {
  if (CurItem == 1) {
    iUpdate = iUpdate <= 1 ? 2 : iUpdate - 1;
    ShowUpdate();
  } else if (CurItem == 2) {
    iUpdatePer = iUpdatePer <= 1 ? 4 : iUpdatePer - 1;
    ShowPeriod();
  }
}

void TFrmSet::Right() {
  if (CurItem == 1) {
    iUpdate = iUpdate >= 2 ? 1 : iUpdate + 1;
    ShowUpdate();
  } else if (CurItem == 2) {
    iUpdatePer = iUpdatePer >= 4 ? 1 : iUpdatePer + 1;
    ShowPeriod();
  }
}

void TFrmSet::Select() {
  switch (CurItem) {
    case 1:
      ShowUpdate();
      break;
    case 4:
      if (ResetPresses < INT_MAX) ++ResetPresses;
      if (ResetPresses > 5) ResetCounters();
      break;
    case 5:
      Hide();
      break;
    default:
      break;
  }
}

void TFrmSet::WMPanelInput(int code, int /*lParam*/) {
  switch (code) {
    case 200:
      Up();
      break;
    case 208:
      Down();
      break;
    case 203:
      Left();
      break;
    case 205:
      Right();
      break;
    case 2:
      Select();
      break;
    case 3:
      if (CurItem == 3 && iUpdate == 2) ExchangeGames();
      break;
    case 19:
      if (CurItem == 3) MoveActiveList(false);
      break;
    case 33:
      if (CurItem == 3) MoveActiveList(true);
      break;
    case 32:
      if (CurItem == 3) ActivateList(true);
      break;
    case 34:
      if (CurItem == 3) ActivateList(false);
      break;
    default:
      break;
  }
}

void TFrmSet::OnShow() {
  // Rows may have changed since the last opening (plays counted, a rotation).
  Grid1.Refresh(Table1);
  Grid2.Refresh(Table2);
  OperatorScreen::OnShow();
}

void TFrmSet::DrawOver(QImage* screen) const {
  DrawGameListGrid(screen, Grid1);
  DrawGameListGrid(screen, Grid2);
  DrawSegmentCounter(screen, ZsCredits);
}

}  // namespace cs
