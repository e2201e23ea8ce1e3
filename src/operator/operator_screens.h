#pragma once
// The four operator screens together, as the program creates them at start-up (hidden), and
// the main window's side of them:
//   - ForwardPanelInput: the forwarding rule of the main window's panel handler (an open
//     operator screen takes the press, and the main screen does nothing more with it);
//   - Topmost: the screen in front, whose picture the cabinet shows;
//   - FormKeyPress: the keyboard goes to the screen in front.
//   - RunTestMenu: the main window's opening of the test menu on the service code, with the
//     values copied in and back out; the window then sets ServiceMode back, saves CALC.INI and
//     applies the volume (only the main window writes CALC.INI).
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "operator/input_test.h"
#include "operator/monitor_test.h"
#include "operator/settings_menu.h"
#include "operator/test_menu.h"

namespace cs {

struct OperatorConfig {
  // The folder of the skins: test/test.ini, settings/settings.ini, inputs/inputs.ini and
  // monitor/monitor.ini below it.
  std::filesystem::path skinDir;
  // The game catalogue PARAMS2.DAT (the settings screen's two lists).
  std::filesystem::path catalogue;
  // ALSA device of the test tone.
  std::string pcmDevice = "default";
};

// The main window's CALC.INI values the test menu works on (copies, taken back when it closes).
struct TestMenuValues {
  std::int32_t iCoinCredits = 1;
  std::int32_t iCredits = 0;
  std::int32_t iVolume = 5;
  std::int32_t iUserCounter = 0;
  std::int32_t iUpdate = 1;
  std::int32_t iUpdatePer = 1;
  friend bool operator==(const TestMenuValues&, const TestMenuValues&) = default;
};

class OperatorScreens {
 public:
  OperatorScreens(EventLoop& loop, const OperatorConfig& config);
  OperatorScreens(const OperatorScreens&) = delete;
  OperatorScreens& operator=(const OperatorScreens&) = delete;

  // The forwarding rule: the settings screen if visible; else the input test if visible and
  // the code is held (lParam 50); else the monitor test if visible; else the test menu if
  // visible; else none.
  OperatorScreen* ForwardTarget(int lParam) const;
  // Posts WM_PANEL_INPUT(code, lParam) to ForwardTarget; true when a screen took the press.
  // Also true, without posting, for the repeats of a held control whose press has just opened
  // or closed a screen: the press acted once, on the screen that was in front when it began, and
  // does not go on acting on the screen that came to the front in its place (or on the main
  // screen). Such a press ends when its code has not come for kHoldGapMs.
  bool ForwardPanelInput(int code, int lParam);
  static constexpr std::int64_t kHoldGapMs = 173;  // 0.000002 day, the main window's debounce

  // Copies iCoinCredits, iCredits and iVolume into the test menu, lets it show the price and the
  // volume, copies iUserCounter, iUpdate and iUpdatePer, shows it modally (a nested loop: panel
  // presses keep arriving and are forwarded) and, when it has been left, copies all six back.
  // Does nothing while the test menu is already open.
  void RunTestMenu(TestMenuValues* values);

  // The visible screen in front, or nullptr.
  OperatorScreen* Front() const;
  Form* Topmost() const { return Front(); }
  // Whether any operator screen is visible.
  bool AnyVisible() const { return Front() != nullptr; }
  // The class names of the visible screens, from the back to the front.
  std::vector<std::string> VisibleScreens() const;
  // Hides every screen, front first: the program's close, which must end the modal loops of an
  // open test menu and settings screen.
  void HideAll();
  // A key press for the screen in front; false when none is visible.
  bool FormKeyPress(char key);

  // Called whenever the picture of the screen in front may have changed (also when a screen is
  // shown or hidden).
  std::function<void()> OnScreenChanged;

  // The screens' state for `coinshell-ctl status`: one JSON object.
  std::string StatusJson() const;

  // Created in the program's order.
  TFrmTest FrmTest;
  TFrmSet FrmSet;
  TFrmTestMon FrmTestMon;
  TFrmInp FrmInp;

 private:
  std::vector<OperatorScreen*> All() const;

  EventLoop& loop_;
  bool hold_active_ = false;
  int hold_code_ = 0;
  std::int64_t hold_last_ms_ = 0;
};

}  // namespace cs
