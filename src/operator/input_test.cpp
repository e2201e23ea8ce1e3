#include "operator/input_test.h"

#include <algorithm>

namespace cs {

TFrmInp::TFrmInp(EventLoop& loop, const std::filesystem::path& skinIni)
    : OperatorScreen(loop, "TFrmInp", skinIni),
      Timer1(loop, 200, false, [this] { Timer1Timer(); }),
      Timer2(loop, 200, true, [this] { Timer2Timer(); }) {
  // Every indicator lights once and ends dark, the last one when Timer1 fires.
  if (Ske.RootObject() != nullptr) {
    LitIndicator = 1;
    for (int n = 1; n <= 25; ++n) {
      if (Item(n) == nullptr) continue;
      CurIndicator = n;
      LightIndicator();
    }
  }
}

int TFrmInp::IndicatorForCode(int code) {
  switch (code) {
    case 1:
      return 1;
    case 2:
      return 2;
    case 3:
      return 10;
    case 200:
      return 18;
    case 208:
      return 20;
    case 203:
      return 17;
    case 205:
      return 19;
    case 29:
      return 3;
    case 57:
      return 4;
    case 44:
      return 5;
    case 56:
      return 6;
    case 42:
      return 8;
    case 19:
      return 22;
    case 33:
      return 24;
    case 32:
      return 21;
    case 34:
      return 23;
    case 30:
      return 11;
    case 16:
      return 12;
    case 18:
      return 13;
    case 31:
      return 14;
    case 17:
      return 15;
    default:
      return 0;
  }
}

void TFrmInp::LightIndicator() {
  if (SkinObject* o = Item(LitIndicator)) Ske.RunLeaveEvent(o, true);
  if (SkinObject* o = Item(CurIndicator)) {
    Ske.RunHoverEvent(o, true);
    LitIndicator = CurIndicator;
    lit_.insert(CurIndicator);
  }
  Timer1.SetEnabled(true);
}

void TFrmInp::PressIndicator(int n) {
  CurIndicator = n;
  LitIndicator = n;
  LightIndicator();
}

void TFrmInp::ExitCheck() {
  const bool close = ExitTicks < 2;
  ExitTicks = 0;
  if (close) Hide();
}

void TFrmInp::WMPanelInput(int code, int /*lParam*/) {
  const int n = IndicatorForCode(code);
  if (n == 0) return;
  PressIndicator(n);
  if (code == 2 || code == 3) ExitCheck();
}

void TFrmInp::FormKeyPress(char key) {
  switch (key) {
    case '1':
      PressIndicator(2);
      break;
    case '8':
      PressIndicator(18);
      break;
    case '2':
      PressIndicator(20);
      break;
    case '4':
      PressIndicator(17);
      break;
    case '6':
      PressIndicator(19);
      break;
    case 'S':
    case 's':
      Hide();
      break;
    default:
      break;
  }
}

void TFrmInp::CountTick() { ExitTicks = std::clamp(ExitTicks, 0, 100) + 1; }

void TFrmInp::Timer1Timer() {
  CountTick();
  Timer1.SetEnabled(false);
  lit_.insert(LitIndicator);
  const std::set<int> dark = std::move(lit_);
  lit_.clear();
  for (int n : dark) {
    if (SkinObject* o = Item(n)) Ske.RunLeaveEvent(o, true);
  }
}

void TFrmInp::Timer2Timer() { CountTick(); }

}  // namespace cs
