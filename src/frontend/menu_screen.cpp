// The menu screen: slot highlight, page fill, the periodic refresh and the message timer.
#include "frontend/main_window.h"
#include "panel/panel_reader.h"

namespace cs {

void TDbgFrm::ApplyStoredScript(const std::string& object, ScriptKind kind) {
  if (SkinObject* o = Obj(object)) Ske.ExecuteCommand(o, o->Script(kind));
}

void TDbgFrm::SelectSlot(int n) {
  if (CurSlot > 0) UnhighlightSlot(CurSlot);
  CurSlot = n;
  // The hover script lights the slot and raises action(n), which positions Tb on the slot's
  // game and selects its preview.
  if (SkinObject* o = Obj("BUT_" + std::to_string(n))) Ske.RunHoverEvent(o, true);
}

void TDbgFrm::UnhighlightSlot(int n) {
  if (SkinObject* o = Obj("BUT_" + std::to_string(n))) Ske.RunLeaveEvent(o, true);
}

void TDbgFrm::MoveToRow(int k) {
  Tb.First();
  for (int i = 0; i < k; ++i) Tb.Next();
}

int TDbgFrm::SlotRow(int slot) const {
  return PageOffset == 0 ? slot - 1 : (slot - 1) + (PageOffset - 10);
}

void TDbgFrm::FillPage() {
  Tb.SetIndexName(PageOffset == 0 ? "iCredits" : "iNameGame");
  if (!Ske.Loaded()) return;
  Tb.First();
  if (PageOffset >= 10) {
    for (int i = 0; i < PageOffset - 10; ++i) Tb.Next();
  }
  if (!Ske.RootObject()) return;
  for (int n = 1; n <= 10; ++n) {
    SkinObject* o = Obj("BUT_" + std::to_string(n));
    if (!o) continue;  // a missing slot does not consume a row
    if (Tb.Eof() || !Tb.HasRow()) {
      o->SetText("  -->");
    } else {
      o->SetText(" " + Tb.ReadText(CatalogueField::NAMEGAME).value_or(""));
    }
    Ske.RunLeaveEvent(o, true);
    Tb.Next();
  }
  SelectSlot(CurSlot);
  const ScriptKind banner = PageOffset == 0 ? ScriptKind::kHover : ScriptKind::kLeave;
  ApplyStoredScript("TOPTEN", banner);
  ApplyStoredScript("TOPTENDN", banner);
  ScriptKind digit = ScriptKind::kHover;
  switch (PageOffset) {
    case 20:
      digit = ScriptKind::kLeave;
      break;
    case 30:
      digit = ScriptKind::kClick;
      break;
    case 40:
      digit = ScriptKind::kRightClick;
      break;
    default:
      break;
  }
  ApplyStoredScript("PAGE", digit);
}

void TDbgFrm::SetCreditsCaption() {
  const std::string caption = FormatCredits(iCredits);
  if (caption != ZsCredits.caption) {
    const QRect before = ZsCredits.Bounds();
    ZsCredits.caption = caption;
    Changed(before | ZsCredits.Bounds());
  }
}

void TDbgFrm::TimRefreshTimer() {
  const bool running = flags.Running();
  if (!running) SetCreditsCaption();
  if (LoadState <= 0) {
    const char* cmd = iCredits > 0 ? (MsgBlink ? "ChangeImage(Bt_Start,0,100,370,150)"
                                               : "ChangeImage(Bt_Start,0,150,370,370)")
                                   : (MsgBlink ? "ChangeImage(Bt_Start,0,50,380,100)"
                                               : "ChangeImage(CoinDwn,4,2,368,50)");
    if (!running) {
      if (SkinObject* msg = Obj("MSG")) Ske.ExecuteCommand(msg, cmd);
    }
    MsgBlink = !MsgBlink;
  }
  if (ArrowLit == 1) {
    ApplyStoredScript("Bt_Left", ScriptKind::kLeave);
    ArrowLit = 0;
  } else if (ArrowLit == 2) {
    ApplyStoredScript("Bt_Right", ScriptKind::kLeave);
    ArrowLit = 0;
  }
  if (LoadState > 0 && LoadState < 3) {
    ApplyStoredScript("P1", ScriptKind::kLeave);
    if (SkinObject* player = Obj("PLAYER")) {
      Ske.ShowObject(player, true);
      if (Tb.ReadInt(CatalogueField::Nrplayer).value_or(0) >= 2) {
        Ske.RunHoverEvent(player, true);
      } else {
        Ske.RunLeaveEvent(player, true);
      }
    }
    if (!running) {
      if (SkinObject* wait = Obj("WAIT")) {
        Ske.ShowObject(wait, true);
        Ske.ExecuteCommand(wait, WaitBlink ? wait->LeaveEvent() : wait->HoverEvent());
      }
      WaitBlink = !WaitBlink;
    }
  }
}

void TDbgFrm::TimerMessageTimer() {
  PanelFields& k = Keyb();
  if (PlayState == 10) {
    k.NoInputTicks.store(0, std::memory_order_relaxed);
    k.GameNoInputTicks.store(0, std::memory_order_relaxed);
  }
  k.NoInputTicks.fetch_add(1, std::memory_order_relaxed);
  k.GameNoInputTicks.fetch_add(1, std::memory_order_relaxed);
  SuperviseMessageTick();
}

}  // namespace cs
