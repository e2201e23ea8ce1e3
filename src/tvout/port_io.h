#pragma once
// Port I/O access of the TV-out engine.
//
// Every register access of the engine is one port read or write. PortIo is the seam: the
// hardware backend (hardware_port_io.h) executes real x86 port instructions, the simulated card
// (simulated_card.h) answers them from a register-level model of a VGA controller. The indexed
// helpers below are the access patterns the engine is written against: index write then data
// access on the neighbouring port, read-modify-write straight on the data port.
//
// Main (user-interface) thread only. An index write and the data access that follows form one
// unit; nothing else may touch the same index register in between.
#include <cstdint>

namespace cs::tvout {

// Standard VGA ports.
inline constexpr std::uint16_t kAttrIndexPort = 0x3C0;  // attribute index/data (flip-flop)
inline constexpr std::uint16_t kAttrDataRead = 0x3C1;
inline constexpr std::uint16_t kMiscWrite = 0x3C2;
inline constexpr std::uint16_t kSeqIndex = 0x3C4;
inline constexpr std::uint16_t kMiscRead = 0x3CC;
inline constexpr std::uint16_t kGfxIndex = 0x3CE;
inline constexpr std::uint16_t kCrtcColour = 0x3D4;
inline constexpr std::uint16_t kCrtcMono = 0x3B4;
inline constexpr std::uint16_t kOakIndex = 0x3DE;

class PortIo {
 public:
  virtual ~PortIo() = default;

  // Grants port access; false when it cannot be had (the window then refuses to start).
  virtual bool InitializeWinIo() = 0;
  // Gives the access up again. Harmless when it was never granted.
  virtual void ShutdownWinIo() = 0;
  // Stores the 32-bit little-endian value found at a physical address (the video BIOS lives at
  // 0xC0000). Returns false, storing 0xFFFFFFFF, when the address cannot be read.
  virtual bool GetPhysLong(std::uint32_t address, std::uint32_t* value) = 0;

  virtual std::uint8_t PortRead8(std::uint16_t port) = 0;
  virtual void PortWrite8(std::uint16_t port, std::uint8_t value) = 0;
  virtual std::uint16_t PortRead16(std::uint16_t port) = 0;
  // On an index port: the low byte is the index, the high byte the data, in one access.
  virtual void PortWrite16(std::uint16_t port, std::uint16_t value) = 0;
  virtual std::uint32_t PortRead32(std::uint16_t port) = 0;
  virtual void PortWrite32(std::uint16_t port, std::uint32_t value) = 0;

  // Index write, then a read of index port + 1. The index stays selected.
  std::uint8_t ReadIndexed(std::uint16_t indexPort, std::uint8_t index);
  // Index write, then a write of index port + 1.
  void WriteIndexed(std::uint16_t indexPort, std::uint8_t index, std::uint8_t value);
  // Read-modify-write: ReadIndexed, then (old & keep) | set written straight to the data port.
  // Returns the value written.
  std::uint8_t ModifyIndexed(std::uint16_t indexPort, std::uint8_t index, std::uint8_t keep,
                             std::uint8_t set);
  std::uint8_t SetIndexedBits(std::uint16_t indexPort, std::uint8_t index, std::uint8_t bits) {
    return ModifyIndexed(indexPort, index, 0xFF, bits);
  }
  std::uint8_t ClearIndexedBits(std::uint16_t indexPort, std::uint8_t index, std::uint8_t bits) {
    return ModifyIndexed(indexPort, index, static_cast<std::uint8_t>(~bits), 0);
  }
  // new = (old & ~mask) | (value & mask), written back to the same register.
  void MaskedIndexedWrite(std::uint16_t indexPort, std::uint8_t index, std::uint8_t mask,
                          std::uint8_t value);
  // Whether every bit of mask can be written both ways; the register is left as found.
  bool TestIndexedBits(std::uint16_t indexPort, std::uint8_t index, std::uint8_t mask);
  // The same on a plain port (no index).
  bool TestPortBits(std::uint16_t port, std::uint8_t mask);

  // The CRTC index port: 0x3D4, or 0x3B4 when Misc Output bit 0 reads 0.
  std::uint16_t CrtcPort = kCrtcColour;
  // Sets CrtcPort from Misc Output (read at 0x3CC).
  void UpdateCrtcPort();
  std::uint8_t ReadCrtc(std::uint8_t index) { return ReadIndexed(CrtcPort, index); }
  void WriteCrtc(std::uint8_t index, std::uint8_t value) { WriteIndexed(CrtcPort, index, value); }
  std::uint8_t ModifyCrtc(std::uint8_t index, std::uint8_t keep, std::uint8_t set) {
    return ModifyIndexed(CrtcPort, index, keep, set);
  }
};

}  // namespace cs::tvout
