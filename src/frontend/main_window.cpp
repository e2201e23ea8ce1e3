// The main window: creation, start-up, shutdown, volume and the beeper.
#include "frontend/main_window.h"

#include <cstdio>

#include "frontend/rotation.h"
#include "panel/panel_reader.h"
#include "platform/log.h"
#include "platform/process.h"
#include "tvout/tvout_window.h"

namespace cs {

double DaySince(double now, double last) {
  double d = now - last;
  if (d < -0.5) d += 1.0;
  return d;
}

std::string FormatCredits(std::int32_t credits) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%-.2d", credits);
  return buf;
}

TDbgFrm::TDbgFrm(EventLoop& loop, MainWindowConfig config)
    : Form(loop, "TDbgFrm"),
      Ske(loop),
      MpSound(config.pcmDevice),
      vc(config.mixerDevice),
      TimAvi(loop, 2000, false),
      TimerMessage(loop, 800, true),
      TimBloq1(loop, 15000, false),
      TimBloq2(loop, 15000, false),
      TimStartUp(loop, 1000, false),
      TimWaitCredits(loop, 600, false),
      FrmCheck(loop, config.map.IpcDir(), config.checkFilesDir),
      Keys(loop, config.map.IpcDir(), flags),
      config_(std::move(config)) {
  TimStartUp.SetHandler([this] { EndStartUpPhase(); });
  TimBloq1.SetHandler([this] { TimBloq1.SetEnabled(false); });
  TimBloq2.SetHandler([this] { TimBloq2.SetEnabled(false); });
  TimWaitCredits.SetHandler([this] { TimWaitCredits.SetEnabled(false); });
  // The beeper: 5000 Hz sawtooth, 8-bit, low quality (11025 Hz keeps 5 kHz below the Nyquist
  // limit, where 8000 Hz would fold it down to an audible 3 kHz), 100 ms.
  MpSound.SetTone(ToneSpec{5000, Waveform::kSawtooth, 8, 11025, 100});
  TimAvi.SetHandler([this] { TimAviTimer(); });
  TimerMessage.SetHandler([this] { TimerMessageTimer(); });
  Ske.OnCustomAction = [this](int n) { SkeCustomAction(n); };
  Ske.OnCanvasChanged = [this](const QRect& r) { Changed(r); };
  // The menu skin comes with the form: it is loaded before start-up runs.
  if (!config_.skinIni.empty() && !Ske.Load(config_.skinIni.string())) {
    LogDiag("skin", Ske.LastError());
  }
  if (auto p = config_.map.Resolve("c:\\qd\\PARAMS2.DAT")) Tb.SetFile(*p);
  Tb.SetFilter(CatalogueFilter::kInUse);
  Tb.SetFiltered(true);
  ZsCredits.caption = "00";
}

TDbgFrm::~TDbgFrm() {
  if (!closed_) FormClose();
}

void TDbgFrm::Changed(const QRect& area) {
  if (OnScreenChanged) OnScreenChanged(area);
}

SkinObject* TDbgFrm::Obj(const std::string& name) const {
  return Ske.FindObject(Ske.RootObject(), name);
}

void TDbgFrm::StartAuxPrograms() {
  // Each with the parameter " >NULL", "C:\" as its directory, hidden; never waited for and
  // never checked: a cabinet without them starts all the same.
  const auto cRoot = config_.map.Resolve("C:\\");
  for (const char* app : {"c:\\windows\\system\\append.exe", "d:\\ZelkUp.exe"}) {
    const auto program = config_.map.Resolve(app);
    if (!program || !std::filesystem::exists(*program)) continue;
    SpawnRequest r;
    r.program = *program;
    r.args = SplitOnBlanks(" >NULL");
    if (cRoot) r.workingDirectory = *cRoot;
    r.silence = true;
    SpawnDetached(r);
  }
}

void TDbgFrm::FormCreate() {
  // 1. The game check window's data exists with this window (FrmCheck).
  // 2. The panel reader, created suspended, aimed at this window.
  if (config_.startPanelReader) {
    keyb_ = std::make_unique<TThrKeyb>(config_.map, flags.EmulatorRunning);
    keyb_->TargetWnd = this;
    keyb_fields_ = keyb_.get();
  }
  Keys.SetReader(keyb_.get(), &Keyb());
  // The window's door for the emulator's messages (only those it accepts).
  if (config_.startEndpoint) {
    endpoint_ = std::make_unique<WindowEndpoint>(*this, AcceptEmulatorMessage);
    if (!endpoint_->Start(config_.map.IpcDir() / ClassName())) endpoint_.reset();
  }
  // 3. The TV-out window, only where port access is allowed (or a simulated card is asked for):
  //    hidden, then the chipset detection.
  tvout_ = tvout::CreateTvOutWindow(
      loop(), config_.tvout,
      {config_.map.Root(), config_.map.IpcDir(), config_.terminate, config_.tvoutWidgets, {}});
  if (tvout_) {
    tvout_->window().Hide();
    tvout_->window().btnAutoDetectClick();
  }
  // 4.
  ServiceMode = 0;
  // 5.
  if (config_.startAuxPrograms) StartAuxPrograms();
  // 6.
  Pb1.visible = false;
  // 7.
  LoadCounters(config_.map, this);
  // 8. Opens Tb, filtered to the games in use, on index iCredits, and writes CALC.INI.
  // A failure has shown its box; start-up stops here.
  if (!RotateGames(config_.map, loop().clock(), this, &Tb)) return;
  // 9. Video output mode: only with the TV-out window.
  if (tvout_ && (iKhz15 == 1 || iKhz15 == 2)) {
    loop().Sleep(2000);
    tvout_->window().chkNoInterlaceClick();
    loop().Sleep(1000);
    if (iKhz15 == 1) {
      tvout_->window().chkModePALClick();
    } else {
      tvout_->window().chkModeNTSCClick();
    }
  }
  // 10.-13.
  ApplyVolume();
  RefreshTick = 0;
  PageOffset = 0;
  CurSlot = 0;
  // 14.
  loop().Sleep(3000);
  // 15.
  if (!Ske.Loaded() || !Ske.RootObject()) {
    ShowMessageBox("The menu skin could not be loaded: " + Ske.LastError());
    return;
  }
  Tb.First();
  for (int n = 1; n <= 10; ++n) {
    SkinObject* o = Obj("BUT_" + std::to_string(n));
    if (!o) continue;
    o->SetTextEnabled(false);
    if (Tb.Eof() || !Tb.HasRow()) {
      o->SetText("  -->");
    } else {
      o->SetText(" " + Tb.ReadText(CatalogueField::NAMEGAME).value_or(""));
    }
    Tb.Next();
  }
  if (SkinObject* msg = Obj("MSG")) {
    msg->SetHoverEvent("");
    msg->SetLeaveEvent("");
  }
  if (SkinObject* credits = Obj("CREDITS")) ZsCredits.pos = QPoint(credits->Left(), credits->Top());
  Panel1.rect = QRect(250, 70, 340, 300);
  Ske.RepaintSkin();
  SelectSlot(1);
  if (config_.startScreenCheck) {
    thr_comp_ = std::make_unique<TThrComp>(flags, FrmCheck);
    thr_comp_->Start();
  }
  ArrowLit = 2;
  // 15.10 The pointer is hidden by the view (a fully transparent cursor).
  TimAvi.SetInterval(2000);
  TimAvi.SetEnabled(true);
  if (keyb_) keyb_->Start();
  threads_started_ = true;
  PreviewCountdown = 10;
  if (iCredits < 0) iCredits = 0;
  startup_done_ = true;
  Show();
  Changed();
}

void TDbgFrm::FormClose() {
  if (closed_) return;
  closed_ = true;
  TimAvi.SetEnabled(false);
  if (thr_comp_) {
    thr_comp_->Terminate();
    thr_comp_->WaitFor();
  }
  if (keyb_) keyb_->Stop();
  if (endpoint_) endpoint_->Stop();
  Hide();
  if (OnClosed) OnClosed();
}

void TDbgFrm::ApplyVolume() {
  VolScale = iVolume / 4 + 1;
  MpSound.SetVolume(iVolume * VolScale, iVolume * VolScale);
  VolScale = static_cast<std::int32_t>(iVolume / 1.4) + 1;
  std::int32_t level = iVolume * VolScale;
  if (level > 255) level = 255;
  if (level < 0) level = 0;
  vc.SetLevel(static_cast<std::uint16_t>(level * 256), static_cast<std::uint16_t>(level * 256));
}

void TDbgFrm::Beep() { MpSound.PlayAsync(); }

QImage TDbgFrm::Screenshot() const { return ComposeScreen(Ske.Canvas(), Panel1, ZsCredits, Pb1); }

void TDbgFrm::WndProc(const Message& m) {
  switch (m.msg) {
    case WM_PANEL_INPUT:
      WMPanelInput(m.wParam, m.lParam);
      break;
    case WM_EMULATOR_STATUS:
      WMEmulatorStatus(m.wParam, m.lParam);
      break;
    case WM_PANEL_COMMAND:
      WMPanelCommand(m.wParam, m.lParam);
      break;
    default:
      break;
  }
}

}  // namespace cs
