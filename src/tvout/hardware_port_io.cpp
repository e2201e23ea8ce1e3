#include "tvout/hardware_port_io.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/log.h"

#if defined(__x86_64__) || defined(__i386__)
#include <sys/io.h>
#define COINSHELL_HAVE_PORT_IO 1
#else
#define COINSHELL_HAVE_PORT_IO 0
#endif

namespace cs::tvout {

namespace {

constexpr char kLog[] = "tvout";

#if COINSHELL_HAVE_PORT_IO
inline std::uint8_t In8(std::uint16_t port) {
  std::uint8_t v;
  __asm__ volatile("inb %1, %0" : "=a"(v) : "Nd"(port));
  return v;
}
inline std::uint16_t In16(std::uint16_t port) {
  std::uint16_t v;
  __asm__ volatile("inw %1, %0" : "=a"(v) : "Nd"(port));
  return v;
}
inline std::uint32_t In32(std::uint16_t port) {
  std::uint32_t v;
  __asm__ volatile("inl %1, %0" : "=a"(v) : "Nd"(port));
  return v;
}
inline void Out8(std::uint16_t port, std::uint8_t v) {
  __asm__ volatile("outb %0, %1" : : "a"(v), "Nd"(port));
}
inline void Out16(std::uint16_t port, std::uint16_t v) {
  __asm__ volatile("outw %0, %1" : : "a"(v), "Nd"(port));
}
inline void Out32(std::uint16_t port, std::uint32_t v) {
  __asm__ volatile("outl %0, %1" : : "a"(v), "Nd"(port));
}
#endif

std::string Hex(unsigned v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%X", v);
  return buf;
}

}  // namespace

HardwareSystem HardwareSystem::Real() {
  HardwareSystem s;
#if COINSHELL_HAVE_PORT_IO
  s.iopl = [](int level) { return ::iopl(level); };
#else
  s.iopl = [](int) {
    errno = ENOSYS;
    return -1;
  };
#endif
  s.open = [](const char* path, int flags) { return ::open(path, flags); };
  s.pread = [](int fd, void* buf, size_t count, off_t offset) {
    return ::pread(fd, buf, count, offset);
  };
  s.close = [](int fd) { return ::close(fd); };
  return s;
}

bool IsVideoPort(std::uint16_t port, int width, bool write) {
  const unsigned first = port;
  const unsigned last = first + static_cast<unsigned>(width) - 1;
  if (last > 0xFFFF) return false;
  // VGA (mono and colour ranges, Hercules/Tseng 0x3BF, Oak 0x3DE/0x3DF).
  if (first >= 0x3B0 && last <= 0x3DF) return true;
  // PCI configuration mechanism 1 and 2. A narrow write touching 0xCF9 would reach the reset
  // control register of many chipsets; the dword address write at 0xCF8 does not.
  if (first >= 0xCF8 && last <= 0xCFF) {
    if (width == 4) return first == 0xCF8 || first == 0xCFC;
    const bool touchesCf9 = first <= 0xCF9 && last >= 0xCF9;
    return !(write && touchesCf9);
  }
  // PCI I/O space: adapter blocks (ATI), the mechanism-2 window 0xC000-0xCFFF, Trident 0x43C8.
  return first >= 0x1000;
}

bool IsVideoBiosAddress(std::uint32_t address) { return address >= 0xA0000 && address <= 0xFFFFC; }

HardwarePortIo::HardwarePortIo(HardwareSystem system) : system_(std::move(system)) {}

HardwarePortIo::~HardwarePortIo() { ShutdownWinIo(); }

bool HardwarePortIo::InitializeWinIo() {
  if (io_granted_) return true;
#if !COINSHELL_HAVE_PORT_IO
  LogDiag(kLog, "port access: not an x86 machine");
  return false;
#else
  if (system_.iopl(3) != 0) {
    const int err = errno;
    LogDiag(kLog, std::string("port access refused (iopl: ") + std::strerror(err) +
                      "); the TV-out engine needs root on the cabinet PC");
    return false;
  }
  io_granted_ = true;
  not_started_logged_ = false;
  mem_fd_ = system_.open("/dev/mem", O_RDONLY | O_CLOEXEC);
  if (mem_fd_ < 0) {
    const int err = errno;
    LogDiag(kLog, std::string("/dev/mem: ") + std::strerror(err) + "; video BIOS reads will fail");
  }
  return true;
#endif
}

void HardwarePortIo::ShutdownWinIo() {
  if (mem_fd_ >= 0) {
    system_.close(mem_fd_);
    mem_fd_ = -1;
  }
  if (io_granted_) {
    system_.iopl(0);
    io_granted_ = false;
  }
}

bool HardwarePortIo::GetPhysLong(std::uint32_t address, std::uint32_t* value) {
  *value = 0xFFFFFFFF;
  if (!IsVideoBiosAddress(address)) {
    LogDiag(kLog, "physical read outside the video BIOS area refused: " + Hex(address));
    return false;
  }
  if (mem_fd_ < 0) return false;
  unsigned char bytes[4];
  const ssize_t n = system_.pread(mem_fd_, bytes, sizeof bytes, static_cast<off_t>(address));
  if (n != static_cast<ssize_t>(sizeof bytes)) {
    LogDiag(kLog, "physical read failed at " + Hex(address));
    return false;
  }
  *value = static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
           static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
  return true;
}

bool HardwarePortIo::Allowed(std::uint16_t port, int width, bool write) {
  if (!io_granted_) {
    if (!not_started_logged_) {
      LogDiag(kLog, "port access before InitializeWinIo (or after ShutdownWinIo) ignored");
      not_started_logged_ = true;
    }
    return false;
  }
  if (!IsVideoPort(port, width, write)) {
    if (refused_logged_.insert(port).second) {
      LogDiag(kLog, "access to a non-video port refused: " + Hex(port));
    }
    return false;
  }
  return true;
}

#if COINSHELL_HAVE_PORT_IO
std::uint8_t HardwarePortIo::PortRead8(std::uint16_t port) {
  return Allowed(port, 1, false) ? In8(port) : 0xFF;
}
void HardwarePortIo::PortWrite8(std::uint16_t port, std::uint8_t value) {
  if (Allowed(port, 1, true)) Out8(port, value);
}
std::uint16_t HardwarePortIo::PortRead16(std::uint16_t port) {
  return Allowed(port, 2, false) ? In16(port) : 0xFFFF;
}
void HardwarePortIo::PortWrite16(std::uint16_t port, std::uint16_t value) {
  if (Allowed(port, 2, true)) Out16(port, value);
}
std::uint32_t HardwarePortIo::PortRead32(std::uint16_t port) {
  return Allowed(port, 4, false) ? In32(port) : 0xFFFFFFFF;
}
void HardwarePortIo::PortWrite32(std::uint16_t port, std::uint32_t value) {
  if (Allowed(port, 4, true)) Out32(port, value);
}
#else
std::uint8_t HardwarePortIo::PortRead8(std::uint16_t) { return 0xFF; }
void HardwarePortIo::PortWrite8(std::uint16_t, std::uint8_t) {}
std::uint16_t HardwarePortIo::PortRead16(std::uint16_t) { return 0xFFFF; }
void HardwarePortIo::PortWrite16(std::uint16_t, std::uint16_t) {}
std::uint32_t HardwarePortIo::PortRead32(std::uint16_t) { return 0xFFFFFFFF; }
void HardwarePortIo::PortWrite32(std::uint16_t, std::uint32_t) {}
#endif

}  // namespace cs::tvout
