// Panel events on the menu: coins, the highlight, pages, the service and video-mode buttons and
// the start of the selected game.
#include <algorithm>

#include "frontend/main_window.h"
#include "tvout/tvout_window.h"

namespace cs {

void TDbgFrm::AddCoin() {
  iParCredits += 1;
  if (iParCredits >= 1 && CoinStep < 2) {
    iParCredits = CoinStep;
    iCredits += 1;
    iSysCounter += 1;
    iUserCounter += 1;
  }
  if (iParCredits >= 1 && CoinStep >= 1) {
    iParCredits = 0;
    iCredits += CoinStep;
    // At 3 credits per coin the steps above skip the book-keeping; every other price counts
    // each paid price once, so this one counts its coin too, or the counters would lose coins.
    if (CoinStep >= 2) {
      iSysCounter += 1;
      iUserCounter += 1;
    }
  }
}

void TDbgFrm::TurnPage(int code) {
  KeyNow = loop().clock().TimeOfDay();
  if (DaySince(KeyNow, LastKeyTime) < 0.000002) {
    LastKeyTime = KeyNow;
    return;
  }
  LastKeyTime = KeyNow;
  if (code == 203) {
    PageOffset = PageOffset >= 10 ? PageOffset - 10 : 40;
    ApplyStoredScript("Bt_Left", ScriptKind::kHover);
    ArrowLit = 1;
  } else {
    PageOffset = PageOffset > 30 ? 0 : PageOffset + 10;
    ApplyStoredScript("Bt_Right", ScriptKind::kHover);
    ArrowLit = 2;
  }
  FillPage();
}

void TDbgFrm::StepVideoMode() {
  // Without a TV-out window the mode still steps, beeps and is saved; nothing else is called.
  tvout::TMain* tv = tvout_ ? &tvout_->window() : nullptr;
  switch (iKhz15) {
    case 0:
      Beep();
      loop().Sleep(200);
      Beep();
      if (tv) {
        tv->chkNoInterlaceClick();
        tv->chkModePALClick();
      }
      iKhz15 = 1;
      break;
    case 1:
      Beep();
      loop().Sleep(200);
      Beep();
      loop().Sleep(200);
      Beep();
      if (tv) tv->chkModeNTSCClick();
      iKhz15 = 2;
      break;
    case 2:
      loop().Sleep(200);
      Beep();
      if (tv) {
        tv->chkNoInterlaceClick();
        tv->chkModeVGAClick();
      }
      iKhz15 = 0;
      break;
    default:
      break;
  }
  SaveCounters(Map(), this);
}

void TDbgFrm::TestMenu() {
  if (!Operators) return;
  TestMenuValues v{iCoinCredits, iCredits, iVolume, iUserCounter, iUpdate, iUpdatePer};
  ServiceMode = 10;
  Operators->RunTestMenu(&v);
  ServiceMode = 0;
  iCoinCredits = v.iCoinCredits;
  iCredits = v.iCredits;
  iVolume = v.iVolume;
  iUpdate = v.iUpdate;
  iUpdatePer = v.iUpdatePer;
  iUserCounter = v.iUserCounter;
  // A new price: iParCredits holds the coins paid toward the next credit on top of the old
  // price's step, which the new step would misread (from 1/1 to 3/1 the next coin bought a
  // credit; from 3/1 to 1/1 the next credit took three coins). The paid coins count again at
  // the new price, from its settled value.
  const std::int32_t oldStep = CoinStep;
  SetCoinStep(this);
  if (CoinStep != oldStep) {
    const std::int32_t paid = oldStep <= 0 ? std::clamp(iParCredits - oldStep, 0, -oldStep) : 0;
    iParCredits = CoinStep <= 0 ? CoinStep : 0;
    for (std::int32_t i = 0; i < paid; ++i) AddCoin();
  }
  SetCreditsCaption();
  if (!SaveCounters(Map(), this)) return;
  ApplyVolume();
  Changed();
}

void TDbgFrm::WMPanelInput(int code, int lParam) {
  const bool running = flags.Running();
  // 1.
  if (running && code != 6 && code != 7 && code != 600) return;
  // 2. An open operator screen takes the press.
  if (Operators && Operators->ForwardPanelInput(code, lParam)) return;
  // 3. Coins, also while a game runs or starts.
  if (code == 6 || code == 7) {
    AddCoin();
    CoinDuringGame();
    SetCreditsCaption();
    if (!SaveCounters(Map(), this)) return;
    Beep();
  }
  // 4.
  if (TimStartUp.Enabled()) return;
  switch (code) {
    case 200:
      if (CurSlot >= 1) SelectSlot(CurSlot == 1 ? 10 : CurSlot - 1);
      break;
    case 208:
      SelectSlot(CurSlot == 10 ? 1 : CurSlot + 1);
      break;
    case 203:
    case 205:
      TurnPage(code);
      break;
    case 500:
      if (!running) TestMenu();
      break;
    case 600:
      if (running) ExitRequest();
      break;
    case 510:
      StepVideoMode();
      break;
    case 2:
      if (IdleTicks > 30 && iCredits >= 1 && !running && !TimStartUp.Enabled()) {
        if (SkinObject* o = Obj("BUT_" + std::to_string(CurSlot))) {
          Ske.RunScript(o, "action(" + std::to_string(CurSlot + 100) + ")");
        }
      }
      break;
    default:
      break;
  }
}

}  // namespace cs
