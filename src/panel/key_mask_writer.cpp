#include "panel/key_mask_writer.h"

#include <cstring>
#include <string>

#include "platform/log.h"

namespace cs {

bool KeyMaskWriter::Send(std::uint32_t mask, bool emulatorRunning) {
  if (!KeyHandle.IsOpen()) KeyHandle.Open(slot_);
  std::size_t written = 0;
  if (emulatorRunning && KeyHandle.IsOpen()) {
    const std::uint8_t record[4] = {
        static_cast<std::uint8_t>(mask), static_cast<std::uint8_t>(mask >> 8),
        static_cast<std::uint8_t>(mask >> 16), static_cast<std::uint8_t>(mask >> 24)};
    written = KeyHandle.Write(record, sizeof record);
  }
  if (written == 4) {
    failing_ = false;
    return true;
  }
  if (emulatorRunning && !failing_) {
    LogDiag("panel", "key mask not delivered to " + slot_.string() + ": " +
                         std::strerror(KeyHandle.LastError()));
  }
  failing_ = emulatorRunning;
  KeyHandle.Close();
  return false;
}

}  // namespace cs
