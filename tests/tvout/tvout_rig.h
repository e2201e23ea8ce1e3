#pragma once
// A simulated card with its driver and the engine wired to it, set up as the TV-out window and
// the chipset identification would: the card's Chipset and Model, the ATI I/O base and clock
// parameters, a standard loaded and TV mode on.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/log.h"
#include "tvout/signal_evaluator.h"
#include "tvout/simulated_card.h"
#include "tvout/simulated_display_driver.h"
#include "tvout/video_engine.h"

namespace cs::tvout::testing {

struct Rig {
  explicit Rig(CardId id, DisplayMode mode = {640, 480, 8}, std::uint8_t standard = kStandardPal,
               bool interlaced = true, CardOptions options = {})
      : card(id, options), driver(card), engine(card, &driver) {
    const bool ok = driver.SetMode(mode);
    EXPECT_TRUE(ok) << card.personality().name << " " << ToString(mode) << ": "
                    << driver.Refusal(mode).value_or("");
    const Personality& p = card.personality();
    engine.settings.Chipset = p.chipset;
    engine.settings.Model = p.model;
    if (p.family == Family::kAti) {
      engine.settings.IOBase = card.AtiIoBase();
      engine.ReadAtiClockInfo();
    }
    LoadStandard(&engine.settings, standard);
    engine.settings.TVModeOn = 1;
    engine.settings.Interlaced = interlaced ? 1 : 0;
  }

  void Apply() {
    card.ClearHazards();
    engine.ApplyTVTimings();
  }
  Signal Out() const { return EvaluateSignal(card); }
  std::uint8_t Cr(std::uint8_t i) const { return card.Reg(Bank::kCrtc, i); }
  std::uint8_t Sr(std::uint8_t i) const { return card.Reg(Bank::kSeq, i); }
  std::uint8_t Gr(std::uint8_t i) const { return card.Reg(Bank::kGfx, i); }

  SimulatedCard card;
  SimulatedDisplayDriver driver;
  VideoEngine engine;
};

// Captures diagnostic-log lines for the life of the object.
struct LogCapture {
  LogCapture() {
    SetLogSink([this](const std::string& line) { lines.push_back(line); });
  }
  ~LogCapture() { SetLogSink({}); }
  bool Contains(const std::string& text) const {
    for (const auto& l : lines) {
      if (l.find(text) != std::string::npos) return true;
    }
    return false;
  }
  std::vector<std::string> lines;
};

}  // namespace cs::tvout::testing
