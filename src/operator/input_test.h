#pragma once
// TFrmInp: the input test. The control panel is shown as a picture; each control's picture
// lights when its panel code arrives and goes dark one Timer1 period later. Two start presses
// (either button) within less than two timer ticks leave the screen. Shown non-modally over the
// test menu; it gets only the held codes (lParam 50), the main window sends the event codes on to
// the test menu beneath.
#include <set>

#include "operator/operator_screen.h"
#include "platform/timer.h"

namespace cs {

class TFrmInp final : public OperatorScreen {
 public:
  TFrmInp(EventLoop& loop, const std::filesystem::path& skinIni);

  // The indicator ("BUT_" plus n) a panel code lights, or 0 for a code without one.
  static int IndicatorForCode(int code);

  void WMPanelInput(int code, int lParam) override;
  void FormKeyPress(char key) override;

  // Darkens the indicator lit last, lights CurIndicator and starts Timer1 (a running Timer1
  // goes on).
  void LightIndicator();
  // CurIndicator and LitIndicator := n, then LightIndicator: the indicator shows lit.
  void PressIndicator(int n);
  void Timer1Timer();
  void Timer2Timer();

  std::int32_t CurIndicator = 0;
  std::int32_t LitIndicator = 0;
  std::int32_t ExitTicks = 0;  // timer ticks since the last start press, within 0..101

  Timer Timer1;  // 200 ms, one shot: darkens what was lit
  Timer Timer2;  // 200 ms, always on: exit timing

 private:
  void ExitCheck();
  void CountTick();

  // Indicators lit since Timer1's last tick: all of them go dark on its next one, not only the
  // one lit last.
  std::set<int> lit_;
};

}  // namespace cs
