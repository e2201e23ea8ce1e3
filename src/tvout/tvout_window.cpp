#include "tvout/tvout_window.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/log.h"
#include "platform/registry_store.h"
#include "tvout/timing_tables.h"

namespace cs::tvout {

namespace {
constexpr char kLog[] = "tvout";
}  // namespace

bool AcceptTvOutMessage(const Message& m) { return m.msg == WM_TVOUT_NOTIFY; }

TMain::TMain(EventLoop& loop, PortIo& io, DisplayControl* display, TMainConfig config)
    : Form(loop, "TMain"),
      engine(io, nullptr),
      chipsets(io, engine),
      io_(io),
      config_(std::move(config)),
      endpoint_(*this, AcceptTvOutMessage) {
  SetDisplayControl(display);
}

TMain::~TMain() {
  endpoint_.Stop();
  SetDisplayControl(nullptr);
  if (io_ready_) io_.ShutdownWinIo();
}

void TMain::SetDisplayControl(DisplayControl* display) {
  if (display_) display_->SetDisplayChangeHandler({});
  display_ = display;
  engine.SetDisplayControl(display);
  // The system's display-change message, sent during a mode set (and after a real change).
  if (display_) {
    display_->SetDisplayChangeHandler([this] { WndProc(Message{WM_DISPLAYCHANGE, 0, 0}); });
  }
}

bool TMain::TakeInstanceLock() {
  const std::filesystem::path file = config_.ipcDir / "ORVEXWin";
  lock_ = std::make_unique<InstanceLock>(file);
  if (lock_->Held()) return true;
  // Held elsewhere, or the lock file cannot be made at all (no message for that one).
  const int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) {
    LogDiag(kLog, "cannot create the lock " + file.string() + ": " + std::strerror(errno));
  } else {
    ::close(fd);
    ShowMessageBox("ORVEX was already running!");
    Hide();
  }
  Terminate();
  return false;
}

void TMain::OnFormCreate() {
  if (created_ || lock_) return;
  // 1. One TV-out window per cabinet. A second one stops here: it must not probe or program
  //    the controller the first one drives.
  if (!TakeInstanceLock()) return;
  if (!config_.ipcDir.empty() && !endpoint_.Start(config_.ipcDir / ClassName())) {
    LogDiag(kLog, "no endpoint for message 0x40A: the window cannot be opened from outside");
  }
  // 2. Port access.
  if (!io_.InitializeWinIo()) {
    ShowMessageBox("Error loading service driver. Exiting...");
    Terminate();
    return;
  }
  io_ready_ = true;
  // 3. The settings.
  LoadSettings();
  // 4.
  Loading = 0;
  created_ = true;
  Changed();
}

void TMain::LoadSettings() {
  std::string error;
  auto key = RegistryKey::Open(config_.root, kTvwKeyPath, true, &error);
  if (!key) {
    LogDiag(kLog, "the settings key cannot be opened (" + error + "): defaults are used");
    key = RegistryKey::FromText(kTvwKeyPath, "");
  }
  EngineSettings& s = engine.settings;
  controls.chkExitVGA = key->ReadBool("ExitToVGA").value_or(true);
  controls.chkSaveExit = key->ReadBool("SaveChanges").value_or(true);
  if (auto v = key->ReadInteger("Polarity")) {
    s.Polarity = static_cast<std::uint8_t>(*v);
    controls.chkISP = *v == 0xF3;
  }
  if (auto v = key->ReadBool("Interlaced")) {
    s.Interlaced = *v ? 1 : 0;
    controls.chkNoInterlace = s.Interlaced != 1;
  }
  if (auto v = key->ReadInteger("OddOrEvenSyncSize")) {
    s.OddOrEvenSyncSize = static_cast<std::uint16_t>(*v);
    controls.chkOEVSyncSz = *v != 0;
  }
  chipsets.FillBrandList();
  if (auto v = key->ReadInteger("Chipset")) {
    s.Chipset = static_cast<std::uint8_t>(*v);
    if (auto m = key->ReadInteger("Model")) s.Model = static_cast<std::uint16_t>(*m);
  }
  chipsets.ShowChipsetSelection();
  // Checking the PAL or NTSC button runs its click handler: a stored standard turns TV mode on.
  const std::string standard = key->ReadString("VideoStandard").value_or("VGA");
  if (standard == "PAL") {
    CheckRadio(Control::chkModePAL);
  } else if (standard == "NTSC") {
    CheckRadio(Control::chkModeNTSC);
  } else {
    CheckRadio(Control::chkModeVGA);
  }
  MenuFollowsMode();
  if (key->ReadBool("Visible").value_or(true)) Show();
  key->CloseKey();
}

// ---- the standard and the display reset ----

void TMain::chkModePALClick() { SetTVStandard(kStandardPal, PALHorz, 313, PALVert); }

void TMain::chkModeNTSCClick() { SetTVStandard(kStandardNtsc, NTSCHorz, 263, NTSCVert); }

void TMain::SetTVStandard(std::uint8_t code, const HorzTableT& horz, std::uint16_t lines,
                          const VertTableT& vert) {
  EngineSettings& s = engine.settings;
  s.TVModeOn = 1;
  s.StandardCode = code;
  s.HorzTable = horz;
  s.VertTable = vert;
  s.FieldLines = lines;
  ResetDisplayMode();
  controls.VGAMode1 = false;
  controls.TVMode1 = true;
  Changed();
}

void TMain::chkModeVGAClick() {
  if (engine.settings.TVModeOn != 1) return;
  engine.settings.TVModeOn = 0;
  ResetDisplayMode();
  controls.chkModeVGA = true;
  controls.chkModePAL = controls.chkModeNTSC = false;
  MenuFollowsMode();
  Changed();
}

void TMain::TVMode1Click() {
  if (engine.settings.TVModeOn != 0) return;
  if (engine.settings.StandardCode == 0) {
    // No standard chosen yet: its tables are empty, there is nothing to program.
    LogDiag(kLog, "\"TV Mode\" before any standard was selected: choose PAL or NTSC first");
    return;
  }
  engine.settings.TVModeOn = 1;
  ResetDisplayMode();
  MenuFollowsMode();
  Changed();
}

void TMain::ResetDisplayMode() {
  if (!io_ready_) return;
  ResettingDisplay = 1;
  if (!display_ || !display_->ResetDisplayMode()) {
    LogDiag(kLog, "the display mode could not be set again");
  }
  ResettingDisplay = 0;
  // The broadcast after the reset: synchronous, so the apply has finished when this returns.
  WndProc(Message{WM_DISPLAYCHANGE, 42, 0});
}

void TMain::WMDisplayChange(std::int32_t, std::int32_t) {
  if (ResettingDisplay != 0 || !io_ready_) return;
  engine.ApplyTVTimings();
  Changed();
}

void TMain::MenuFollowsMode() {
  controls.VGAMode1 = engine.settings.TVModeOn == 0;
  controls.TVMode1 = !controls.VGAMode1;
}

// ---- options ----

void TMain::chkISPClick() {
  if (Loading == 1) return;
  engine.settings.Polarity ^= 0xC0;
  if (engine.settings.TVModeOn == 1) ResetDisplayMode();
  Changed();
}

void TMain::chkNoInterlaceClick() {
  if (Loading == 1) return;
  engine.settings.Interlaced ^= 1;
  if (engine.settings.TVModeOn == 1) ResetDisplayMode();
  Changed();
}

void TMain::chkOEVSyncSzClick() {
  if (Loading == 1) return;
  engine.settings.OddOrEvenSyncSize = controls.chkOEVSyncSz ? 1 : 0;
  if (engine.settings.TVModeOn == 1) ResetDisplayMode();
  Changed();
}

// ---- chipset ----

void TMain::btnAutoDetectClick() {
  if (!io_ready_) return;
  chipsets.btnAutoDetectClick();
  Changed();
}

void TMain::btnDetectNextClick() {
  if (!io_ready_) return;
  chipsets.btnDetectNextClick();
  Changed();
}

void TMain::OnChangeChipset() {
  if (!io_ready_) return;
  chipsets.OnChangeChipset();
  Changed();
}

void TMain::OnChangeModel() {
  if (!io_ready_) return;
  chipsets.OnChangeModel();
  Changed();
}

void TMain::SelectBrand(int index) {
  if (!io_ready_) return;
  chipsets.SelectBrand(index);
  Changed();
}

void TMain::SelectModel(int index) {
  if (!io_ready_) return;
  chipsets.SelectModel(index);
  Changed();
}

// ---- centering ----

void TMain::btnUpClick() {
  if (io_ready_) engine.ScrollUp();
}
void TMain::btnDownClick() {
  if (io_ready_) engine.ScrollDown();
}
void TMain::btnLeftClick() {
  if (io_ready_) engine.ShiftLeft();
}
void TMain::btnRightClick() {
  if (io_ready_) engine.ShiftRight();
}

// ---- closing ----

void TMain::btnCloseClick() {
  if (controls.chkExitVGA && engine.settings.TVModeOn == 1) {
    engine.settings.TVModeOn = 0;
    ResetDisplayMode();
    MenuFollowsMode();
  }
  // A window whose creation stopped has loaded no settings: it must not store its defaults.
  if (created_) {
    std::string error;
    auto key = RegistryKey::Open(config_.root, kTvwKeyPath, true, &error);
    if (key) {
      const EngineSettings& s = engine.settings;
      key->WriteBool("SaveChanges", controls.chkSaveExit);
      if (controls.chkSaveExit) {
        key->WriteBool("ExitToVGA", controls.chkExitVGA);
        key->WriteInteger("Polarity", s.Polarity);
        key->WriteInteger("Interlaced", s.Interlaced);
        key->WriteInteger("OddOrEvenSyncSize", s.OddOrEvenSyncSize);
        key->WriteString("VideoStandard", controls.chkModePAL    ? "PAL"
                                          : controls.chkModeNTSC ? "NTSC"
                                                                 : "VGA");
        key->WriteInteger("Chipset", s.Chipset);
        key->WriteInteger("Model", s.Model);
        key->WriteBool("Visible", Visible());
      }
      key->CloseKey();
    } else {
      LogDiag(kLog, "the settings key cannot be opened (" + error + "): nothing stored");
    }
  }
  Changed();
  Terminate();
}

void TMain::ClosetoVGA1Click() {
  CheckRadio(Control::chkModeVGA);
  btnCloseClick();
}

void TMain::OpenMainClick() {
  Show();
  if (OnBringToFront) OnBringToFront();
}

void TMain::ShowAbout() {}

void TMain::FormClose() { Hide(); }

// ---- messages ----

void TMain::WndProc(const Message& m) {
  if (m.msg == WM_DISPLAYCHANGE) {
    WMDisplayChange(m.wParam, m.lParam);
  } else if (m.msg == WM_TVOUT_NOTIFY) {
    WMTvOutNotify(m.wParam, m.lParam);
  }
}

void TMain::WMTvOutNotify(std::int32_t, std::int32_t lParam) {
  if (lParam == kNotifyRightButtonUp) {
    if (OnBringToFront) OnBringToFront();
    if (OnPopupMenu) OnPopupMenu();
  } else if (lParam == kNotifyLeftDoubleClick) {
    OpenMainClick();
  }
}

// ---- the controls as the user works them ----

void TMain::CheckRadio(Control radio) {
  bool* box = radio == Control::chkModePAL    ? &controls.chkModePAL
              : radio == Control::chkModeNTSC ? &controls.chkModeNTSC
                                              : &controls.chkModeVGA;
  if (*box) return;  // checking a checked button runs no handler
  controls.chkModeVGA = controls.chkModePAL = controls.chkModeNTSC = false;
  *box = true;
  if (radio == Control::chkModePAL) {
    chkModePALClick();
  } else if (radio == Control::chkModeNTSC) {
    chkModeNTSCClick();
  } else {
    chkModeVGAClick();
  }
  Changed();
}

void TMain::Click(Control control) {
  switch (control) {
    case Control::chkModeVGA:
    case Control::chkModePAL:
    case Control::chkModeNTSC:
      CheckRadio(control);
      return;
    case Control::chkISP:
      controls.chkISP = !controls.chkISP;
      chkISPClick();
      break;
    case Control::chkNoInterlace:
      controls.chkNoInterlace = !controls.chkNoInterlace;
      chkNoInterlaceClick();
      break;
    case Control::chkOEVSyncSz:
      controls.chkOEVSyncSz = !controls.chkOEVSyncSz;
      chkOEVSyncSzClick();
      break;
    case Control::chkExitVGA:
      controls.chkExitVGA = !controls.chkExitVGA;
      break;
    case Control::chkSaveExit:
      controls.chkSaveExit = !controls.chkSaveExit;
      break;
  }
  Changed();
}

}  // namespace cs::tvout
