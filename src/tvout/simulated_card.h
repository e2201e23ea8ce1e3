#pragma once
// A register-level model of a VGA card, answering port I/O as the card would: Misc Output,
// input status, sequencer, CRTC with its write protection, graphics controller, attribute
// controller with its flip-flop, the DAC mask, the chipset's extended registers and locks (by
// personality, card_personality.h), the ATI block registers and clock synthesiser, the Trident
// clock word, PCI configuration space behind mechanism 1 or 2, and physical memory holding the
// video BIOS. It is the stand-in for a card where no real one can run: the engine is checked by
// the signal the model says it would put out (signal_evaluator.h).
//
// The model also keeps a list of hazards: accesses that would hurt a real card or machine
// (an asynchronous sequencer reset that loses video memory, a clock change while the sequencer
// runs, a write to a port that belongs to the motherboard, a clock synthesiser stopped).
#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "tvout/card_personality.h"
#include "tvout/port_io.h"

namespace cs::tvout {

struct PciFunction {
  std::uint16_t vendor = 0xFFFF;
  std::uint16_t device = 0xFFFF;
  std::uint32_t classRevision = 0;  // register 0x08: class code << 8 | revision
  std::uint32_t bar0 = 0;
  std::uint32_t bar1 = 0;
};

struct CardOptions {
  int pciMechanism = 1;              // 0: no PCI bus, 1 or 2: the configuration mechanism
  int cardSlot = 9;                  // PCI slot (bus << 5 | device) of a PCI card
  std::uint16_t atiIoBase = 0xD800;  // I/O base the ATI card's BAR 1 holds (0xD801)
  // Registers defined after the personality's own: a variant of the chip (a bit stuck that the
  // personality has writable, a register it lacks).
  std::vector<ExtReg> overrides;
};

// The PCI configuration of a personality's card (vendor, device, VGA class, BARs; BAR 1 of an
// ATI card holds `atiIoBase` | 1), for a second card on the bus. Only for PCI personalities.
PciFunction PciFunctionFor(CardId id, std::uint16_t atiIoBase = 0xD800);

// One port access, as traced for tests and the benchmark.
struct PortAccess {
  bool write;
  int width;  // 1, 2 or 4
  std::uint16_t port;
  std::uint32_t value;
};

class SimulatedCard final : public PortIo {
 public:
  explicit SimulatedCard(CardId id, CardOptions options = {});

  const Personality& personality() const { return *personality_; }
  const CardOptions& options() const { return options_; }

  // PortIo. InitializeWinIo always succeeds; physical reads outside the video BIOS image give
  // what an empty bus gives (all ones) and still report success, as a real read would.
  bool InitializeWinIo() override { return true; }
  void ShutdownWinIo() override {}
  bool GetPhysLong(std::uint32_t address, std::uint32_t* value) override;
  std::uint8_t PortRead8(std::uint16_t port) override;
  void PortWrite8(std::uint16_t port, std::uint8_t value) override;
  std::uint16_t PortRead16(std::uint16_t port) override;
  void PortWrite16(std::uint16_t port, std::uint16_t value) override;
  std::uint32_t PortRead32(std::uint16_t port) override;
  void PortWrite32(std::uint16_t port, std::uint32_t value) override;

  // Direct register access for the display driver, the evaluator and tests: no port traffic,
  // no locks, no protection; bits that are not writable keep their fixed value. Banked Trident
  // registers are reached through TridentOld(). Returns 0 (and ignores writes) for a register
  // the chip does not have.
  bool Has(Bank bank, std::uint8_t index) const;
  std::uint8_t Reg(Bank bank, std::uint8_t index) const;
  void SetReg(Bank bank, std::uint8_t index, std::uint8_t value);
  std::uint8_t Misc() const { return misc_; }
  void SetMisc(std::uint8_t value) { misc_ = value; }
  std::uint8_t TridentOld(std::uint8_t index) const;  // old-mode SR0D or SR0E
  void SetTridentOld(std::uint8_t index, std::uint8_t value);
  std::uint16_t TridentClockWord() const { return trident_clock_word_; }
  void SetTridentClockWord(std::uint16_t word) { trident_clock_word_ = word; }

  // ATI block registers at the I/O base (offset 0-0xFF) and synthesiser registers (0-31).
  std::uint32_t AtiBlock32(std::uint8_t offset) const;
  void SetAtiBlock32(std::uint8_t offset, std::uint32_t value);
  std::uint8_t AtiBlock8(std::uint8_t offset) const { return ati_block_[offset]; }
  void SetAtiBlock8(std::uint8_t offset, std::uint8_t value) { ati_block_[offset] = value; }
  std::uint8_t AtiPll(std::uint8_t index) const { return ati_pll_[index & 0x1F]; }
  void SetAtiPll(std::uint8_t index, std::uint8_t value) { ati_pll_[index & 0x1F] = value; }
  std::uint16_t AtiIoBase() const { return options_.atiIoBase; }

  // PCI configuration space: the host bridge at slot 0 and, for a PCI card, the card itself.
  void AddPciFunction(int slot, const PciFunction& function);
  std::uint32_t PciConfig32(int slot, std::uint8_t reg) const;

  // Physical memory: the video BIOS image at 0xC0000 (a writable copy for tests).
  void WritePhysical(std::uint32_t address, const std::vector<std::uint8_t>& bytes);

  // Observation.
  void SetTracing(bool on) { tracing_ = on; }
  const std::vector<PortAccess>& trace() const { return trace_; }
  void ClearTrace() { trace_.clear(); }
  std::uint64_t accessCount() const { return access_count_; }
  const std::vector<std::string>& hazards() const { return hazards_; }
  void ClearHazards() { hazards_.clear(); }
  bool Unlocked(Lock lock) const;

 private:
  struct Slot {
    bool exists = false;
    std::uint8_t value = 0;
    std::uint8_t fixed = 0;  // the value of the bits that are not writable
    std::uint8_t writable = 0;
    Lock lock = Lock::kNone;
  };
  using File = std::array<Slot, 256>;

  File& FileOf(Bank bank) { return files_[static_cast<int>(bank)]; }
  const File& FileOf(Bank bank) const { return files_[static_cast<int>(bank)]; }
  void Define(Bank bank, std::uint8_t index, std::uint8_t reset, std::uint8_t writable,
              Lock lock = Lock::kNone);
  void InitStandard();
  void InitBios();
  void InitPci();
  void InitAti();

  // Index/data behaviour of each bank, including every chip-specific special case.
  std::uint8_t ReadData(Bank bank, std::uint8_t index);
  void WriteData(Bank bank, std::uint8_t index, std::uint8_t value);
  void StoreChecked(Bank bank, std::uint8_t index, std::uint8_t value);

  bool CrtcDecoded(std::uint16_t port, std::uint16_t* base) const;
  std::uint8_t InputStatus1();
  std::uint8_t ReadByte(std::uint16_t port);
  void WriteByte(std::uint16_t port, std::uint8_t value);
  std::uint8_t Read8Raw(std::uint16_t port);
  void Write8Raw(std::uint16_t port, std::uint8_t value);
  bool AtiPort(std::uint16_t port) const;
  std::uint32_t PciRead(std::uint16_t port, int width, bool* handled);
  bool PciWrite(std::uint16_t port, int width, std::uint32_t value);
  void Hazard(const std::string& text);
  void Trace(bool write, int width, std::uint16_t port, std::uint32_t value);

  const Personality* personality_;
  CardOptions options_;
  std::array<File, 5> files_{};

  std::uint8_t misc_ = 0x63;
  std::uint8_t feature_ = 0;
  std::uint8_t seq_index_ = 0;
  std::uint8_t crtc_index_ = 0;
  std::uint8_t gfx_index_ = 0;
  std::uint8_t attr_index_ = 0x20;
  bool attr_data_next_ = false;  // the attribute flip-flop
  std::uint8_t oak_index_ = 0;
  std::uint8_t dac_mask_ = 0xFF;

  // Chip state outside the register files.
  bool trident_new_mode_ = true;
  std::uint8_t trident_old_sr0d_ = 0;
  std::uint8_t trident_old_sr0e_ = 0;
  std::uint16_t trident_clock_word_ = 0;
  bool cirrus_unlocked_ = false;
  bool sis_unlocked_ = false;
  std::uint8_t port_3bf_ = 0;
  bool tseng_key_ = false;
  bool tseng_key_armed_ = false;
  std::uint8_t tseng_segment_ = 0;
  std::array<std::uint8_t, 2> realtek_banks_{};

  std::array<std::uint8_t, 256> ati_block_{};
  std::array<std::uint8_t, 32> ati_pll_{};

  std::map<int, std::array<std::uint8_t, 256>> pci_;
  std::uint32_t pci_address_ = 0;  // mechanism 1 CONFIG_ADDRESS
  std::uint8_t pci_cse_ = 0;       // mechanism 2 configuration space enable
  std::uint8_t pci_forward_ = 0;   // mechanism 2 forward (bus) register

  std::vector<std::uint8_t> bios_;  // at 0xC0000

  // Beam position for input status 1, from the evaluated signal; one port access takes 1 us.
  bool beam_dirty_ = true;
  double beam_line_us_ = 0;
  double beam_hdisp_us_ = 0;
  int beam_lines_ = 0;
  int beam_vdisp_ = 0;
  int beam_vsync_start_ = 0;
  int beam_vsync_lines_ = 0;

  bool tracing_ = false;
  std::vector<PortAccess> trace_;
  std::uint64_t access_count_ = 0;
  std::vector<std::string> hazards_;
};

}  // namespace cs::tvout
