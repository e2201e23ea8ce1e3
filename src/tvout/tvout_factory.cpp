#include "tvout/tvout_factory.h"

#include "platform/log.h"
#include "tvout/json_writer_private.h"
#include "tvout/register_restore_display_control.h"
#include "tvout/signal_evaluator.h"
#include "tvout/simulated_card.h"
#include "tvout/simulated_display_driver.h"
#include "tvout/tvout_window.h"
#include "tvout/tvout_window_view.h"

namespace cs::tvout {

namespace {

constexpr char kLog[] = "tvout";

}  // namespace

std::optional<TvOutChoice> ParseTvOutOption(std::string_view text, std::string* error) {
  auto fail = [&](std::string why) -> std::optional<TvOutChoice> {
    if (error) *error = std::move(why);
    return std::nullopt;
  };
  TvOutChoice c;
  if (text.empty()) return c;
  if (text == "off") {
    c.kind = TvOutChoice::Kind::kOff;
    return c;
  }
  if (text == "hardware") {
    c.kind = TvOutChoice::Kind::kHardware;
    return c;
  }
  constexpr std::string_view kSim = "simulated:";
  if (text.substr(0, kSim.size()) != kSim) {
    return fail("expected off, hardware or simulated:NAME, not \"" + std::string(text) + "\"");
  }
  std::string_view rest = text.substr(kSim.size());
  std::string_view modeText;
  if (const auto colon = rest.find(':'); colon != std::string_view::npos) {
    modeText = rest.substr(colon + 1);
    rest = rest.substr(0, colon);
  }
  const auto id = CardByName(rest);
  if (!id) return fail("unknown card \"" + std::string(rest) + "\" (see: coinshell-tvout cards)");
  c.kind = TvOutChoice::Kind::kSimulated;
  c.card = *id;
  if (!modeText.empty()) {
    c.mode = ParseDisplayMode(modeText);
    if (!c.mode) return fail("bad mode \"" + std::string(modeText) + "\": expected WxHxBPP");
  } else {
    c.mode = DefaultDesktopMode(*id);
  }
  SimulatedCard probe(*id);
  if (!c.mode) return fail(std::string(rest) + " shows no 640x480 desktop: name a mode");
  if (const auto why = SimulatedDisplayDriver(probe).Refusal(*c.mode)) {
    return fail(std::string(rest) + " cannot show " + ToString(*c.mode) + ": " + *why);
  }
  return c;
}

TvOutWindow::~TvOutWindow() {
  view_.reset();
  window_.reset();  // ShutdownWinIo; stops listening to the display control
  display_.reset();
  io_.reset();
}

std::unique_ptr<TvOutWindow> CreateTvOutWindow(EventLoop& loop, const TvOutChoice& choice,
                                               TvOutEnvironment env) {
  std::unique_ptr<TvOutWindow> tv(new TvOutWindow());
  switch (choice.kind) {
    case TvOutChoice::Kind::kOff:
      return nullptr;
    case TvOutChoice::Kind::kSimulated: {
      auto card = std::make_unique<SimulatedCard>(choice.card);
      auto driver = std::make_unique<SimulatedDisplayDriver>(*card);
      const DisplayMode mode = choice.mode.value_or(DisplayMode{640, 480, 8});
      if (!driver->SetMode(mode)) {
        LogDiag(kLog, std::string(card->personality().name) + " cannot show " + ToString(mode) +
                          ": no TV-out window");
        return nullptr;
      }
      tv->backend_ = "simulated:" + std::string(card->personality().name);
      tv->card_ = card.get();
      tv->driver_ = driver.get();
      tv->io_ = std::move(card);
      tv->display_ = std::move(driver);
      break;
    }
    case TvOutChoice::Kind::kAuto:
    case TvOutChoice::Kind::kHardware: {
      auto io =
          std::make_unique<HardwarePortIo>(env.hardwareSystem.value_or(HardwareSystem::Real()));
      if (choice.kind == TvOutChoice::Kind::kAuto && !io->InitializeWinIo()) {
        LogDiag(kLog, "no port access: no TV-out window (--tvout=simulated:NAME shows one)");
        return nullptr;
      }
      tv->backend_ = "hardware";
      tv->io_ = std::move(io);
      break;
    }
  }

  tv->window_ = std::make_unique<TMain>(loop, *tv->io_, tv->display_.get(),
                                        TMainConfig{env.root, env.ipcDir});
  if (!tv->display_) {
    // Hardware: no driver re-establishes its mode on request; the registers saved before the
    // first TV apply are written back instead.
    tv->display_ =
        std::make_unique<RegisterRestoreDisplayControl>(*tv->io_, tv->window_->engine.settings);
    tv->window_->SetDisplayControl(tv->display_.get());
  }
  tv->window_->RequestTerminate = std::move(env.terminate);
  if (env.createView) tv->view_ = TMainView::Create(*tv->window_);
  tv->window_->OnFormCreate();
  return tv;
}

std::string TvOutStatusJson(const TvOutWindow* tvout) {
  if (tvout == nullptr) return "null";
  const TMain& w = tvout->window();
  const EngineSettings& s = w.settings();
  Json j;
  j.Open();
  j.String("backend", tvout->backend());
  j.Int("Chipset", s.Chipset);
  j.Int("Model", s.Model);
  j.Int("IOBase", s.IOBase);
  j.Int("TVModeOn", s.TVModeOn);
  j.Int("StandardCode", s.StandardCode);
  j.Int("Interlaced", s.Interlaced);
  j.Int("Polarity", s.Polarity);
  j.Bool("Visible", w.Visible());
  if (const SimulatedCard* card = tvout->card()) SignalJson(&j, "signal", EvaluateSignal(*card));
  j.Close();
  return j.str();
}

}  // namespace cs::tvout
