#include "operator/test_menu.h"

#include <algorithm>
#include <cstdio>

#include "operator/input_test.h"
#include "operator/monitor_test.h"
#include "operator/settings_menu.h"

namespace cs {

namespace {

// The price labels of LB_1, by iCoinCredits 1..5.
const char* PriceScript(std::int32_t price) {
  switch (price) {
    case 1:
      return "FadeImage(QDtestBMPS,30,50,100,85,50)";
    case 2:
      return "FadeImage(QDtestBMPS,148,50,225,85,50)";
    case 3:
      return "FadeImage(QDtestBMPS,270,50,360,85,50)";
    case 4:
      return "FadeImage(QDtestBMPS,392,50,482,85,50)";
    case 5:
      return "FadeImage(QDtestBMPS,520,50,600,85,50)";
    default:
      return "";
  }
}

// The digit pictures of VOL2 and VOL.
const char* DigitScript(char c) {
  switch (c) {
    case ' ':
      return "FadeImage(QDtestBMPS,1,85,40,120,50)";
    case '0':
      return "FadeImage(QDtestBMPS,40,85,80,120,50)";
    case '1':
      return "FadeImage(QDtestBMPS,80,85,110,120,50)";
    case '2':
      return "FadeImage(QDtestBMPS,115,85,145,120,50)";
    case '3':
      return "FadeImage(QDtestBMPS,156,85,190,120,50)";
    case '4':
      return "FadeImage(QDtestBMPS,198,85,238,120,50)";
    case '5':
      return "FadeImage(QDtestBMPS,248,85,290,120,50)";
    case '6':
      return "FadeImage(QDtestBMPS,294,85,332,120,50)";
    case '7':
      return "FadeImage(QDtestBMPS,343,85,382,120,50)";
    case '8':
      return "FadeImage(QDtestBMPS,396,85,430,120,50)";
    case '9':
      return "FadeImage(QDtestBMPS,450,85,488,120,50)";
    default:
      return "";
  }
}

}  // namespace

int TestTonePercent(std::int32_t iVolume) {
  const std::int64_t scale = iVolume / 4 + 1;
  return static_cast<int>(std::clamp<std::int64_t>(iVolume * scale, 0, 100));
}

TFrmTest::TFrmTest(EventLoop& loop, const std::filesystem::path& skinIni,
                   const std::string& pcmDevice)
    : MenuScreen(loop, "TFrmTest", skinIni), MpSound(pcmDevice) {
  Ske.OnCustomAction = [this](int n) { SkeCustomAction(n); };
  ZsCredits.rect = QRect(450, 315, 152, 29);
  MpSound.SetTone(kTestTone);
  iCoinCredits = 1;
  iVolume = 5;
  ShowVolume();
  if (Ske.RootObject() != nullptr && Item(1) != nullptr) {
    CurItem = PrevItem = 1;
    HighlightItem();
  }
}

void TFrmTest::SetScreens(TFrmSet* settings, TFrmInp* inputs, TFrmTestMon* monitor) {
  settings_ = settings;
  inputs_ = inputs;
  monitor_ = monitor;
}

void TFrmTest::HighlightItem() {
  if (SkinObject* o = Item(PrevItem)) Ske.RunLeaveEvent(o, true);
  if (SkinObject* o = Item(CurItem)) {
    Ske.RunHoverEvent(o, true);
    PrevItem = CurItem;
  }
}

void TFrmTest::ShowCoinCredits() { Ske.RunScript(Obj("LB_1"), PriceScript(iCoinCredits)); }

void TFrmTest::ShowVolume() {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%02d", static_cast<int>(iVolume));
  std::string text = buf;
  if (text.size() < 2) text += ' ';
  Ske.RunScript(Obj("VOL2"), DigitScript(text[0]));
  Ske.RunScript(Obj("VOL"), DigitScript(text[1]));
}

void TFrmTest::PlayTestTone() {
  ShowVolume();
  VolScale = iVolume / 4 + 1;
  const int pct = TestTonePercent(iVolume);
  MpSound.SetVolume(pct, pct);
  MpSound.PlayAsync();
}

void TFrmTest::Up() {
  CurItem = CurItem <= 1 ? 8 : CurItem - 1;
  HighlightItem();
}

void TFrmTest::Down() {
  CurItem = CurItem >= 8 ? 1 : CurItem + 1;
  HighlightItem();
}

void TFrmTest::Left() {
  if (CurItem == 1) {
    iCoinCredits = iCoinCredits <= 1 ? 5 : iCoinCredits - 1;
    ShowCoinCredits();
  } else if (CurItem == 2) {
    iVolume = iVolume <= 0 ? 20 : iVolume - 1;
    PlayTestTone();
  }
}

void TFrmTest::Right() {
  if (CurItem == 1) {
    iCoinCredits = iCoinCredits >= 5 ? 1 : iCoinCredits + 1;
    ShowCoinCredits();
  } else if (CurItem == 2) {
    iVolume = iVolume >= 20 ? 0 : iVolume + 1;
    PlayTestTone();
  }
}

void TFrmTest::OpenSettings() {
  if (settings_ == nullptr || settings_->Visible()) return;
  settings_->iUpdate = iUpdate;
  settings_->iUpdatePer = iUpdatePer;
  settings_->iUserCounter = iUserCounter;
  settings_->ZsCredits.caption = Format08(iUserCounter);
  settings_->ShowUpdate();
  settings_->ShowPeriod();
  settings_->ShowModal();
  iUpdate = settings_->iUpdate;
  iUpdatePer = settings_->iUpdatePer;
  iUserCounter = settings_->iUserCounter;
}

void TFrmTest::Select() {
  switch (CurItem) {
    case 1:
      ShowCoinCredits();
      break;
    case 3:
      OpenSettings();
      break;
    case 4:
      if (inputs_ != nullptr) inputs_->Show();
      break;
    case 5:
      if (monitor_ != nullptr) monitor_->Show();
      break;
    case 6:
      iCredits = 0;
      ZsCredits.caption = "00000000";
      Changed();
      break;
    case 7:
      iVolume = 5;
      iUpdate = 1;
      iUpdatePer = 1;
      iCoinCredits = 3;
      HighlightItem();
      ShowCoinCredits();
      ShowVolume();
      break;
    case 8:
      Hide();
      break;
    default:
      break;
  }
}

void TFrmTest::WMPanelInput(int code, int /*lParam*/) {
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
    default:
      break;
  }
}

void TFrmTest::OnShow() {
  ZsCredits.caption = Format08(iCredits);
  OperatorScreen::OnShow();
}

void TFrmTest::DrawOver(QImage* screen) const { DrawSegmentCounter(screen, ZsCredits); }

}  // namespace cs
