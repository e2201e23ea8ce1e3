#include "tvout/port_io.h"

namespace cs::tvout {

std::uint8_t PortIo::ReadIndexed(std::uint16_t indexPort, std::uint8_t index) {
  PortWrite8(indexPort, index);
  return PortRead8(static_cast<std::uint16_t>(indexPort + 1));
}

void PortIo::WriteIndexed(std::uint16_t indexPort, std::uint8_t index, std::uint8_t value) {
  PortWrite8(indexPort, index);
  PortWrite8(static_cast<std::uint16_t>(indexPort + 1), value);
}

std::uint8_t PortIo::ModifyIndexed(std::uint16_t indexPort, std::uint8_t index, std::uint8_t keep,
                                   std::uint8_t set) {
  const std::uint8_t old = ReadIndexed(indexPort, index);
  const auto value = static_cast<std::uint8_t>((old & keep) | set);
  PortWrite8(static_cast<std::uint16_t>(indexPort + 1), value);
  return value;
}

void PortIo::MaskedIndexedWrite(std::uint16_t indexPort, std::uint8_t index, std::uint8_t mask,
                                std::uint8_t value) {
  ModifyIndexed(indexPort, index, static_cast<std::uint8_t>(~mask),
                static_cast<std::uint8_t>(value & mask));
}

bool PortIo::TestIndexedBits(std::uint16_t indexPort, std::uint8_t index, std::uint8_t mask) {
  const auto data = static_cast<std::uint16_t>(indexPort + 1);
  const std::uint8_t old = ReadIndexed(indexPort, index);
  PortWrite8(data, static_cast<std::uint8_t>(old & ~mask));
  const std::uint8_t r1 = PortRead8(data) & mask;
  PortWrite8(data, static_cast<std::uint8_t>(old | mask));
  const std::uint8_t r2 = PortRead8(data) & mask;
  PortWrite8(data, old);
  return r1 == 0 && r2 == mask;
}

bool PortIo::TestPortBits(std::uint16_t port, std::uint8_t mask) {
  const std::uint8_t old = PortRead8(port);
  PortWrite8(port, static_cast<std::uint8_t>(old & ~mask));
  const std::uint8_t r1 = PortRead8(port) & mask;
  PortWrite8(port, static_cast<std::uint8_t>(old | mask));
  const std::uint8_t r2 = PortRead8(port) & mask;
  PortWrite8(port, old);
  return r1 == 0 && r2 == mask;
}

void PortIo::UpdateCrtcPort() {
  CrtcPort = (PortRead8(kMiscRead) & 0x01) ? kCrtcColour : kCrtcMono;
}

}  // namespace cs::tvout
