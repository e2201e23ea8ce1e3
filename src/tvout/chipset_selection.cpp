#include "tvout/chipset_selection.h"

#include "platform/log.h"

namespace cs::tvout {

void ChipsetSelection::FillBrandList() {
  brands = BrandTable();
  brandIndex = -1;
}

void ChipsetSelection::OnChangeChipset() {
  if (brandIndex < 0 || brandIndex >= static_cast<int>(brands.size())) return;
  settings().Chipset = brands[static_cast<std::size_t>(brandIndex)].code;
  models.clear();
  modelIndex = -1;
  if (settings().Chipset != kChipAti) {
    models = ModelTable(settings().Chipset);
    modelIndex = 0;
    return;
  }
  settings().Model = 0;
  if (!FindIOBase()) return;  // fell back to Standard IBM VGA, whose lists are shown
  models = {AtiModelEntry(settings().IOBase)};
  engine_.ReadAtiClockInfo();
  modelIndex = 0;
}

void ChipsetSelection::OnChangeModel() {
  if (modelIndex < 0 || modelIndex >= static_cast<int>(models.size())) return;
  settings().Model = models[static_cast<std::size_t>(modelIndex)].model;
  if (settings().Chipset == kChipAti) FindIOBase();
}

void ChipsetSelection::ShowChipsetSelection() {
  if (brands.empty()) FillBrandList();
  const std::uint8_t code = settings().Chipset;
  if (const auto pos = BrandPosition(code)) {
    brandIndex = *pos;
  } else {
    // A code of no brand: an entry of its own at the end, replacing an earlier one.
    const BrandEntry unknown = UnknownBrandEntry(code);
    if (brands.size() > BrandTable().size()) {
      brands.back() = unknown;
    } else {
      brands.push_back(unknown);
    }
    brandIndex = static_cast<int>(brands.size()) - 1;
  }
  OnChangeChipset();
  // A position past the list's end (a number of another brand) leaves the first entry selected.
  if (const auto pos = ModelPosition(settings().Model);
      pos && *pos < static_cast<int>(models.size())) {
    modelIndex = *pos;
  }
}

bool ChipsetSelection::FindIOBase() {
  detection.FindPciCard();
  if (settings().IOBase != 0) return true;
  ShowMessageBox("Video chipset not found!!");
  settings().Chipset = kChipIbm;
  ShowChipsetSelection();
  return false;
}

void ChipsetSelection::btnAutoDetectClick() {
  btnDetectNextEnabled = true;
  detection.Detect();
  ShowChipsetSelection();
}

void ChipsetSelection::btnDetectNextClick() {
  detection.ScanPciBus();
  if (detection.PciScanPos == 0) {
    btnDetectNextEnabled = false;
    detection.ResetScanPos();
  }
  ShowChipsetSelection();
}

void ChipsetSelection::SelectBrand(int index) {
  if (index < 0 || index >= static_cast<int>(brands.size())) return;
  brandIndex = index;
  OnChangeChipset();
  if (settings().Chipset != kChipAti && modelIndex >= 0) {
    settings().Model = models[static_cast<std::size_t>(modelIndex)].model;
  }
}

void ChipsetSelection::SelectModel(int index) {
  if (index < 0 || index >= static_cast<int>(models.size())) return;
  modelIndex = index;
  OnChangeModel();
}

std::string ChipsetSelection::BrandText() const {
  if (brandIndex < 0 || brandIndex >= static_cast<int>(brands.size())) return {};
  return brands[static_cast<std::size_t>(brandIndex)].text;
}

std::string ChipsetSelection::ModelText() const {
  if (modelIndex < 0 || modelIndex >= static_cast<int>(models.size())) return {};
  return models[static_cast<std::size_t>(modelIndex)].text;
}

}  // namespace cs::tvout
