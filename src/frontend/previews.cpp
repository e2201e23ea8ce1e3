// Previews and attract mode: the preview clock TimAvi and the slot selection's custom action.
#include "catalogue/game_row.h"
#include "frontend/main_window.h"
#include "platform/log.h"

namespace cs {

void TDbgFrm::SkeCustomAction(int n) {
  if (n >= 1 && n <= 20) {
    // The position comes from CurSlot, not from n.
    MoveToRow(SlotRow(CurSlot));
    const auto name = Tb.ReadText(CatalogueField::NAMEFILE);
    if (!name) return;
    if (!IsSafeNameFile(*name)) {
      LogDiag("catalogue", "row skipped: NAMEFILE \"" + *name + "\" is not a short name");
      return;
    }
    SelectPreview(*name);
    return;
  }
  if (n >= 101 && n <= 120) {
    if (flags.Running() || iCredits < 1) return;
    Mavic.Stop();
    Changed(Panel1.rect);
    MoveToRow(PageOffset == 0 ? n - 101 : (n - 101) + (PageOffset - 10));
    const auto name = Tb.ReadText(CatalogueField::NAMEFILE);
    if (!name) return;
    // An unsafe NAMEFILE or an unreadable ".xy" ends the start here.
    if (!FrmCheck.PrepareLaunch(*name, flags)) return;
    LaunchGame(*name);
  }
  // Any other n, the background's Action(0) included, does nothing.
}

void TDbgFrm::SelectPreview(const std::string& namefile) {
  PreviewCountdown = 10;
  Mavic.Stop();
  Panel1.visible = true;
  Changed(Panel1.rect);
  AviFileName = "C:\\QD\\" + namefile + ".AVI";
}

void TDbgFrm::TimAviTimer() {
  const bool running = flags.Running();
  // 1.-3.
  if (running) {
    IdleTicks = 0;
  } else {
    IdleTicks += 1;
  }
  TimAvi.SetInterval(50);
  RefreshTick += 1;
  if (RefreshTick > 5) {
    TimRefreshTimer();
    RefreshTick = 0;
  }
  // 4. The automatic exits of an unattended game.
  SuperviseAutomaticExits();
  // 5. Attract mode.
  PanelFields& k = Keyb();
  if (!running && k.NoInputTicks.load(std::memory_order_relaxed) > 45 && ServiceMode != 10) {
    k.NoInputTicks.store(30, std::memory_order_relaxed);
    PreviewCountdown = 4;
    if (CurSlot >= 10) PostMessage(WM_PANEL_INPUT, 205, 0);
    PostMessage(WM_PANEL_INPUT, 208, 0);
  }
  // 6.-8.
  if (TimStartUp.Enabled() || running) PreviewCountdown = 5;
  if (TimBloq1.Enabled()) {
    GameFlags::Set(flags.MatchP1B1, false);
    GameFlags::Set(flags.MatchP1B2, false);
    GameFlags::Set(flags.MatchP1B3, false);
    PreviewCountdown = 10;
  }
  if (TimBloq2.Enabled()) {
    GameFlags::Set(flags.MatchP2B1, false);
    GameFlags::Set(flags.MatchP2B2, false);
    GameFlags::Set(flags.MatchP2B3, false);
    PreviewCountdown = 10;
  }
  PreviewCountdown -= 1;
  // 9. Open the preview.
  if (PreviewCountdown == 2) {
    Panel1.visible = true;
    const auto file = Map().Resolve(AviFileName);
    bool ok = false;
    if (file) {
      Mavic.SetFileName(*file);
      Mavic.SetDisplayRect(QRect());
      ok = Mavic.Open();
    }
    if (ok) {
      const QRect proposed = Mavic.ProposedRect();
      int w = proposed.width(), h = proposed.height();
      if (w > 330) w = 330;
      if (h > 258) h = 256;
      const int left = (334 - w) / 2, top = (286 - h) / 2;
      Mavic.SetDisplayRect(QRect(left, top, w, h));
      Panel1.frame = Mavic.Frame();
      Panel1.frameRect = Mavic.DisplayRect();
      Changed(Panel1.rect);
      return;
    }
    // A missing or unplayable preview leaves the panel black (said once per file).
    if (missing_previews_.insert(AviFileName).second) {
      LogDiag("preview", "cannot play " + AviFileName + (file ? " (" + file->string() + ")" : ""));
    }
    Mavic.SetFileName({});
    Mavic.Close();
    Panel1.frame = QImage();
    Changed(Panel1.rect);
  }
  // 10. Step the preview.
  // An operator screen in front covers the menu: the preview is not stepped.
  const bool covered = Operators && Operators->AnyVisible();
  if (PreviewCountdown <= 2 && Visible() && !covered &&
      Mavic.GetMode() != VideoPlayer::Mode::kNotReady) {
    if (Mavic.Length() < Mavic.Position() + 6) Mavic.Rewind();
    Mavic.SetFramesPerStep(5);
    if (!running && !TimStartUp.Enabled()) Mavic.Step(Mavic.FramesPerStep());
    if (running) Mavic.Stop();
    if (!running && !TimStartUp.Enabled() && !Panel1.visible) Panel1.visible = true;
    Panel1.frame = Mavic.Frame();
    Panel1.frameRect = Mavic.DisplayRect();
    Changed(Panel1.rect);
  }
}

}  // namespace cs
