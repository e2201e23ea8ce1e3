#include "tvout/simulated_card.h"

#include <cmath>
#include <cstdio>

#include "tvout/signal_evaluator.h"

namespace cs::tvout {

namespace {

constexpr std::uint32_t kBiosBase = 0xC0000;
constexpr std::size_t kBiosSize = 0x8000;

// Values the simulated ATI video BIOS holds in its clock table (10 kHz units).
constexpr std::uint16_t kAtiBiosRefFreq = 1432;
constexpr std::uint16_t kAtiBiosRefDiv = 33;
constexpr std::uint16_t kAtiBiosMemClock = 6000;

std::string Hex(unsigned v, int digits) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%0*X", digits, v);
  return buf;
}

bool Between(unsigned v, unsigned lo, unsigned hi) { return v >= lo && v <= hi; }

}  // namespace

SimulatedCard::SimulatedCard(CardId id, CardOptions options)
    : personality_(&PersonalityFor(id)), options_(options) {
  InitStandard();
  for (const ExtReg& r : personality_->ext) Define(r.bank, r.index, r.reset, r.writable, r.lock);
  for (const ExtReg& r : options_.overrides) Define(r.bank, r.index, r.reset, r.writable, r.lock);
  InitBios();
  InitPci();
  if (personality_->family == Family::kAti) InitAti();
}

void SimulatedCard::Define(Bank bank, std::uint8_t index, std::uint8_t reset, std::uint8_t writable,
                           Lock lock) {
  Slot& s = FileOf(bank)[index];
  s.exists = true;
  s.value = reset;
  s.writable = writable;
  s.fixed = static_cast<std::uint8_t>(reset & ~writable);
  s.lock = lock;
}

void SimulatedCard::InitStandard() {
  // Sequencer, CRTC, graphics and attribute registers of a VGA, in the state of text mode 3.
  static constexpr std::uint8_t kSeqReset[5] = {0x03, 0x00, 0x03, 0x00, 0x02};
  static constexpr std::uint8_t kSeqMask[5] = {0x03, 0x3F, 0x0F, 0x3F, 0x0E};
  for (int i = 0; i < 5; ++i) {
    Define(Bank::kSeq, static_cast<std::uint8_t>(i), kSeqReset[i], kSeqMask[i]);
  }
  static constexpr std::uint8_t kCrtcReset[0x19] = {
      0x5F, 0x4F, 0x50, 0x82, 0x55, 0x81, 0xBF, 0x1F, 0x00, 0x4F, 0x0D, 0x0E, 0x00,
      0x00, 0x00, 0x00, 0x9C, 0x8E, 0x8F, 0x28, 0x1F, 0x96, 0xB9, 0xA3, 0xFF};
  for (int i = 0; i < 0x19; ++i) {
    Define(Bank::kCrtc, static_cast<std::uint8_t>(i), kCrtcReset[i], 0xFF);
  }
  static constexpr std::uint8_t kGfxReset[9] = {0x00, 0x00, 0x00, 0x00, 0x00,
                                                0x10, 0x0E, 0x00, 0xFF};
  static constexpr std::uint8_t kGfxMask[9] = {0x0F, 0x0F, 0x0F, 0x1F, 0x03,
                                               0x7B, 0x0F, 0x0F, 0xFF};
  for (int i = 0; i < 9; ++i) {
    Define(Bank::kGfx, static_cast<std::uint8_t>(i), kGfxReset[i], kGfxMask[i]);
  }
  for (int i = 0; i < 0x10; ++i) Define(Bank::kAttr, static_cast<std::uint8_t>(i), 0x00, 0x3F);
  Define(Bank::kAttr, 0x10, 0x0C, 0xEF);
  Define(Bank::kAttr, 0x11, 0x00, 0xFF);
  Define(Bank::kAttr, 0x12, 0x0F, 0x3F);
  Define(Bank::kAttr, 0x13, 0x08, 0x0F);
  Define(Bank::kAttr, 0x14, 0x00, 0x0F);
  misc_ = 0x67;
}

void SimulatedCard::InitBios() {
  bios_.assign(kBiosSize, 0x00);
  bios_[0] = 0x55;
  bios_[1] = 0xAA;
  bios_[2] = static_cast<std::uint8_t>(kBiosSize / 512);
  if (personality_->family != Family::kAti) return;
  auto put16 = [&](std::size_t at, std::uint16_t v) {
    bios_[at] = static_cast<std::uint8_t>(v);
    bios_[at + 1] = static_cast<std::uint8_t>(v >> 8);
  };
  // 0x48: offset of the ROM table; ROM table + 0x10: offset of the clock information table.
  put16(0x48, 0x0120);
  put16(0x0130, 0x0300);
  put16(0x0308, kAtiBiosRefFreq);
  put16(0x030A, kAtiBiosRefDiv);
  put16(0x0312, kAtiBiosMemClock);
}

PciFunction PciFunctionFor(CardId id, std::uint16_t atiIoBase) {
  const Personality& p = PersonalityFor(id);
  PciFunction card{p.pciVendor, p.pciDevice, 0x03000001, 0xE0000008, 0};
  if (p.family == Family::kAti) card.bar1 = atiIoBase | 0x01u;
  return card;
}

void SimulatedCard::InitPci() {
  if (options_.pciMechanism == 0) return;
  AddPciFunction(0, PciFunction{0x8086, 0x7190, 0x06000003, 0, 0});  // host bridge
  if (!personality_->pci) return;
  AddPciFunction(options_.cardSlot, PciFunctionFor(personality_->id, options_.atiIoBase));
}

void SimulatedCard::InitAti() {
  // CRTC_GEN_CNTL: extended display and CRTC enabled, 8 bits per pixel.
  SetAtiBlock32(0x1C, 0x03000200);
  ati_block_[0xB1] = 0x05;  // memory timing: t1 = 1, t2 = 1, t3 = 0
  ati_block_[0xB2] = 0x02;  // t4 = 2
  ati_block_[0xE4] = 0x05;  // memory type 5
  ati_pll_[0x02] = kAtiBiosRefDiv;
  ati_pll_[0x05] = 0x03;  // VCLK from the synthesiser, not held in reset
  ati_pll_[0x0B] = 0x08;  // the synthesiser's doubler on
}

void SimulatedCard::AddPciFunction(int slot, const PciFunction& f) {
  std::array<std::uint8_t, 256> cfg{};
  auto put32 = [&](int at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) cfg[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
  };
  put32(0x00, static_cast<std::uint32_t>(f.device) << 16 | f.vendor);
  put32(0x04, 0x02000007);
  put32(0x08, f.classRevision);
  put32(0x10, f.bar0);
  put32(0x14, f.bar1);
  pci_[slot] = cfg;
}

std::uint32_t SimulatedCard::PciConfig32(int slot, std::uint8_t reg) const {
  auto it = pci_.find(slot);
  if (it == pci_.end()) return 0xFFFFFFFF;
  const auto& c = it->second;
  const int r = reg & 0xFC;
  return static_cast<std::uint32_t>(c[r]) | static_cast<std::uint32_t>(c[r + 1]) << 8 |
         static_cast<std::uint32_t>(c[r + 2]) << 16 | static_cast<std::uint32_t>(c[r + 3]) << 24;
}

void SimulatedCard::WritePhysical(std::uint32_t address, const std::vector<std::uint8_t>& bytes) {
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const std::uint64_t a = static_cast<std::uint64_t>(address) + i;
    if (a >= kBiosBase && a < kBiosBase + kBiosSize) bios_[a - kBiosBase] = bytes[i];
  }
}

bool SimulatedCard::GetPhysLong(std::uint32_t address, std::uint32_t* value) {
  std::uint32_t v = 0;
  for (int i = 0; i < 4; ++i) {
    const std::uint64_t a = static_cast<std::uint64_t>(address) + static_cast<unsigned>(i);
    const std::uint8_t b =
        (a >= kBiosBase && a < kBiosBase + kBiosSize) ? bios_[a - kBiosBase] : 0xFF;
    v |= static_cast<std::uint32_t>(b) << (8 * i);
  }
  *value = v;
  return true;
}

// ---- locks and direct access ----

bool SimulatedCard::Unlocked(Lock lock) const {
  using enum Bank;
  switch (lock) {
    case Lock::kNone:
      return true;
    case Lock::kS3Crtc:
      return Reg(kCrtc, 0x38) == 0x48;
    case Lock::kS3CrtcExt:
      return Reg(kCrtc, 0x39) == 0xA5;
    case Lock::kS3Seq:
      return Reg(kSeq, 0x08) == 0x06;
    case Lock::kCirrus:
      return cirrus_unlocked_;
    case Lock::kTsengKey:
      return tseng_key_;
    case Lock::kUmc:
      return port_3bf_ == 0xAC;
    case Lock::kWdPr5:
      return (Reg(kGfx, 0x0F) & 0x07) == 0x05;
    case Lock::kWdPr10:
      return (Reg(kCrtc, 0x29) & 0x8F) == 0x85;
    case Lock::kSis:
      return sis_unlocked_;
    case Lock::kIntel:
      return (Reg(kCrtc, 0x80) & 0x01) != 0;
    case Lock::kTridentExt:
      return (Reg(kSeq, 0x0E) & 0x80) != 0;
  }
  return false;
}

bool SimulatedCard::Has(Bank bank, std::uint8_t index) const { return FileOf(bank)[index].exists; }

std::uint8_t SimulatedCard::Reg(Bank bank, std::uint8_t index) const {
  const Slot& s = FileOf(bank)[index];
  return s.exists ? s.value : 0x00;
}

void SimulatedCard::SetReg(Bank bank, std::uint8_t index, std::uint8_t value) {
  Slot& s = FileOf(bank)[index];
  if (!s.exists) return;
  s.value = static_cast<std::uint8_t>((value & s.writable) | s.fixed);
  beam_dirty_ = true;
}

std::uint8_t SimulatedCard::TridentOld(std::uint8_t index) const {
  return index == 0x0D ? trident_old_sr0d_ : trident_old_sr0e_;
}

void SimulatedCard::SetTridentOld(std::uint8_t index, std::uint8_t value) {
  (index == 0x0D ? trident_old_sr0d_ : trident_old_sr0e_) = value;
  beam_dirty_ = true;
}

std::uint32_t SimulatedCard::AtiBlock32(std::uint8_t offset) const {
  std::uint32_t v = 0;
  for (int i = 0; i < 4; ++i) {
    v |= static_cast<std::uint32_t>(ati_block_[(offset + i) & 0xFF]) << (8 * i);
  }
  return v;
}

void SimulatedCard::SetAtiBlock32(std::uint8_t offset, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) {
    ati_block_[(offset + i) & 0xFF] = static_cast<std::uint8_t>(value >> (8 * i));
  }
  beam_dirty_ = true;
}

// ---- register banks through their data ports ----

void SimulatedCard::StoreChecked(Bank bank, std::uint8_t index, std::uint8_t value) {
  Slot& s = FileOf(bank)[index];
  if (!s.exists || !Unlocked(s.lock)) return;
  s.value = static_cast<std::uint8_t>((value & s.writable) | s.fixed);
}

std::uint8_t SimulatedCard::ReadData(Bank bank, std::uint8_t index) {
  const Family f = personality_->family;
  if (bank == Bank::kSeq) {
    if (f == Family::kCirrus && index == 0x06) return cirrus_unlocked_ ? 0x12 : 0x0F;
    if (f == Family::kSis && index == 0x05) return sis_unlocked_ ? 0xA1 : 0x21;
    if (f == Family::kTrident && index == 0x0B) {
      // Reading the version selects the new-mode registers.
      if (personality_->id != CardId::kTrident8800br) trident_new_mode_ = true;
      return static_cast<std::uint8_t>(personality_->model);
    }
    if (f == Family::kTrident && personality_->id != CardId::kTrident8800br &&
        (index == 0x0D || index == 0x0E) && !trident_new_mode_) {
      return TridentOld(index);
    }
  }
  return Reg(bank, index);
}

void SimulatedCard::WriteData(Bank bank, std::uint8_t index, std::uint8_t value) {
  using enum Bank;
  const Family f = personality_->family;
  beam_dirty_ = true;
  if (bank == kSeq) {
    if (index == 0x00) {
      if ((value & 0x01) == 0) {
        Hazard("asynchronous sequencer reset (SR00 bit 0 cleared): video memory contents lost");
      }
    }
    if (f == Family::kCirrus && index == 0x06) {
      cirrus_unlocked_ = value == 0x12;
      return;
    }
    if (f == Family::kSis && index == 0x05) {
      sis_unlocked_ = value == 0x86;
      return;
    }
    if (f == Family::kTrident && index == 0x0B) {
      // Writing SR0B selects the old-mode registers (not on the 8800BR, which has one set).
      if (personality_->id != CardId::kTrident8800br) trident_new_mode_ = false;
      return;
    }
    if (f == Family::kTrident && personality_->id != CardId::kTrident8800br &&
        (index == 0x0D || index == 0x0E)) {
      if (!trident_new_mode_) {
        SetTridentOld(index, value);
        return;
      }
      // New-mode SR0E stores bit 1 inverted.
      if (index == 0x0E) value ^= 0x02;
    }
  }
  if (bank == kCrtc && index <= 0x07 && (Reg(kCrtc, 0x11) & 0x80)) {
    // CR11 bit 7 protects CR00-CR07; only the line compare bit 8 (CR07 bit 4) stays writable.
    if (index != 0x07) return;
    value = static_cast<std::uint8_t>((Reg(kCrtc, 0x07) & ~0x10) | (value & 0x10));
  }
  StoreChecked(bank, index, value);
}

// ---- ports ----

bool SimulatedCard::CrtcDecoded(std::uint16_t port, std::uint16_t* base) const {
  const std::uint16_t b = (misc_ & 0x01) ? 0x3D4 : 0x3B4;
  *base = b;
  if (port == b || port == b + 1) return true;
  // The IBM part decodes only the low address lines of its CRTC: 0x3D0-0x3D7 (0x3B0-0x3B7)
  // are index at even and data at odd addresses.
  if (personality_->id == CardId::kIbmVga) {
    const std::uint16_t block = static_cast<std::uint16_t>(b & ~0x07);
    return port >= block && port < block + 8;
  }
  return false;
}

bool SimulatedCard::AtiPort(std::uint16_t port) const {
  return personality_->family == Family::kAti && port >= options_.atiIoBase &&
         port < options_.atiIoBase + 0x100;
}

std::uint8_t SimulatedCard::InputStatus1() {
  attr_data_next_ = false;  // every read resets the attribute flip-flop
  if (beam_dirty_) {
    const Signal s = EvaluateSignal(*this);
    beam_dirty_ = false;
    if (s.sync && s.hfreqHz > 0 && s.frameLines > 0) {
      beam_line_us_ = 1e6 / s.hfreqHz;
      beam_hdisp_us_ = beam_line_us_ * s.hdispChars / s.htotalChars;
      beam_lines_ = s.frameLines;
      beam_vdisp_ = s.vdispFrameLines;
      beam_vsync_start_ = s.vsyncStartLine;
      beam_vsync_lines_ = s.vsyncLines;
    } else {
      beam_lines_ = 0;
    }
  }
  if (beam_lines_ == 0) return 0x09;
  const double t = static_cast<double>(access_count_);
  const double lines = t / beam_line_us_;
  const auto line = static_cast<long long>(lines) % beam_lines_;
  const double inLine = (lines - std::floor(lines)) * beam_line_us_;
  std::uint8_t v = 0;
  if (line >= beam_vdisp_ || inLine >= beam_hdisp_us_) v |= 0x01;
  if (line >= beam_vsync_start_ && line < beam_vsync_start_ + beam_vsync_lines_) v |= 0x08;
  return v;
}

std::uint8_t SimulatedCard::Read8Raw(std::uint16_t port) {
  using enum Bank;
  const Family f = personality_->family;
  std::uint16_t crtc = 0;
  if (CrtcDecoded(port, &crtc)) {
    return (port & 1) ? ReadData(kCrtc, crtc_index_) : crtc_index_;
  }
  if (port == crtc + 6) return InputStatus1();
  switch (port) {
    case 0x3C0:
      return attr_index_;
    case 0x3C1:
      return Reg(kAttr, attr_index_ & 0x1F);
    case 0x3C2:
      return 0x10;  // input status 0: switch sense
    case 0x3C4:
      return seq_index_;
    case 0x3C5:
      return ReadData(kSeq, seq_index_);
    case 0x3C6:
      return dac_mask_;
    case 0x3CA:
      return feature_;
    case 0x3CC:
      return misc_;
    case 0x3CE:
      return gfx_index_;
    case 0x3CF:
      return ReadData(kGfx, gfx_index_);
    default:
      break;
  }
  if (f == Family::kTseng && port == 0x3CD) {
    if (personality_->id == CardId::kTsengEt4000 && !tseng_key_) return 0xFF;
    return tseng_segment_;
  }
  if (f == Family::kOak && (port == 0x3DE || port == 0x3DF)) {
    if (port == 0x3DF) return ReadData(kOak, oak_index_);
    // The OTI037 answers its chip code in bits 5-7 above a 5-bit index.
    if (personality_->id == CardId::kOakOti037) return oak_index_ & 0x1F;
    return oak_index_;
  }
  if (f == Family::kRealtek && (port == 0x3D6 || port == 0x3D7)) {
    return realtek_banks_[port - 0x3D6];
  }
  return 0xFF;  // nothing decodes this port
}

void SimulatedCard::Write8Raw(std::uint16_t port, std::uint8_t value) {
  using enum Bank;
  const Family f = personality_->family;
  std::uint16_t crtc = 0;
  if (CrtcDecoded(port, &crtc)) {
    if (port & 1) {
      WriteData(kCrtc, crtc_index_, value);
    } else {
      crtc_index_ = value;
    }
    return;
  }
  if (port == crtc + 6) {
    feature_ = value;
    return;
  }
  if (port == crtc + 4) {
    // Tseng key, second step: the CGA/MDA mode control port.
    if (f == Family::kTseng) {
      tseng_key_ = tseng_key_armed_ && value == 0xA0;
      tseng_key_armed_ = false;
    }
    return;
  }
  switch (port) {
    case 0x3C0:
      if (attr_data_next_) {
        const std::uint8_t i = attr_index_ & 0x1F;
        if (i <= 0x14) SetReg(kAttr, i, value);
      } else {
        attr_index_ = value & 0x3F;
      }
      attr_data_next_ = !attr_data_next_;
      return;
    case 0x3C2: {
      const bool clockChange = ((misc_ ^ value) & 0x0C) != 0;
      if (clockChange && (Reg(kSeq, 0x00) & 0x03) == 0x03) {
        Hazard("clock select changed at Misc Output while the sequencer runs");
      }
      misc_ = value;
      beam_dirty_ = true;
      return;
    }
    case 0x3C4:
      seq_index_ = value;
      return;
    case 0x3C5:
      WriteData(kSeq, seq_index_, value);
      return;
    case 0x3C6:
      dac_mask_ = value;
      return;
    case 0x3C7:
    case 0x3C8:
    case 0x3C9:
      return;  // palette access: not modelled
    case 0x3CE:
      gfx_index_ = value;
      return;
    case 0x3CF:
      WriteData(kGfx, gfx_index_, value);
      return;
    case 0x3BF:
      if (f == Family::kTseng) {
        tseng_key_armed_ = value == 0x03;
        if (value != 0x03) tseng_key_ = false;
      }
      if (f == Family::kUmc) port_3bf_ = value;
      return;
    default:
      break;
  }
  if (f == Family::kTseng && port == 0x3CD) {
    if (personality_->id == CardId::kTsengEt4000 && !tseng_key_) return;
    tseng_segment_ = value;
    return;
  }
  if (f == Family::kOak && port == 0x3DE) {
    oak_index_ = value;
    return;
  }
  if (f == Family::kOak && port == 0x3DF) {
    WriteData(kOak, oak_index_, value);
    beam_dirty_ = true;
    return;
  }
  if (f == Family::kRealtek && (port == 0x3D6 || port == 0x3D7)) {
    realtek_banks_[port - 0x3D6] = value & 0x07;
    return;
  }
  if (personality_->id == CardId::kTrident3d && (port == 0x43C8 || port == 0x43C9)) {
    // The clock word is written only while SR11 holds its key and new-mode SR0E bit 7 is set.
    if (Reg(kSeq, 0x11) != 0x92 || !Unlocked(Lock::kTridentExt)) return;
    if (port == 0x43C8) {
      trident_clock_word_ = static_cast<std::uint16_t>((trident_clock_word_ & 0xFF00) | value);
    } else {
      trident_clock_word_ = static_cast<std::uint16_t>((trident_clock_word_ & 0x00FF) | value << 8);
    }
    beam_dirty_ = true;
    return;
  }
  if (Between(port, 0x3B0, 0x3DF)) return;  // VGA range: a chip without this register
  Hazard("write to a port no video device decodes: " + Hex(port, 4));
}

std::uint32_t SimulatedCard::PciRead(std::uint16_t port, int width, bool* handled) {
  *handled = false;
  const int mech = options_.pciMechanism;
  auto configRead = [&](int slot, unsigned reg, int n) {
    std::uint32_t v = 0;
    for (int i = 0; i < n; ++i) {
      const unsigned r = reg + static_cast<unsigned>(i);
      auto it = pci_.find(slot);
      const std::uint8_t b = (it == pci_.end() || r > 0xFF) ? 0xFF : it->second[r];
      v |= static_cast<std::uint32_t>(b) << (8 * i);
    }
    return v;
  };
  if (mech == 1) {
    if (port == 0xCF8 && width == 4) {
      *handled = true;
      return pci_address_ & 0x80FFFFFC;
    }
    if (Between(port, 0xCFC, 0xCFF)) {
      *handled = true;
      if (!(pci_address_ & 0x80000000)) return 0xFFFFFFFF;
      const unsigned bus = (pci_address_ >> 16) & 0xFF;
      const unsigned dev = (pci_address_ >> 11) & 0x1F;
      const unsigned fn = (pci_address_ >> 8) & 0x07;
      if (bus > 15 || fn != 0) return 0xFFFFFFFF;
      return configRead(static_cast<int>(bus << 5 | dev), (pci_address_ & 0xFC) + (port - 0xCFCu),
                        width);
    }
  }
  if (mech == 2) {
    if (port == 0xCF8 && width == 1) {
      *handled = true;
      return pci_cse_;
    }
    if (port == 0xCFA && width == 1) {
      *handled = true;
      return pci_forward_;
    }
    if (Between(port, 0xC000, 0xCFFF) && (pci_cse_ & 0xF0)) {
      *handled = true;
      const unsigned fn = (pci_cse_ >> 1) & 0x07;
      if (pci_forward_ > 15 || fn != 0) return 0xFFFFFFFF;
      const unsigned dev = (port >> 8) & 0x0F;
      return configRead(static_cast<int>(pci_forward_ << 5 | dev), port & 0xFFu, width);
    }
  }
  return 0;
}

bool SimulatedCard::PciWrite(std::uint16_t port, int width, std::uint32_t value) {
  const int mech = options_.pciMechanism;
  if (mech == 1) {
    if (port == 0xCF8 && width == 4) {
      pci_address_ = value;
      return true;
    }
    if (Between(port, 0xCFC, 0xCFF)) return true;  // configuration writes: not modelled
  }
  if (mech == 2) {
    if (port == 0xCF8 && width == 1) {
      pci_cse_ = static_cast<std::uint8_t>(value);
      return true;
    }
    if (port == 0xCFA && width == 1) {
      pci_forward_ = static_cast<std::uint8_t>(value);
      return true;
    }
    if (Between(port, 0xC000, 0xCFFF) && (pci_cse_ & 0xF0)) return true;
  }
  if (mech != 0 && width < 4 && port <= 0xCF9 && port + width - 1 >= 0xCF9) {
    const auto b = static_cast<std::uint8_t>(value >> (8 * (0xCF9 - port)));
    if (b & 0x04) Hazard("write to the reset control register 0xCF9: the machine resets");
    return true;
  }
  if (mech != 0 && Between(port, 0xCF8, 0xCFF)) return true;  // narrow access: ignored
  // Without a PCI bus nothing decodes the configuration ports; the identification's own test
  // of the mechanisms writes them on every machine.
  if (mech == 0 && Between(port, 0xCF8, 0xCFF)) return true;
  return false;
}

void SimulatedCard::Hazard(const std::string& text) { hazards_.push_back(text); }

void SimulatedCard::Trace(bool write, int width, std::uint16_t port, std::uint32_t value) {
  ++access_count_;
  if (tracing_) trace_.push_back(PortAccess{write, width, port, value});
}

std::uint8_t SimulatedCard::ReadByte(std::uint16_t port) {
  if (AtiPort(port)) {
    const auto off = static_cast<std::uint8_t>(port - options_.atiIoBase);
    return off == 0x92 ? ati_pll_[(ati_block_[0x91] >> 2) & 0x1F] : ati_block_[off];
  }
  bool handled = false;
  const std::uint32_t p = PciRead(port, 1, &handled);
  if (handled) return static_cast<std::uint8_t>(p);
  return Read8Raw(port);
}

void SimulatedCard::WriteByte(std::uint16_t port, std::uint8_t value) {
  if (AtiPort(port)) {
    const auto off = static_cast<std::uint8_t>(port - options_.atiIoBase);
    beam_dirty_ = true;
    if (off >= 0xE4 && off <= 0xE7) return;  // configuration status: read-only
    if (off == 0x92) {
      if (!(ati_block_[0x91] & 0x02)) return;  // synthesiser write not enabled
      ati_pll_[(ati_block_[0x91] >> 2) & 0x1F] = value;
      const int sel = ati_block_[0x90] & 0x03;
      if (ati_pll_[0x07 + sel] == 0 && !(ati_pll_[0x05] & 0x04)) {
        Hazard("ATI clock synthesiser stopped: feedback divider 0 on the selected clock");
      }
      return;  // the data port is the synthesiser register itself
    }
    ati_block_[off] = value;
    return;
  }
  if (PciWrite(port, 1, value)) return;
  Write8Raw(port, value);
}

std::uint8_t SimulatedCard::PortRead8(std::uint16_t port) {
  const std::uint8_t v = ReadByte(port);
  Trace(false, 1, port, v);
  return v;
}

void SimulatedCard::PortWrite8(std::uint16_t port, std::uint8_t value) {
  Trace(true, 1, port, value);
  WriteByte(port, value);
}

// Wider accesses that no device takes whole are byte accesses at ascending ports, as the bus
// splits them.
std::uint16_t SimulatedCard::PortRead16(std::uint16_t port) {
  bool handled = false;
  std::uint32_t v = PciRead(port, 2, &handled);
  if (!handled) v = ReadByte(port) | ReadByte(static_cast<std::uint16_t>(port + 1)) << 8;
  Trace(false, 2, port, v);
  return static_cast<std::uint16_t>(v);
}

void SimulatedCard::PortWrite16(std::uint16_t port, std::uint16_t value) {
  Trace(true, 2, port, value);
  if (PciWrite(port, 2, value)) return;
  WriteByte(port, static_cast<std::uint8_t>(value));
  WriteByte(static_cast<std::uint16_t>(port + 1), static_cast<std::uint8_t>(value >> 8));
}

std::uint32_t SimulatedCard::PortRead32(std::uint16_t port) {
  bool handled = false;
  std::uint32_t v = PciRead(port, 4, &handled);
  if (!handled) {
    v = 0;
    for (int i = 0; i < 4; ++i) {
      v |= static_cast<std::uint32_t>(ReadByte(static_cast<std::uint16_t>(port + i))) << (8 * i);
    }
  }
  Trace(false, 4, port, v);
  return v;
}

void SimulatedCard::PortWrite32(std::uint16_t port, std::uint32_t value) {
  Trace(true, 4, port, value);
  if (PciWrite(port, 4, value)) return;
  for (int i = 0; i < 4; ++i) {
    WriteByte(static_cast<std::uint16_t>(port + i), static_cast<std::uint8_t>(value >> (8 * i)));
  }
}

}  // namespace cs::tvout
