#include "tvout/chipset_detection.h"

#include <algorithm>

namespace cs::tvout {

namespace {

constexpr std::uint16_t kPciAddress = 0xCF8;  // mechanism 1 CONFIG_ADDRESS; mechanism 2 CSE
constexpr std::uint16_t kPciForward = 0xCFA;  // mechanism 2 forward (bus) register
constexpr std::uint16_t kPciData = 0xCFC;
constexpr std::uint16_t kPciWindow = 0xC000;  // mechanism 2 configuration window
constexpr std::uint16_t kSeqData = kSeqIndex + 1;
constexpr std::uint16_t kHerculesConfig = 0x3BF;

constexpr std::uint16_t kVendorIntel = 0x8086;
constexpr std::uint16_t kVendorSis = 0x1039;
constexpr std::uint16_t kVendorAti = 0x1002;

}  // namespace

void ChipsetDetection::DetectPciMechanism() {
  io_.PortWrite8(kPciAddress, 0x00);
  io_.PortWrite8(kPciForward, 0x00);
  if (io_.PortRead8(kPciAddress) == 0 && io_.PortRead8(kPciForward) == 0) {
    PciMechanism = 2;
    return;
  }
  const std::uint32_t kept = io_.PortRead32(kPciAddress);
  io_.PortWrite32(kPciAddress, 0x80000000u);
  if (io_.PortRead32(kPciAddress) == 0x80000000u) {
    PciMechanism = 1;
    return;
  }
  io_.PortWrite32(kPciAddress, kept);
  PciMechanism = 0;
}

std::uint32_t ChipsetDetection::PciRead(int slot, std::uint8_t reg) {
  if (PciMechanism == 1) {
    io_.PortWrite32(kPciAddress,
                    0x80000000u | static_cast<std::uint32_t>(slot) << 11 | (reg & 0xFCu));
    return io_.PortRead32(kPciData);
  }
  return io_.PortRead32(static_cast<std::uint16_t>(kPciWindow + (slot << 8) + (reg & 0xFC)));
}

void ChipsetDetection::ScanPciBus() {
  const bool window = PciMechanism != 1;
  if (window) {
    io_.PortWrite8(kPciAddress, 0x80);
    io_.PortWrite8(kPciForward, 0x00);
  }
  const int top = std::min(PciScanPos, SlotCount());
  for (int s = top - 1; s >= 0; --s) {
    if (PciRead(s, 0x00) == 0xFFFFFFFFu) continue;
    PciScanPos = s;
    CheckPciDevice();
  }
  // Left open, the configuration window would hide ports 0xC000-0xCFFF from the devices there.
  if (window) io_.PortWrite8(kPciAddress, 0x00);
}

void ChipsetDetection::CheckPciDevice() {
  const int slot = PciScanPos;
  if ((PciRead(slot, 0x08) >> 16) != 0x0300) return;
  const std::uint32_t id = PciRead(slot, 0x00);
  const auto vendor = static_cast<std::uint16_t>(id);
  const auto device = static_cast<std::uint16_t>(id >> 16);
  switch (vendor) {
    case kVendorIntel:
      if (device == 0x1102 || device == 0x1112 || device == 0x1132 || device == 0x7800) {
        Set(kChipIntel, device);
      }
      break;
    case kVendorSis:
      if (device == 0x0300 || device == 0x6326 || device == 0x6225 || device == 0x0205 ||
          device == 0x0002 || device == 0x0200) {
        Set(kChipSis, device);
      } else if (device == 0x6300) {
        Set(kChipSis, 0x0300);
      }
      break;
    case kVendorAti:
      Set(kChipAti, device);
      settings_.IOBase = static_cast<std::uint16_t>(PciRead(slot, 0x14) & 0xFF00u);
      break;
    default:
      break;
  }
}

bool ChipsetDetection::ProbeRegisters() {
  const std::uint16_t crtc = io_.CrtcPort;

  // Oak: the OTI index port holds bits 3-5 of register 0x0D.
  if (io_.TestIndexedBits(kOakIndex, 0x0D, 0x38)) {
    const bool oti087 = io_.TestIndexedBits(kOakIndex, 0x23, 0x1F);
    Set(kChipOak, oti087 ? 0x53 : (io_.PortRead8(kOakIndex) >> 5) & 0x07);
    return true;
  }

  // Trident: the version in SR0B; the new-mode SR0E of the 9000 and later reads bit 1 inverted.
  // SR0B is kept for the chips where it is a plain register (the Cirrus VCLK0 numerator).
  const std::uint8_t sr0b = io_.ReadIndexed(kSeqIndex, 0x0B);
  io_.WriteIndexed(kSeqIndex, 0x0B, 0x00);
  const std::uint8_t version = io_.ReadIndexed(kSeqIndex, 0x0B);
  const std::uint8_t e = io_.ReadIndexed(kSeqIndex, 0x0E);
  io_.PortWrite8(kSeqData, 0x00);
  const std::uint8_t r = io_.PortRead8(kSeqData) & 0x0F;
  io_.PortWrite8(kSeqData, e);
  if (r == 2) {
    io_.WriteIndexed(kSeqIndex, 0x0E, e ^ 0x02);  // stored inverted: e itself again
    Set(kChipTrident, version);
    return true;
  }
  if (version == 1 && io_.TestIndexedBits(kSeqIndex, 0x0E, 0x06)) {
    Set(kChipTrident, 1);
    return true;
  }
  io_.WriteIndexed(kSeqIndex, 0x0B, sr0b);

  // Cirrus Logic: SR06 reads 0x0F locked and 0x12 unlocked. Its lock is put back as found.
  const std::uint8_t sr06 = io_.ReadIndexed(kSeqIndex, 0x06);
  io_.PortWrite8(kSeqData, 0x00);
  bool cirrus = false;
  if (io_.PortRead8(kSeqData) == 0x0F) {
    io_.PortWrite8(kSeqData, 0x12);
    cirrus = (io_.PortRead8(kSeqData) & 0x07) == 2 && io_.TestIndexedBits(kSeqIndex, 0x1E, 0x3F);
  }
  io_.WriteIndexed(kSeqIndex, 0x06, sr06);
  if (cirrus) {
    Set(kChipCirrus, 0);
    return true;
  }

  // S3: CR35 is writable only with the register lock CR38 open. The lock is put back as found.
  const std::uint8_t cr38 = io_.ReadCrtc(0x38);
  io_.WriteCrtc(0x38, 0x00);
  bool s3 = false;
  std::uint16_t s3Model = 0;
  if (!io_.TestIndexedBits(crtc, 0x35, 0x0F)) {
    io_.WriteCrtc(0x38, 0x48);
    if (io_.TestIndexedBits(crtc, 0x35, 0x0F)) {
      s3 = true;
      const std::uint8_t cr30 = io_.ReadCrtc(0x30);
      s3Model = (cr30 == 0xE0 || cr30 == 0xE1) ? io_.ReadCrtc(0x2E) : cr30;
    }
  }
  io_.WriteCrtc(0x38, cr38);
  if (s3) {
    Set(kChipS3, s3Model);
    return true;
  }

  // UMC: SR06 opens with 0xAC at port 0x3BF (which stays written after a find).
  const std::uint8_t k = io_.PortRead8(kHerculesConfig);
  io_.PortWrite8(kHerculesConfig, 0x03);
  if (!io_.TestIndexedBits(kSeqIndex, 0x06, 0xFF)) {
    io_.PortWrite8(kHerculesConfig, 0xAC);
    if (io_.TestIndexedBits(kSeqIndex, 0x06, 0xFF)) {
      Set(kChipUmc, 0);
      return true;
    }
  }
  io_.PortWrite8(kHerculesConfig, k);

  // Western Digital: GR09 opens with the PR5 lock pattern 5 in GR0F.
  const std::uint8_t g = io_.ReadIndexed(kGfxIndex, 0x0F);
  io_.WriteIndexed(kGfxIndex, 0x0F, static_cast<std::uint8_t>(g | 0x17));
  bool wd = false;
  std::uint16_t wdModel = 0;
  if (!io_.TestIndexedBits(kGfxIndex, 0x09, 0x7F)) {
    io_.MaskedIndexedWrite(kGfxIndex, 0x0F, 0x17, 0x05);
    if (io_.TestIndexedBits(kGfxIndex, 0x09, 0x7F)) {
      wd = true;
      wdModel = static_cast<std::uint16_t>(io_.ReadCrtc(0x36) << 8 | io_.ReadCrtc(0x37));
    }
  }
  io_.WriteIndexed(kGfxIndex, 0x0F, g);
  if (wd) {
    Set(kChipWd, wdModel);
    return true;
  }

  // Tseng Labs: the segment select port 0x3CD answers after the key.
  io_.PortWrite8(kHerculesConfig, 0x03);
  io_.PortWrite8(static_cast<std::uint16_t>(crtc + 4), 0xA0);
  if (io_.TestPortBits(0x3CD, 0x3F)) {
    Set(kChipTseng, io_.TestIndexedBits(crtc, 0x33, 0x0F) ? 4000 : 3000);
    return true;
  }

  // Realtek: CR1F read-only and only three bits at 0x3D6/0x3D7; anything else is a plain VGA.
  if (io_.TestIndexedBits(crtc, 0x1F, 0x3F) || io_.TestPortBits(0x3D6, 0x0F) ||
      io_.TestPortBits(0x3D7, 0x0F)) {
    return false;
  }
  Set(kChipRealtek, io_.ReadCrtc(0x1A) == 0 ? 6 : 0);
  return true;
}

void ChipsetDetection::Detect() {
  const std::uint8_t seqIndex = io_.PortRead8(kSeqIndex);
  Set(kChipIbm, 0);
  io_.UpdateCrtcPort();
  if (PciMechanism == 0) DetectPciMechanism();
  ResetScanPos();
  ScanPciBus();
  if (settings_.Chipset == kChipIbm) ProbeRegisters();
  io_.PortWrite8(kSeqIndex, seqIndex);
}

void ChipsetDetection::FindPciCard() {
  const std::int32_t n = PciScanPos;
  const std::uint8_t brand = settings_.Chipset;
  const std::uint16_t model = settings_.Model;
  if (PciMechanism == 0) DetectPciMechanism();
  ResetScanPos();
  bool found = false;
  // At least one pass: a detection leaves the position at the lowest present slot, usually the
  // host bridge in slot 0, and the search must still look at the bus then.
  for (std::int32_t pass = 0; pass < std::max(n, 1); ++pass) {
    const std::int32_t before = PciScanPos;
    ScanPciBus();
    if (settings_.Chipset == brand && (model == 0 || settings_.Model == model)) {
      found = true;
      break;
    }
    if (PciScanPos == before) break;  // nothing left below: further passes find nothing
  }
  if (!found) settings_.IOBase = 0;
  PciScanPos = n;
}

}  // namespace cs::tvout
