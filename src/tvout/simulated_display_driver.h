#pragma once
// The display driver of the simulated card: sets a desktop mode as the card's own driver would
// (standard VESA timings, the chip's clock synthesiser or clock table, its pixel-depth and
// line-pitch registers, its locks closed again afterwards) and re-establishes it on a mode
// reset. It keeps every vertical value within the standard 10 bits, counting lines by two
// (CR17 bit 2) above 1024 lines, and never interlaces.
#include <optional>
#include <string>
#include <vector>

#include "tvout/display_control.h"
#include "tvout/display_mode.h"
#include "tvout/simulated_card.h"

namespace cs::tvout {

class SimulatedDisplayDriver final : public DisplayControl {
 public:
  explicit SimulatedDisplayDriver(SimulatedCard& card) : card_(card) {}

  // Sets the mode; false, with the card untouched, when the card cannot show it.
  bool SetMode(const DisplayMode& mode);
  // Why the card cannot show a mode; nullopt when it can.
  std::optional<std::string> Refusal(const DisplayMode& mode) const;
  std::vector<DisplayMode> SupportedModes() const;
  const std::optional<DisplayMode>& mode() const { return mode_; }

  // Sets the current mode again (false when no mode was set).
  bool ResetDisplayMode() override;
  int resetCount() const { return resets_; }

 private:
  std::optional<std::string> Program(SimulatedCard* target, const DisplayMode& mode) const;

  SimulatedCard& card_;
  std::optional<DisplayMode> mode_;
  int resets_ = 0;
};

// The desktop a cabinet with this card runs when none is named: the first of 640x480 at 16, 8
// and 4 bits per pixel that the card can show.
std::optional<DisplayMode> DefaultDesktopMode(CardId id);

}  // namespace cs::tvout
