#pragma once
// What `coinshell-tvout` prints: the list of simulated cards, and for one card, desktop mode and
// standard the result of an apply as one JSON object (the stored timing values, every standard
// register, the chip's extended registers, and the signal before and after).
#include <optional>
#include <string>

#include "tvout/card_personality.h"
#include "tvout/display_mode.h"

namespace cs::tvout {

struct SimulateRequest {
  CardId card = CardId::kIbmVga;
  DisplayMode mode;
  std::uint8_t standardCode = 99;  // 99 PAL, 100 NTSC
  bool noInterlace = false;
  bool positiveSync = false;
  bool oddEvenVsync = false;
};

// The card list, one card per line with its Chipset, Model and supported modes.
std::string CardsText();

// The JSON object of one simulation, or the reason the card cannot set the mode.
struct SimulateResult {
  std::optional<std::string> json;
  std::string error;
};
SimulateResult Simulate(const SimulateRequest& request);

// The evaluated signal of a card as one JSON object (the `signal` of Simulate).
struct Signal;
std::string SignalToJson(const Signal& signal);

}  // namespace cs::tvout
