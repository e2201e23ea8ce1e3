#include "panel/serial_port.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace cs {

bool SerialPort::Open(const std::filesystem::path& device, std::string* why) {
  Close();
  // Non-blocking: the open must not wait for a carrier, and reads are driven by poll().
  // Read only: the reader never transmits.
  const int fd = ::open(device.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    *why = std::string("cannot open: ") + std::strerror(errno);
    return false;
  }
  termios t;
  if (::tcgetattr(fd, &t) != 0) {
    *why = std::string("not a serial device: ") + std::strerror(errno);
    ::close(fd);
    return false;
  }
  ::cfmakeraw(&t);
  t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS);
  t.c_cflag |= CS8 | CREAD | CLOCAL | HUPCL;  // HUPCL: DTR drops when the port closes
  t.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY | INPCK | ISTRIP | INLCR | ICRNL);
  // A break or a byte with a framing error is dropped, not read as a 0x00 data byte (which would
  // read as eight switches pressed).
  t.c_iflag |= IGNBRK | IGNPAR;
  t.c_cc[VMIN] = 1;
  t.c_cc[VTIME] = 0;
  if (::cfsetispeed(&t, B19200) != 0 || ::cfsetospeed(&t, B19200) != 0 ||
      ::tcsetattr(fd, TCSANOW, &t) != 0) {
    *why = std::string("cannot be configured: ") + std::strerror(errno);
    ::close(fd);
    return false;
  }
  // tcsetattr succeeds when any part applied: check the parts that matter.
  termios got;
  if (::tcgetattr(fd, &got) != 0 || ::cfgetispeed(&got) != B19200 || (got.c_cflag & CSIZE) != CS8 ||
      (got.c_cflag & PARENB) != 0 || (got.c_lflag & ICANON) != 0) {
    *why = "cannot be configured for 19200 8N1 raw";
    ::close(fd);
    return false;
  }
  // Modem lines, best effort: a pseudo-terminal has none (ENOTTY).
  int dtr = TIOCM_DTR, rts = TIOCM_RTS;
  (void)::ioctl(fd, TIOCMBIS, &dtr);
  (void)::ioctl(fd, TIOCMBIC, &rts);
  ::tcflush(fd, TCIFLUSH);
  fd_ = fd;
  return true;
}

void SerialPort::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

ssize_t SerialPort::ReadSome(std::uint8_t* buf, std::size_t size, std::string* why) {
  if (fd_ < 0) {
    *why = "port not open";
    return -1;
  }
  if (size == 0) return 0;
  for (;;) {
    const ssize_t n = ::read(fd_, buf, size);
    if (n > 0) return n;
    if (n == 0) {
      *why = "the line hung up";
      return -1;
    }
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK) return 0;
    *why = std::string("read error: ") + std::strerror(errno);
    return -1;
  }
}

}  // namespace cs
