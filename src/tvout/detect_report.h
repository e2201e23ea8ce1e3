#pragma once
// What `coinshell-tvout detect` prints: the full chipset detection (the PCI scan, the register
// probes, the brand and model lists as the TV-out window shows them, the ATI I/O base search)
// run against simulated cards, as one JSON object.
#include <optional>
#include <string>
#include <vector>

#include "tvout/card_personality.h"

namespace cs::tvout {

struct DetectRequest {
  // In PCI slot order: the first is the primary VGA (its registers answer the VGA ports) at
  // slot 9, every further one a PCI card at the next slot (9 + k).
  std::vector<CardId> cards;
  int pciMechanism = 1;  // 0 (no PCI bus), 1 or 2
};

struct DetectResult {
  std::optional<std::string> json;  // Chipset, Model, IOBase, PciMechanism, brand, model, ...
  std::string error;                // why the request cannot be run
};

DetectResult DetectCards(const DetectRequest& request);

}  // namespace cs::tvout
