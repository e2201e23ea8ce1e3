#include "operator/monitor_test.h"

namespace cs {

TFrmTestMon::TFrmTestMon(EventLoop& loop, const std::filesystem::path& skinIni)
    : OperatorScreen(loop, "TFrmTestMon", skinIni) {
  if (Ske.RootObject() != nullptr) {
    if (SkinObject* exit = Obj("BUT_EX")) Ske.RunHoverEvent(exit, true);
  }
}

void TFrmTestMon::WMPanelInput(int code, int /*lParam*/) {
  if (code == 2) Hide();
}

void TFrmTestMon::FormKeyPress(char key) {
  if (key == 'S' || key == 's') Hide();
}

}  // namespace cs
