#pragma once
// The two lists of the TV-out window's "Video Chipset" group: the brands, each with its Chipset
// code, and per brand the models, each with its Model number; and the list position a Model
// number is shown at.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace cs::tvout {

struct BrandEntry {
  std::string text;
  std::uint8_t code = 0;
  friend bool operator==(const BrandEntry&, const BrandEntry&) = default;
};

struct ModelEntry {
  std::string text;
  std::uint16_t model = 0;
  friend bool operator==(const ModelEntry&, const ModelEntry&) = default;
};

// The twelve brands in list order ("Standard IBM VGA" = 1 first).
const std::vector<BrandEntry>& BrandTable();
// The position of a Chipset code in BrandTable(); code 0 counts as Standard IBM VGA. nullopt for
// a code in no entry.
std::optional<int> BrandPosition(std::uint8_t code);
// The entry that shows a stored code of no brand ("Unknown (7)"), so that the brand change reads
// the code back unchanged.
BrandEntry UnknownBrandEntry(std::uint8_t code);

// The models of a brand ("Generic" = 0 for a brand without a list of its own). For ATI the one
// entry names the I/O base: AtiModelEntry.
std::vector<ModelEntry> ModelTable(std::uint8_t chipset);
// "Generic (I/O: D800h)": the base in upper-case hexadecimal.
ModelEntry AtiModelEntry(std::uint16_t ioBase);

// The model list position that shows a Model number (0 -> 0; 1, 6, 16, 17, 768, 3000, 13104 -> 1;
// 5, 19, 67, 4000 -> 2; 49, 83, 243 -> 3; 192-209 -> 4); nullopt for any other number (the first
// entry stays selected).
std::optional<int> ModelPosition(std::uint16_t model);

}  // namespace cs::tvout
