#pragma once
// TFrmTest: the operator's service menu. The price, the master volume with an audible test tone,
// clearing the credit balance, factory defaults, and the settings screen, the input test and the
// monitor test.
//
// The main window copies iCoinCredits, iCredits, iVolume, iUserCounter, iUpdate and iUpdatePer
// in, shows the menu modally and copies them back after: this screen stores nothing, so the
// values reach CALC.INI only when the menu is left.
#include <filesystem>
#include <string>

#include "operator/operator_screen.h"
#include "operator/segment_counter.h"
#include "platform/audio.h"

namespace cs {

class TFrmInp;
class TFrmSet;
class TFrmTestMon;

// The test tone: 3000 Hz triangle for 500 ms.
inline constexpr ToneSpec kTestTone{3000, Waveform::kTriangle, 16, 22050, 500};

// The test tone's channel volume for a master volume: iVolume * (iVolume div 4 + 1) percent,
// at most 100 (0 for a negative volume).
int TestTonePercent(std::int32_t iVolume);

class TFrmTest final : public MenuScreen {
 public:
  // pcmDevice: the ALSA device of the test tone.
  TFrmTest(EventLoop& loop, const std::filesystem::path& skinIni,
           const std::string& pcmDevice = "default");

  // The screens this menu opens (any may be null: that item does nothing).
  void SetScreens(TFrmSet* settings, TFrmInp* inputs, TFrmTestMon* monitor);

  void WMPanelInput(int code, int lParam) override;
  void SkeCustomAction(int /*n*/) {}

  void HighlightItem();
  void ShowCoinCredits();
  void ShowVolume();

  // Copies of the main window's CALC.INI values.
  std::int32_t iCoinCredits = 0;  // price 1..5: 3/1, 2/1, 1/1, 1/2, 1/3
  std::int32_t iCredits = 0;
  std::int32_t iVolume = 0;  // 0..20
  std::int32_t iUserCounter = 0;
  std::int32_t iUpdate = 0;
  std::int32_t iUpdatePer = 0;

  std::int32_t CurItem = 0;  // 1..8
  std::int32_t PrevItem = 0;
  std::int32_t VolScale = 0;

  SegmentCounter ZsCredits;
  ToneGenerator MpSound;

 protected:
  void OnShow() override;
  void DrawOver(QImage* screen) const override;

 private:
  void Up() override;
  void Down() override;
  void Left() override;
  void Right() override;
  void Select() override;
  void PlayTestTone();
  void OpenSettings();

  TFrmSet* settings_ = nullptr;
  TFrmInp* inputs_ = nullptr;
  TFrmTestMon* monitor_ = nullptr;
};

}  // namespace cs
