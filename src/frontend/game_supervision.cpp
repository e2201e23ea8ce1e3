// Game launch and the supervision of a running game: the emulator's messages, the start presses
// with their coin pulses, the in-game prompt and credits line, the automatic exits.
#include "catalogue/game_row.h"
#include "frontend/main_window.h"
#include "gamelink/shared_frame.h"
#include "panel/panel_reader.h"
#include "platform/log.h"
#include "platform/process.h"

namespace cs {

namespace {
constexpr double kStartDebounce = 0.00003;  // 2.592 s
constexpr double kExitDebounce = 0.00001;   // 0.864 s

void ClearP1(GameFlags& f) {
  GameFlags::Set(f.MatchP1B1, false);
  GameFlags::Set(f.MatchP1B2, false);
  GameFlags::Set(f.MatchP1B3, false);
}
void ClearP2(GameFlags& f) {
  GameFlags::Set(f.MatchP2B1, false);
  GameFlags::Set(f.MatchP2B2, false);
  GameFlags::Set(f.MatchP2B3, false);
}
}  // namespace

void TDbgFrm::LaunchGame(const std::string& namefile) {
  PlayState = 1;
  if (flags.Running() || iCredits < 1) return;
  if (!IsSafeNameFile(namefile)) {
    LogDiag("launch", "not launched: NAMEFILE \"" + namefile + "\" is not a short name");
    return;
  }
  // 1.-2.
  Mavic.Stop();
  const std::string parameters = " -noswitchbpp -noswitchres -notriplebuffer -sr 22050 " + namefile;
  // 3.
  if (SkinObject* player = Obj("PLAYER")) {
    Ske.ShowObject(player, true);
    if (Tb.ReadInt(CatalogueField::Nrplayer).value_or(0) >= 2) {
      Ske.RunHoverEvent(player, true);
    } else {
      Ske.RunLeaveEvent(player, true);
    }
  }
  // 4.-6.
  PlayerStage = 1;
  LoadState = 1;
  TimStartUp.SetInterval(FrmCheck.StartUpIntervalMs());
  TimStartUp.SetEnabled(true);
  PanelFields& k = Keyb();
  k.NoInputTicks.store(0, std::memory_order_relaxed);
  // The design leaves GameNoInputTicks as it was, so a launch after more than 90 idle message
  // ticks on the menu sent an exit at the first preview tick, ending the game the player had
  // just paid for. The new game starts its no-input count from 0.
  k.GameNoInputTicks.store(0, std::memory_order_relaxed);
  GameFlags::Set(flags.EmulatorRunning, true);
  // 7. The emulator: no shell, its arguments the parameter string's words, never waited for.
  LastLaunchPid = 0;
  const auto program = Map().Resolve("c:\\qd\\qd.exe");
  if (program) {
    SpawnRequest r;
    r.program = *program;
    r.args = SplitOnBlanks(parameters);
    if (auto wd = Map().Resolve("C:\\QD")) r.workingDirectory = *wd;
    r.extraEnv = EmulatorEnvironment(Map().IpcDir());
    if (auto pid = SpawnDetached(r)) LastLaunchPid = *pid;
  }
  // 8.
  Pb1.position = 0;
  Pb1.visible = false;
  if (SkinObject* msg = Obj("MSG")) Ske.ExecuteCommand(msg, "ChangeImage(QDUP,18,435,388,485)");
  Panel1.visible = false;
  Changed();
  // 9.
  k.ForwardStage.store(0, std::memory_order_relaxed);
  GameFlags::Set(flags.MatchStart, false);
  FrmCheck.ClearStartCapture();
}

void TDbgFrm::ChargeStart() {
  iCredits -= 1;
  if (!SaveCounters(Map(), this)) return;
  CountPlay(Map(), this, &Tb);
  Beep();
  CreditMsgTicks = 0;
}

void TDbgFrm::WMEmulatorStatus(int w, int l) {
  const bool start = w == 2000 || w == 2001;
  const bool end = w == 1000 && l == 1000;
  // A progress message without a scale has no percentage: ignored whole.
  if (!start && !end && l == 0) return;
  if (!Pb1.visible && w != 1000 && l != 1000) {
    Pb1.visible = true;
    Changed(Pb1.rect);
  }
  LoadState = 1;
  if (w == 2000) {
    TimBloq1.SetEnabled(true);
    ClearP1(flags);
    ChargeStart();
    FrmCheck.ShowEmulatorText(2, CreditsLineText(iCredits));
    PlayerStage = 2;
  } else if (w == 2001) {
    TimBloq2.SetEnabled(true);
    ClearP2(flags);
    ChargeStart();
    FrmCheck.ShowEmulatorText(2, CreditsLineText(iCredits));
  } else if (end) {
    Pb1.visible = false;
    LoadState = 0;
    GameFlags::Set(flags.EmulatorRunning, false);
    PreviewCountdown = 1;
    Keyb().NoInputTicks.store(1, std::memory_order_relaxed);
    TimStartUp.SetEnabled(false);
    GameFlags::Set(flags.MatchStart, false);
    ReapChildren();
    FillPage();
    Changed();
  } else {
    double p = w * (100.0 / l);
    if (p > 3) p -= 3;
    Pb1.position = static_cast<int>(p);
    Changed(Pb1.rect);
    if (p >= 90) {
      Pb1.visible = false;
      LoadState = 3;
      GameFlags::Set(flags.EmulatorRunning, true);
      Changed(Pb1.rect);
    }
  }
}

void TDbgFrm::EndStartUpPhase() {
  TimStartUp.SetEnabled(false);
  GameFlags::Set(flags.MatchStart, true);
}

void TDbgFrm::WMPanelCommand(int w, int c) {
  if (w == 200) {
    loop().Sleep(200);
    FrmCheck.BtcompareClick();
    loop().Sleep(200);
    return;
  }
  if (TimStartUp.Enabled() && !GameFlags::Get(flags.MatchStart)) return;
  if (!flags.Running()) return;
  if (w != 100) return;
  PanelFields& k = Keyb();
  const double now = loop().clock().TimeOfDay();
  if (c == 1) {
    if (!(flags.P1Idle() && flags.P2Idle())) return;  // a player is in play
    if (DaySince(now, LastExitTime) < kExitDebounce) return;
    LastExitTime = now;
    k.ExitRemap.store(0, std::memory_order_relaxed);
    GameFlags::Set(flags.MatchStart, false);
    Keys.ExitOnExitButton();
    return;
  }
  if (c == 2 && GameFlags::Get(flags.MatchStart)) {
    if (DaySince(now, LastKeyTime) < kStartDebounce || TimWaitCredits.Enabled()) return;
    LastKeyTime = now;
    KeyNow = now;
    if (PlayState == 2) {
      FrmCheck.ClearEmulatorText();
      PlayState = 3;
    }
    if (TimBloq1.Enabled() && iCredits > 0) ClearP1(flags);
    if (flags.P1Idle()) {
      k.ExitRemap.store(0, std::memory_order_relaxed);
      if (iCredits <= 0) {
        Beep();
      } else if (k.ForwardStage.load(std::memory_order_relaxed) == 2) {
        SequenceSteps steps;
        steps.beforePulse = [this] { EndStartUpPhase(); };
        steps.afterResume = [this] { TimWaitCredits.SetEnabled(true); };
        Keys.CoinForPlayer1(steps);
      }
    }
    if (flags.Running() && k.ForwardStage.load(std::memory_order_relaxed) == 2) {
      Keys.StartPlayer1();
    }
    return;
  }
  if (c == 3 && GameFlags::Get(flags.MatchStart) &&
      Tb.ReadInt(CatalogueField::Nrplayer).value_or(0) >= 2 && PlayerStage >= 2) {
    if (DaySince(now, LastP2Time) < kStartDebounce || TimWaitCredits.Enabled()) return;
    LastP2Time = now;
    P2Now = now;
    if (PlayState == 2) {
      FrmCheck.ClearEmulatorText();
      PlayState = 3;
    }
    if (TimBloq2.Enabled() && iCredits > 0) ClearP2(flags);
    if (flags.P2Idle()) {
      k.ExitRemap.store(0, std::memory_order_relaxed);
      if (iCredits > 0 && k.ForwardStage.load(std::memory_order_relaxed) == 2) {
        SequenceSteps steps;
        steps.afterPause = [this] { EndStartUpPhase(); };
        steps.afterPulse = [this] { CountPlay(Map(), this, &Tb); };
        steps.afterResume = [this] { TimWaitCredits.SetEnabled(true); };
        Keys.CoinAndStartPlayer2(steps);
      } else {
        Beep();
      }
    }
    if (flags.Running() && k.ForwardStage.load(std::memory_order_relaxed) == 2) {
      Keys.StartPlayer2();
    }
  }
}

void TDbgFrm::ShowPrompt() { FrmCheck.ShowEmulatorText(1, StartPromptText(iCredits)); }

void TDbgFrm::SuperviseMessageTick() {
  PanelFields& k = Keyb();
  if (PlayState == 2) {
    PromptTicks += 1;
    if (PromptTicks == 1) k.ExitRemap.store(1, std::memory_order_relaxed);
  }
  if (k.ForwardStage.load(std::memory_order_relaxed) == 1) {
    k.ForwardStage.store(2, std::memory_order_relaxed);
  }
  if (!flags.Running()) return;
  CreditMsgTicks += 1;
  if (k.NoInputTicks.load(std::memory_order_relaxed) < 2) CreditMsgTicks = 0;
  if (flags.P1Idle() && flags.P2Idle()) {
    if (PlayState == 1 && GameFlags::Get(flags.MatchStart)) {
      ShowPrompt();
      PlayState = 2;
      PromptTicks = 0;
      k.ExitRemap.store(1, std::memory_order_relaxed);
      CreditMsgTicks = 0;
      k.ForwardStage.store(1, std::memory_order_relaxed);
    }
    if (PlayState == 3) {
      PlayState = 4;
    } else if (PlayState == 4 && GameFlags::Get(flags.MatchStart) && !TimBloq1.Enabled() &&
               !TimBloq2.Enabled()) {
      ShowPrompt();
      PlayState = 2;
      PromptTicks = 0;
    }
  } else if (CreditMsgTicks > 3) {
    CreditMsgTicks = 0;
    FrmCheck.ShowEmulatorText(2, CreditsLineText(iCredits));
  }
}

void TDbgFrm::SuperviseAutomaticExits() {
  PanelFields& k = Keyb();
  const bool bothIdle = flags.P1Idle() && flags.P2Idle();
  if (flags.Running() && k.GameNoInputTicks.load(std::memory_order_relaxed) > 90) {
    Keys.AutomaticExit();
    k.GameNoInputTicks.store(0, std::memory_order_relaxed);
    PreviewCountdown = 4;
  }
  if (flags.Running() && k.NoInputTicks.load(std::memory_order_relaxed) > 60 && bothIdle) {
    Keys.AutomaticExit();
    k.NoInputTicks.store(0, std::memory_order_relaxed);
    PreviewCountdown = 4;
  }
  if (k.NoInputTicks.load(std::memory_order_relaxed) < 2) IdleExitTicks = 0;
  if (flags.Running() && k.NoInputTicks.load(std::memory_order_relaxed) > 5 && bothIdle &&
      GameFlags::Get(flags.MatchStart)) {
    IdleExitTicks += 1;
    if (IdleExitTicks > 200) {
      IdleExitTicks = 0;
      Keys.AutomaticExit();
      k.NoInputTicks.store(0, std::memory_order_relaxed);
      PreviewCountdown = 4;
    }
  }
  if (TimBloq1.Enabled()) ClearP1(flags);
  if (TimBloq2.Enabled()) ClearP2(flags);
}

void TDbgFrm::CoinDuringGame() {
  if (!flags.Running()) return;
  if ((PlayState == 1 || PlayState == 2) && GameFlags::Get(flags.MatchStart)) {
    ShowPrompt();
  } else {
    FrmCheck.ShowEmulatorText(2, CoinCreditText(iCredits));
  }
}

void TDbgFrm::ExitRequest() {
  if (PlayState < 10) {
    GameFlags::Set(flags.MatchP1B1, false);
    GameFlags::Set(flags.MatchP2B1, false);
    PlayState = 10;
    FrmCheck.ClearEmulatorText();
  } else if (PlayState == 10) {
    PlayState = 0;
    Keys.ExitOnSecondServicePress();
  }
}

}  // namespace cs
