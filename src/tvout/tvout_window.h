#pragma once
// TMain, the TV-out control window ("ORVEX For Windows"), without its widgets: the engine's
// settings and their registry values, the state of every control, and every handler by its
// design name. The widgets (tvout_window_view.h) show this state and call these handlers; the
// front end drives the same handlers from code (chkModePALClick, chkModeNTSCClick,
// chkModeVGAClick, chkNoInterlaceClick, btnAutoDetectClick).
//
// One mechanism: TV timings are never programmed from a button. A choice sets the engine's state
// and resets the display mode (ResetDisplayMode, through DisplayControl); the display-change
// message that follows (WM_DISPLAYCHANGE, also sent after any real change of resolution) runs
// ApplyTVTimings, which programs the controller when TV mode is on. The message the reset itself
// causes arrives while ResettingDisplay is 1 and is ignored.
//
// Messages: WM_DISPLAYCHANGE (0x7E) and 0x40A (WM_USER + 10), which outside processes send
// through the datagram endpoint <ipc>/TMain (only that message is accepted): lParam 0x203 opens
// the window, 0x204 brings up the pop-up menu. Settings: the registry key
// HKEY_LOCAL_MACHINE\Software\Halvardine\Tvw in the key store under <root>/registry.
//
// Main thread only; every handler is synchronous.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "platform/instance_lock.h"
#include "platform/message_target.h"
#include "platform/window_endpoint.h"
#include "tvout/chipset_selection.h"
#include "tvout/display_control.h"
#include "tvout/port_io.h"
#include "tvout/video_engine.h"

namespace cs::tvout {

inline constexpr std::uint32_t WM_DISPLAYCHANGE = 0x7E;
inline constexpr std::uint32_t WM_TVOUT_NOTIFY = WM_USER + 10;  // 0x40A
inline constexpr std::int32_t kNotifyLeftDoubleClick = 0x203;   // opens the window
inline constexpr std::int32_t kNotifyRightButtonUp = 0x204;     // the pop-up menu
inline constexpr char kTvwKeyPath[] = "HKEY_LOCAL_MACHINE\\Software\\Halvardine\\Tvw";
inline constexpr char kTMainCaption[] = "ORVEX For Windows";
inline constexpr int kTMainClientWidth = 395;
inline constexpr int kTMainClientHeight = 197;

// The endpoint's filter: message 0x40A only.
bool AcceptTvOutMessage(const Message& m);

struct TMainConfig {
  std::filesystem::path root;    // cabinet root: the key store is <root>/registry
  std::filesystem::path ipcDir;  // <ipc>: the lock file "ORVEXWin" and the endpoint "TMain"
};

// What the controls show (the captions are the view's). Names as on the form.
struct TMainControls {
  // "Video Standard": exactly one is checked.
  bool chkModeVGA = true;
  bool chkModePAL = false;
  bool chkModeNTSC = false;
  // "Options".
  bool chkISP = false;
  bool chkNoInterlace = false;
  bool chkOEVSyncSz = false;
  bool chkExitVGA = true;
  bool chkSaveExit = false;
  // The check marks of the pop-up menu's "VGA Mode" and "TV Mode" items.
  bool VGAMode1 = true;
  bool TVMode1 = false;
  // The read-only frequency fields: nothing fills them.
  std::string editHFreq;
  std::string editVFreq;
};

class TMain final : public Form {
 public:
  // Controls the user works; each click changes the control as a click does and then runs its
  // handler (a radio button that is already checked runs none).
  enum class Control {
    chkModeVGA,
    chkModePAL,
    chkModeNTSC,
    chkISP,
    chkNoInterlace,
    chkOEVSyncSz,
    chkExitVGA,
    chkSaveExit,
  };

  // `io` and `display` outlive the window. The window listens to `display`'s display changes.
  // The display control may also be given later (SetDisplayControl), before OnFormCreate.
  TMain(EventLoop& loop, PortIo& io, DisplayControl* display, TMainConfig config);
  void SetDisplayControl(DisplayControl* display);
  // OnDestroy: ShutdownWinIo (when creation granted port access); the endpoint closes.
  ~TMain() override;

  // Creation: the single-instance lock "ORVEXWin", InitializeWinIo, the registry values, the
  // lists, the stored standard, Visible; then Loading 0. A second instance ("ORVEX was already
  // running!") or a failed driver start ("Error loading service driver. Exiting...") asks the
  // program to terminate and stops creation there; the window then never touches a port.
  void OnFormCreate();
  // Creation ran to its end.
  bool Created() const { return created_; }

  // The front end's operations.
  void chkModePALClick();
  void chkModeNTSCClick();
  void chkModeVGAClick();
  void chkNoInterlaceClick();
  void btnAutoDetectClick();

  // The other handlers.
  void chkISPClick();
  void chkOEVSyncSzClick();
  void btnDetectNextClick();
  void OnChangeChipset();
  void OnChangeModel();
  void btnUpClick();
  void btnDownClick();
  void btnLeftClick();
  void btnRightClick();
  void btnCloseClick();  // "&Unload", also the menu's "&Close"
  void ClosetoVGA1Click();
  void OpenMainClick();
  void TVMode1Click();
  void ShowAbout();
  // The close request of the window: refused, the window hides instead.
  void FormClose();

  void SetTVStandard(std::uint8_t code, const HorzTableT& horz, std::uint16_t lines,
                     const VertTableT& vert);
  void ResetDisplayMode();
  void WMDisplayChange(std::int32_t wParam, std::int32_t lParam);
  void WMTvOutNotify(std::int32_t wParam, std::int32_t lParam);

  // The user's clicks and list picks (the view).
  void Click(Control control);
  void SelectBrand(int index);
  void SelectModel(int index);

  VideoEngine engine;  // settings: Chipset, Model, IOBase, TVModeOn, StandardCode, ...
  ChipsetSelection chipsets;
  TMainControls controls;
  std::uint8_t Loading = 1;
  std::uint8_t ResettingDisplay = 0;

  const EngineSettings& settings() const { return engine.settings; }

  // Application.Terminate: the program the window belongs to ends (Unload, a second instance, a
  // failed driver start).
  std::function<void()> RequestTerminate;
  // Something the view shows changed.
  std::function<void()> OnChanged;
  // The pop-up menu opens at the mouse cursor (message 0x40A, lParam 0x204).
  std::function<void()> OnPopupMenu;
  // The window comes to the foreground (after it was shown).
  std::function<void()> OnBringToFront;

 protected:
  void WndProc(const Message& m) override;
  void OnShow() override { Changed(); }
  void OnHide() override { Changed(); }

 private:
  void Changed() {
    if (OnChanged) OnChanged();
  }
  void Terminate() {
    if (RequestTerminate) RequestTerminate();
  }
  void CheckRadio(Control radio);
  void MenuFollowsMode();
  bool TakeInstanceLock();
  void LoadSettings();

  PortIo& io_;
  DisplayControl* display_ = nullptr;
  TMainConfig config_;
  std::unique_ptr<InstanceLock> lock_;
  WindowEndpoint endpoint_;
  bool io_ready_ = false;
  bool created_ = false;
};

}  // namespace cs::tvout
