#pragma once
// The "Video Chipset" group of the TV-out window without its widgets: the brand list
// `comboChipsets`, the model list `comboModels`, the "Ne&xt" button's state, and the handlers
// that keep them and the engine's Chipset, Model and IOBase together (OnChangeChipset,
// OnChangeModel, ShowChipsetSelection, FindIOBase, btnAutoDetectClick, btnDetectNextClick).
//
// A stored brand code that is in no entry of the brand list (7, the one such code the engine
// knows) is shown as an entry of its own, "Unknown (7)", appended to the list: the brand change
// then reads that code back, so the engine keeps it.
//
// Selecting an entry from code (ShowChipsetSelection) runs no handler; the user's picks
// (SelectBrand, SelectModel) run the list's change handler as the form's lists do.
//
// Main thread only.
#include <cstdint>
#include <vector>

#include "tvout/chipset_detection.h"
#include "tvout/chipset_lists.h"
#include "tvout/port_io.h"
#include "tvout/video_engine.h"

namespace cs::tvout {

class ChipsetSelection {
 public:
  ChipsetSelection(PortIo& io, VideoEngine& engine)
      : detection(io, engine.settings), engine_(engine) {}

  ChipsetDetection detection;

  // comboChipsets: its entries and the selected position (-1 for none).
  std::vector<BrandEntry> brands;
  int brandIndex = -1;
  // comboModels.
  std::vector<ModelEntry> models;
  int modelIndex = -1;
  // "Ne&xt": disabled until the first detection.
  bool btnDetectNextEnabled = false;

  // Fills the brand list (nothing selected yet).
  void FillBrandList();
  // Brand change: Chipset from the selected entry, the model list refilled with its first entry
  // selected; for ATI Model 0, FindIOBase, and when the card was found the entry with its I/O
  // base, after ReadAtiClockInfo.
  void OnChangeChipset();
  // Model change: Model from the selected entry; for ATI FindIOBase again.
  void OnChangeModel();
  // Puts the current Chipset and Model into the two lists (the brand change runs).
  void ShowChipsetSelection();
  // FindPciCard; without a card: "Video chipset not found!!" and Standard IBM VGA. Returns
  // whether the card was found.
  bool FindIOBase();
  // Full detection, then ShowChipsetSelection.
  void btnAutoDetectClick();
  // Continues the PCI scan below the current position.
  void btnDetectNextClick();

  // The user picked an entry. A brand picked by the user also sets Model to the first model
  // entry it shows (ATI: the card's device), so the engine drives what the lists show.
  void SelectBrand(int index);
  void SelectModel(int index);

  // The selected entries' texts ("" for none).
  std::string BrandText() const;
  std::string ModelText() const;

 private:
  EngineSettings& settings() { return engine_.settings; }

  VideoEngine& engine_;
};

}  // namespace cs::tvout
