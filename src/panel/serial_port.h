#pragma once
// The panel's serial line, receive only: 19200 baud, 8 data bits, no parity, 1 stop bit, no flow
// control, raw bytes. DTR is raised and RTS dropped where the device has modem lines; a device
// without them (a pseudo-terminal) is used all the same.
#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

namespace cs {

class SerialPort final {
 public:
  SerialPort() = default;
  ~SerialPort() { Close(); }
  SerialPort(const SerialPort&) = delete;
  SerialPort& operator=(const SerialPort&) = delete;

  // Opens and configures the device, discarding anything received before. False, with the
  // reason in *why, when it cannot be opened or is not a configurable serial device.
  bool Open(const std::filesystem::path& device, std::string* why);
  bool IsOpen() const { return fd_ >= 0; }
  int Fd() const { return fd_; }
  void Close();

  // Reads what is waiting, at most `size` bytes, never blocking. Returns the count (0 when nothing
  // waits), or -1 when the line is gone (hang-up, end of file, read error; *why says which).
  ssize_t ReadSome(std::uint8_t* buf, std::size_t size, std::string* why);

 private:
  int fd_ = -1;
};

}  // namespace cs
