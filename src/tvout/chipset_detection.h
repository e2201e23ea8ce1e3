#pragma once
// Chipset identification on the port level: the PCI bus scan for ATI, Intel and SiS display
// controllers (configuration mechanism 1 or 2, or none), the eight register probes for the older
// ISA/VL chips, and the search for the card of a selected brand (FindPciCard). The window's two
// lists and the "Ne&xt" button are chipset_selection.h.
//
// Every probe leaves the chip's registers as it found them, apart from the write-only unlock
// ports the design leaves open (the UMC 0x3BF unlock after a find, the Tseng key): the sequencer
// index (kept and written back around the whole detection), SR0B, SR0E, SR06, the S3 register
// lock CR38, GR0F, the bits the bit tests try, and the mechanism-2 configuration window, which
// is closed again after a scan.
//
// Main thread only; must not run while the timing engine or another program programs the same
// controller.
#include <cstdint>

#include "tvout/port_io.h"
#include "tvout/video_engine.h"

namespace cs::tvout {

class ChipsetDetection {
 public:
  // Results go to `settings` (Chipset, Model, IOBase); CrtcPort is the one of `io`.
  ChipsetDetection(PortIo& io, EngineSettings& settings) : io_(io), settings_(settings) {}

  // 0: not determined or none; 1 or 2: the configuration mechanism. Determined once per run.
  std::uint8_t PciMechanism = 0;
  // The next scan looks at slots PciScanPos - 1 down to 0 (slot s: bus s >> 5, device s & 31).
  std::int32_t PciScanPos = 512;

  // 512 slots with mechanism 1 (buses 0-15), 16 otherwise (bus 0, the mechanism-2 window).
  int SlotCount() const { return PciMechanism == 1 ? 512 : 16; }
  void ResetScanPos() { PciScanPos = SlotCount(); }

  void DetectPciMechanism();
  // From PciScanPos - 1 down to 0, to the end: every present slot becomes PciScanPos and is
  // checked, so the settings end with the recognised device in the lowest slot.
  void ScanPciBus();
  // The device at PciScanPos: a VGA-compatible display controller of Intel, SiS or ATI sets
  // Chipset and Model (and for ATI IOBase, BAR 1 with bits 0-7 cleared).
  void CheckPciDevice();
  // Register `reg` (dword) of a slot through the active mechanism (mechanism 2's window must be
  // open, as ScanPciBus has it).
  std::uint32_t PciRead(int slot, std::uint8_t reg);

  // The register probes in order (Oak, Trident, Cirrus, S3, UMC, Western Digital, Tseng,
  // Realtek); the first that succeeds sets Chipset and Model. False when none did.
  bool ProbeRegisters();

  // The whole detection: Chipset 1 and Model 0, CrtcPort, the mechanism when still unknown, a
  // scan from the top, and the probes when the scan recognised nothing. The sequencer index is
  // kept and written back.
  void Detect();

  // Searches the bus for the selected brand (Chipset) and model (Model, 0 for any): IOBase
  // is 0 afterwards when it was not found. PciScanPos is kept.
  void FindPciCard();

 private:
  void Set(std::uint8_t chipset, std::uint16_t model) {
    settings_.Chipset = chipset;
    settings_.Model = model;
  }

  PortIo& io_;
  EngineSettings& settings_;
};

}  // namespace cs::tvout
