#include "operator/operator_screens.h"

#include <algorithm>
#include <sstream>

namespace cs {

OperatorScreens::OperatorScreens(EventLoop& loop, const OperatorConfig& config)
    : FrmTest(loop, config.skinDir / "test" / "test.ini", config.pcmDevice),
      FrmSet(loop, config.skinDir / "settings" / "settings.ini", config.catalogue),
      FrmTestMon(loop, config.skinDir / "monitor" / "monitor.ini"),
      FrmInp(loop, config.skinDir / "inputs" / "inputs.ini"),
      loop_(loop) {
  FrmTest.SetScreens(&FrmSet, &FrmInp, &FrmTestMon);
  for (OperatorScreen* s : All()) {
    s->OnScreenChanged = [this, s] {
      if (Front() == s || !s->Visible()) {
        if (OnScreenChanged) OnScreenChanged();
      }
    };
    s->OnFrontChanged = [this](int code) {
      if (code == 0) return;
      hold_active_ = true;
      hold_code_ = code;
      hold_last_ms_ = loop_.NowMs();
    };
  }
}

std::vector<OperatorScreen*> OperatorScreens::All() const {
  auto* self = const_cast<OperatorScreens*>(this);
  return {&self->FrmTest, &self->FrmSet, &self->FrmTestMon, &self->FrmInp};
}

OperatorScreen* OperatorScreens::ForwardTarget(int lParam) const {
  auto* self = const_cast<OperatorScreens*>(this);
  if (FrmSet.Visible()) return &self->FrmSet;
  if (FrmInp.Visible() && lParam == 50) return &self->FrmInp;
  if (FrmTestMon.Visible()) return &self->FrmTestMon;
  if (FrmTest.Visible()) return &self->FrmTest;
  return nullptr;
}

bool OperatorScreens::ForwardPanelInput(int code, int lParam) {
  if (hold_active_ && code == hold_code_) {
    const std::int64_t now = loop_.NowMs();
    if (lParam == 50 && now - hold_last_ms_ < kHoldGapMs) {
      hold_last_ms_ = now;
      return true;
    }
    hold_active_ = false;
  }
  OperatorScreen* target = ForwardTarget(lParam);
  if (target == nullptr) return false;
  target->PostMessage(WM_PANEL_INPUT, code, lParam);
  return true;
}

void OperatorScreens::RunTestMenu(TestMenuValues* v) {
  TFrmTest& t = FrmTest;
  if (t.Visible()) return;
  t.iCoinCredits = v->iCoinCredits;
  t.iCredits = v->iCredits;
  t.iVolume = v->iVolume;
  t.ShowCoinCredits();
  t.ShowVolume();
  t.iUserCounter = v->iUserCounter;
  t.iUpdate = v->iUpdate;
  t.iUpdatePer = v->iUpdatePer;
  t.ShowModal();
  *v = {t.iCoinCredits, t.iCredits, t.iVolume, t.iUserCounter, t.iUpdate, t.iUpdatePer};
}

void OperatorScreens::HideAll() {
  for (OperatorScreen* s : All()) {
    if (s->Visible()) s->Hide();
  }
}

OperatorScreen* OperatorScreens::Front() const {
  OperatorScreen* front = nullptr;
  for (OperatorScreen* s : All()) {
    if (s->Visible() && (front == nullptr || s->ActivationStamp() > front->ActivationStamp())) {
      front = s;
    }
  }
  return front;
}

std::vector<std::string> OperatorScreens::VisibleScreens() const {
  std::vector<OperatorScreen*> shown;
  for (OperatorScreen* s : All()) {
    if (s->Visible()) shown.push_back(s);
  }
  std::sort(shown.begin(), shown.end(), [](const OperatorScreen* a, const OperatorScreen* b) {
    return a->ActivationStamp() < b->ActivationStamp();
  });
  std::vector<std::string> names;
  for (const OperatorScreen* s : shown) names.push_back(s->ClassName());
  return names;
}

bool OperatorScreens::FormKeyPress(char key) {
  OperatorScreen* front = Front();
  if (front == nullptr) return false;
  front->FormKeyPress(key);
  return true;
}

std::string OperatorScreens::StatusJson() const {
  std::ostringstream j;
  const OperatorScreen* front = Front();
  j << "{\"front\":" << (front ? "\"" + front->ClassName() + "\"" : std::string("null"));
  j << ",\"visible\":[";
  const std::vector<std::string> names = VisibleScreens();
  for (std::size_t i = 0; i < names.size(); ++i) j << (i ? "," : "") << '"' << names[i] << '"';
  j << "]";
  j << ",\"TFrmTest\":{\"CurItem\":" << FrmTest.CurItem
    << ",\"iCoinCredits\":" << FrmTest.iCoinCredits << ",\"iVolume\":" << FrmTest.iVolume
    << ",\"iCredits\":" << FrmTest.iCredits << "}";
  j << ",\"TFrmSet\":{\"CurItem\":" << FrmSet.CurItem << ",\"iUpdate\":" << FrmSet.iUpdate
    << ",\"iUpdatePer\":" << FrmSet.iUpdatePer << ",\"ResetPresses\":" << FrmSet.ResetPresses
    << ",\"ActiveList\":" << (FrmSet.Grid1Active() ? 1 : 2) << "}";
  j << ",\"TFrmInp\":{\"LitIndicator\":" << FrmInp.LitIndicator
    << ",\"ExitTicks\":" << FrmInp.ExitTicks << "}";
  j << "}";
  return j.str();
}

}  // namespace cs
