#pragma once
// TDbgFrm: the main window, the hub of the cabinet. It owns the catalogue view `Tb`, the skin
// engine `Ske` with the menu, the preview player, the beeper, the counters of CALC.INI (its
// fields carry the keys' names: `iCredits`, `iVolume`...), the timers of the menu and of a
// running game, and it is the target of every message the panel reader and the emulator post.
//
// Everything here runs on the main thread. The only values shared with other threads are the
// game flags (GameFlags, held for the screen-check thread) and the reader's PanelFields, both
// relaxed atomics.
//
// The window's picture is the skin canvas with the preview panel `Panel1`, the credit counter
// `ZsCredits` and the loading bar `Pb1` over it (Screenshot()); no widget is needed to run or
// test it. The program shows that picture in a widget (app/).
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <set>
#include <string>

#include "catalogue/catalogue_view.h"
#include "frontend/counters.h"
#include "frontend/screen_parts.h"
#include "gamelink/check_settings.h"
#include "gamelink/emulator_keys.h"
#include "gamelink/game_flags.h"
#include "gamelink/screen_check.h"
#include "operator/operator_screens.h"
#include "panel/panel_decoder.h"
#include "platform/audio.h"
#include "platform/drive_map.h"
#include "platform/message_target.h"
#include "platform/timer.h"
#include "platform/video_player.h"
#include "platform/window_endpoint.h"
#include "skin/skin_engine.h"
#include "tvout/tvout_factory.h"

namespace cs {

class TThrKeyb;

struct MainWindowConfig {
  DriveMap map{"."};
  std::filesystem::path skinIni;        // the menu skin
  std::string pcmDevice = "default";    // ALSA device of the beeper
  std::string mixerDevice = "default";  // ALSA mixer of the master volume
  // Whether start-up creates and starts the panel reader on COM2.
  bool startPanelReader = true;
  // Whether start-up starts the two auxiliary programs.
  bool startAuxPrograms = true;
  // Whether start-up starts the screen-check thread (and its shared frame).
  bool startScreenCheck = true;
  // Whether the window listens for the emulator's messages at <ipc>/TDbgFrm.
  bool startEndpoint = true;
  // Where the per-game check files live (the program's current directory).
  std::filesystem::path checkFilesDir = ".";
  // The TV-out window: none ("off"), the hardware, or a simulated card (tvout_factory.h).
  tvout::TvOutChoice tvout{tvout::TvOutChoice::Kind::kOff};
  // Whether the TV-out window gets its widgets (a program with a QApplication).
  bool tvoutWidgets = true;
  // The application's terminate request (the TV-out window's Unload and its failures).
  std::function<void()> terminate;
};

class TDbgFrm : public Form, public Counters {
 public:
  TDbgFrm(EventLoop& loop, MainWindowConfig config);
  ~TDbgFrm() override;

  // The start-up sequence, and the shutdown the operating system's close request runs.
  void FormCreate();
  void FormClose();
  bool StartupDone() const { return startup_done_; }

  // Volume of the beeper and the master volume from iVolume.
  void ApplyVolume();
  // One 100 ms beep in the background.
  void Beep();

  // The menu.
  void SelectSlot(int n);
  void UnhighlightSlot(int n);
  void FillPage();
  void TimRefreshTimer();
  void TimerMessageTimer();
  // Previews and the preview clock.
  void SelectPreview(const std::string& namefile);
  void TimAviTimer();
  // The skin's custom actions (slot hover scripts, starts).
  void SkeCustomAction(int n);
  // Panel events (WM_PANEL_INPUT).
  void WMPanelInput(int code, int lParam);
  // Game launch and supervision.
  void LaunchGame(const std::string& namefile);
  void WMEmulatorStatus(int w, int l);
  void WMPanelCommand(int w, int c);
  // One coin at the current price (CoinStep).
  void AddCoin();
  void StepVideoMode();

  // The operator screens, created by the program entry after this window (null until then, and
  // in tests that run without them).
  OperatorScreens* Operators = nullptr;
  // The service button on the idle menu: the test menu, modal, with the values copied in and
  // back, then CALC.INI saved and the volume applied.
  void TestMenu();

  // What the monitor shows.
  QImage Screenshot() const;
  // The state for `coinshell-ctl status`, one JSON object.
  std::string StatusJson(const std::vector<std::string>& visibleWindows) const;
  // Called after a part of the window's picture changed (the view repaints that part).
  std::function<void(const QRect& area)> OnScreenChanged;
  // Called when the window closes (the program ends its loop).
  std::function<void()> OnClosed;

  // Components (names as on the form).
  SkinEngine Ske;
  CatalogueView Tb;
  VideoPlayer Mavic;
  PreviewPanel Panel1;
  SegmentLabel ZsCredits;
  LedBar Pb1;
  ToneGenerator MpSound;
  VolumeControl vc;
  ThreadTimer TimAvi;
  Timer TimerMessage;
  Timer TimBloq1, TimBloq2;
  Timer TimStartUp;
  Timer TimWaitCredits;

  // Shared with the screen-check thread and the reader.
  GameFlags flags;
  // The game check window's data (check settings, message record, pictures) and the emulator's
  // key channel.
  TFrmCheck FrmCheck;
  EmulatorKeys Keys;
  TThrComp* ThrComp() const { return thr_comp_.get(); }
  // The TV-out window TMain, or null where none exists (as on the design's NT systems).
  tvout::TvOutWindow* TvOut() const { return tvout_.get(); }
  // How the last launch went (status, tests): the emulator's process id, or 0.
  int LastLaunchPid = 0;
  // The reader's shared fields: those of TThrKeyb once start-up created it, else the window's
  // own (no panel).
  PanelFields& Keyb() { return keyb_fields_ ? *keyb_fields_ : own_fields_; }
  TThrKeyb* ThrKeyb() const { return keyb_.get(); }

  // Main-window state.
  std::int32_t VolScale = 0;
  std::int32_t CurSlot = 0;
  std::int32_t PageOffset = 0;
  std::int32_t ArrowLit = 2;
  bool MsgBlink = false;
  bool WaitBlink = false;
  std::int32_t RefreshTick = 0;
  std::int32_t PreviewCountdown = 10;
  std::string AviFileName;
  std::int32_t IdleTicks = 0;
  std::int32_t ServiceMode = 0;
  std::int32_t LoadState = 0;
  std::int32_t PlayState = 0;
  std::int32_t PlayerStage = 0;
  std::int32_t PromptTicks = 0;
  std::int32_t CreditMsgTicks = 0;
  std::int32_t IdleExitTicks = 0;
  double KeyNow = 0, LastKeyTime = 0;
  double ExitNow = 0, LastExitTime = 0;
  double P2Now = 0, LastP2Time = 0;

  const DriveMap& Map() const { return config_.map; }

 protected:
  void WndProc(const Message& m) override;

 private:
  // Moves Tb to row k of its current order (first row, then k times the next one).
  void MoveToRow(int k);
  void TurnPage(int code);
  // A coin while a game runs: the prompt or credit line inside the emulator's picture.
  void CoinDuringGame();
  // The service button during a game: arm the exit, or send it on the second press.
  void ExitRequest();
  // Taking a credit for a player start the emulator reported.
  void ChargeStart();
  // The supervision steps of the message timer and of the preview clock.
  void SuperviseMessageTick();
  void SuperviseAutomaticExits();
  // Ends the start-up phase, as TimStartUp firing does.
  void EndStartUpPhase();
  void ShowPrompt();
  // The Tb row of a slot on the current page.
  int SlotRow(int slot) const;
  SkinObject* Obj(const std::string& name) const;
  void ApplyStoredScript(const std::string& object, ScriptKind kind);
  void SetCreditsCaption();
  void StartAuxPrograms();
  void Changed(const QRect& area = QRect(0, 0, 650, 480));

  MainWindowConfig config_;
  PanelFields own_fields_;
  PanelFields* keyb_fields_ = nullptr;
  std::unique_ptr<TThrKeyb> keyb_;
  std::unique_ptr<TThrComp> thr_comp_;
  std::unique_ptr<tvout::TvOutWindow> tvout_;
  std::unique_ptr<WindowEndpoint> endpoint_;
  bool startup_done_ = false;
  bool threads_started_ = false;
  bool closed_ = false;
  std::set<std::string> missing_previews_;
};

// The part of a day from `last` to `now` (times of day), across midnight: a cabinet that runs
// past 0:00 must not take the new day's early times for times before the last press.
double DaySince(double now, double last);

// "%-.2d": at least two digits, zero-padded (7 -> "07", 150 -> "150", -3 -> "-03").
std::string FormatCredits(std::int32_t credits);

}  // namespace cs
