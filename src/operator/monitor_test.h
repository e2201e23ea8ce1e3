#pragma once
// TFrmTestMon: the monitor test card (colour bars, gray steps, line patterns, a crosshatch with
// a large circle, focus circles in the corners) with a lit EXIT button. Player 1 start or the S
// key closes it; every other code and key does nothing. Shown non-modally over the test menu.
#include "operator/operator_screen.h"

namespace cs {

class TFrmTestMon final : public OperatorScreen {
 public:
  TFrmTestMon(EventLoop& loop, const std::filesystem::path& skinIni);

  void WMPanelInput(int code, int lParam) override;
  void FormKeyPress(char key) override;
};

}  // namespace cs
