#include "tvout/chipset_lists.h"

#include <cstdio>

#include "tvout/video_engine.h"

namespace cs::tvout {

const std::vector<BrandEntry>& BrandTable() {
  static const std::vector<BrandEntry> kBrands = {
      {"Standard IBM VGA", kChipIbm},
      {"ATI Technology", kChipAti},
      {"Cirrus Logic", kChipCirrus},
      {"Intel", kChipIntel},
      {"Oak Technologies", kChipOak},
      {"Realtek", kChipRealtek},
      {"S3", kChipS3},
      {"SiS", kChipSis},
      {"Trident", kChipTrident},
      {"Tseng Labs", kChipTseng},
      {"UMC", kChipUmc},
      {"Western Digital", kChipWd},
  };
  return kBrands;
}

std::optional<int> BrandPosition(std::uint8_t code) {
  if (code == 0) return 0;
  const auto& brands = BrandTable();
  for (std::size_t i = 0; i < brands.size(); ++i) {
    if (brands[i].code == code) return static_cast<int>(i);
  }
  return std::nullopt;
}

BrandEntry UnknownBrandEntry(std::uint8_t code) {
  return BrandEntry{"Unknown (" + std::to_string(code) + ")", code};
}

std::vector<ModelEntry> ModelTable(std::uint8_t chipset) {
  switch (chipset) {
    case kChipRealtek:
      return {{"Generic", 0}, {"RTG3103", 6}};
    case kChipS3:
      return {{"Generic", 0},
              {"Trio32/64", 0x11},
              {"Trio3D", 0x13},
              {"ViRGE", 0x31},
              {"Vision864/964", 0xC0}};
    case kChipTseng:
      return {{"Generic", 0}, {"ET3000", 3000}, {"ET4000", 4000}};
    case kChipWd:
      return {{"WD90C00", 0}, {"WD90C30", 0x3330}};
    case kChipSis:
      return {{"Generic", 0}, {"SiS300", 0x300}};
    case kChipOak:
      return {{"Generic", 0}, {"OTI037", 0}, {"OTI077", 5}, {"OTI083/87", 0x53}};
    case kChipTrident:
      return {{"Generic", 0}, {"8800BR", 1}, {"9000i", 0x43}, {"3D (3Dimage, Blade3D, etc)", 0xF3}};
    default:
      return {{"Generic", 0}};
  }
}

ModelEntry AtiModelEntry(std::uint16_t ioBase) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "Generic (I/O: %Xh)", static_cast<unsigned>(ioBase));
  return ModelEntry{buf, 0};
}

std::optional<int> ModelPosition(std::uint16_t model) {
  switch (model) {
    case 0:
      return 0;
    case 1:
    case 6:
    case 16:
    case 17:
    case 768:
    case 3000:
    case 13104:
      return 1;
    case 5:
    case 19:
    case 67:
    case 4000:
      return 2;
    case 49:
    case 83:
    case 243:
      return 3;
    default:
      break;
  }
  if (model >= 192 && model <= 209) return 4;
  return std::nullopt;
}

}  // namespace cs::tvout
