#pragma once
// The hardware backend of PortIo: x86 port instructions after iopl(3), physical memory through
// /dev/mem. Root only. It exists for a cabinet PC that owns its VGA card; on an ordinary Linux
// machine the kernel's own display driver uses the card, and this backend must not be started
// there (it would race the kernel's device access).
//
// Safety rails a real machine needs and the design leaves open:
//   - no port instruction is executed before InitializeWinIo succeeded or after ShutdownWinIo:
//     reads then give what an empty bus gives (all ones) and writes are dropped;
//   - only video and PCI configuration ports are reached (IsVideoPort): a stray port number
//     (for example an ATI block base of 0, or 0xCF9, the reset control of many chipsets) is
//     refused with a log line instead of reaching the interrupt controller or the reset logic;
//   - physical reads are limited to the legacy video and BIOS area below 1 MiB.
#include <sys/types.h>

#include <functional>
#include <set>

#include "tvout/port_io.h"

namespace cs::tvout {

// The system calls the backend uses, replaceable so that tests exercise the failure paths
// without privileges (and without ever touching real hardware).
struct HardwareSystem {
  std::function<int(int level)> iopl;
  std::function<int(const char* path, int flags)> open;
  std::function<ssize_t(int fd, void* buf, size_t count, off_t offset)> pread;
  std::function<int(int fd)> close;

  // The real calls (iopl fails with ENOSYS off x86).
  static HardwareSystem Real();
};

// Whether a port access of `width` bytes may reach the hardware.
bool IsVideoPort(std::uint16_t port, int width, bool write);
// Whether a physical dword read at `address` stays in the legacy video/BIOS area.
bool IsVideoBiosAddress(std::uint32_t address);

class HardwarePortIo final : public PortIo {
 public:
  explicit HardwarePortIo(HardwareSystem system = HardwareSystem::Real());
  ~HardwarePortIo() override;
  HardwarePortIo(const HardwarePortIo&) = delete;
  HardwarePortIo& operator=(const HardwarePortIo&) = delete;

  bool InitializeWinIo() override;
  void ShutdownWinIo() override;
  bool GetPhysLong(std::uint32_t address, std::uint32_t* value) override;

  std::uint8_t PortRead8(std::uint16_t port) override;
  void PortWrite8(std::uint16_t port, std::uint8_t value) override;
  std::uint16_t PortRead16(std::uint16_t port) override;
  void PortWrite16(std::uint16_t port, std::uint16_t value) override;
  std::uint32_t PortRead32(std::uint16_t port) override;
  void PortWrite32(std::uint16_t port, std::uint32_t value) override;

  bool initialized() const { return io_granted_; }

 private:
  bool Allowed(std::uint16_t port, int width, bool write);

  HardwareSystem system_;
  bool io_granted_ = false;
  int mem_fd_ = -1;
  std::set<std::uint16_t> refused_logged_;
  bool not_started_logged_ = false;
};

}  // namespace cs::tvout
