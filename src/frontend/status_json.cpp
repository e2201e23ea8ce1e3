// The main window's state as one JSON object, for coinshell-ctl status.
#include <sstream>

#include "frontend/main_window.h"
#include "panel/panel_reader.h"
#include "tvout/tvout_window.h"

namespace cs {

namespace {
std::string Quote(const std::string& s) {
  std::string out = "\"";
  for (unsigned char c : s) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (c < 0x20) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\u%04x", c);
          out += buf;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out + "\"";
}
}  // namespace

std::string TDbgFrm::StatusJson(const std::vector<std::string>& visibleWindows) const {
  std::ostringstream j;
  auto num = [&](const char* k, long long v) { j << Quote(k) << ':' << v << ','; };
  j << '{';
  num("iCredits", iCredits);
  num("iParCredits", iParCredits);
  num("iSysCounter", iSysCounter);
  num("iUserCounter", iUserCounter);
  num("iCoinCredits", iCoinCredits);
  num("CoinStep", CoinStep);
  num("iVolume", iVolume);
  num("iKhz15", iKhz15);
  num("iUpdate", iUpdate);
  num("iUpdatePer", iUpdatePer);
  j << Quote("DtUpdate") << ':' << Quote(DtUpdate.ToShortString()) << ',';
  num("iUpLevel", iUpLevel);
  num("CurSlot", CurSlot);
  num("PageOffset", PageOffset);
  num("ArrowLit", ArrowLit);
  num("LoadState", LoadState);
  num("PlayState", PlayState);
  num("PlayerStage", PlayerStage);
  num("PromptTicks", PromptTicks);
  num("CreditMsgTicks", CreditMsgTicks);
  num("IdleExitTicks", IdleExitTicks);
  j << Quote("timers") << ":{";
  j << Quote("TimAvi") << ':' << (TimAvi.Enabled() ? "true" : "false") << ',';
  j << Quote("TimerMessage") << ':' << (TimerMessage.Enabled() ? "true" : "false") << ',';
  j << Quote("TimStartUp") << ':' << (TimStartUp.Enabled() ? "true" : "false") << ',';
  j << Quote("TimBloq1") << ':' << (TimBloq1.Enabled() ? "true" : "false") << ',';
  j << Quote("TimBloq2") << ':' << (TimBloq2.Enabled() ? "true" : "false") << ',';
  j << Quote("TimWaitCredits") << ':' << (TimWaitCredits.Enabled() ? "true" : "false") << "},";
  j << Quote("MatchStart") << ':' << (GameFlags::Get(flags.MatchStart) ? "true" : "false") << ',';
  j << Quote("P1Idle") << ':' << (flags.P1Idle() ? "true" : "false") << ',';
  j << Quote("P2Idle") << ':' << (flags.P2Idle() ? "true" : "false") << ',';
  num("ServiceMode", ServiceMode);
  num("IdleTicks", IdleTicks);
  num("PreviewCountdown", PreviewCountdown);
  PanelFields& k = const_cast<TDbgFrm*>(this)->Keyb();
  num("NoInputTicks", k.NoInputTicks.load(std::memory_order_relaxed));
  num("GameNoInputTicks", k.GameNoInputTicks.load(std::memory_order_relaxed));
  num("ExitRemap", k.ExitRemap.load(std::memory_order_relaxed));
  num("ForwardStage", k.ForwardStage.load(std::memory_order_relaxed));
  num("LastMask", k.LastMask.load(std::memory_order_relaxed));
  j << Quote("panelReceiving") << ':' << (ThrKeyb() && ThrKeyb()->Receiving() ? "true" : "false")
    << ',';
  num("panelFrames", ThrKeyb() ? static_cast<long long>(ThrKeyb()->FramesDecoded()) : 0);
  num("panelBytes", ThrKeyb() ? static_cast<long long>(ThrKeyb()->BytesReceived()) : 0);
  j << Quote("EmulatorRunning") << ':' << (flags.Running() ? "true" : "false") << ',';
  j << Quote("MsgBlink") << ':' << (MsgBlink ? "true" : "false") << ',';
  num("RefreshTick", RefreshTick);
  j << Quote("AviFileName") << ':' << Quote(AviFileName) << ',';
  {
    const QRect r = Mavic.DisplayRect();
    const bool open = Mavic.GetMode() != VideoPlayer::Mode::kNotReady;
    j << Quote("preview") << ":{" << Quote("file") << ':' << Quote(Mavic.FileName().string()) << ','
      << Quote("open") << ':' << (open ? "true" : "false") << ',' << Quote("position") << ':'
      << Mavic.Position() << ',' << Quote("length") << ':' << Mavic.Length() << ',' << Quote("rect")
      << ":[" << r.x() << ',' << r.y() << ',' << r.width() << ',' << r.height() << "]},";
  }
  j << Quote("ZsCredits") << ':' << Quote(ZsCredits.caption) << ',';
  j << Quote("slots") << ":[";
  for (int n = 1; n <= 10; ++n) {
    SkinObject* o = Ske.FindObject(Ske.RootObject(), "BUT_" + std::to_string(n));
    j << (n > 1 ? "," : "") << (o ? Quote(o->Text()) : "null");
  }
  j << "],";
  j << Quote("tvout") << ':' << tvout::TvOutStatusJson(tvout_.get()) << ',';
  j << Quote("startupDone") << ':' << (startup_done_ ? "true" : "false") << ',';
  j << Quote("visible") << ":[";
  for (std::size_t i = 0; i < visibleWindows.size(); ++i) {
    j << (i ? "," : "") << Quote(visibleWindows[i]);
  }
  j << "]}";
  return j.str();
}

}  // namespace cs
