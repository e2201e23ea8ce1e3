#pragma once
// The reader's handle on the emulator's MAMEKEY mailslot (`KeyHandle`). Opened when a mask is to
// be sent, kept open while writes succeed, so a frame costs at most one 4-byte write; closed after
// a write that was skipped (no game running) or failed, so that the next mask opens it afresh. A
// mask lost this way is not repeated.
#include <cstdint>
#include <filesystem>

#include "platform/mailslot.h"

namespace cs {

class KeyMaskWriter final {
 public:
  explicit KeyMaskWriter(std::filesystem::path slot) : slot_(std::move(slot)) {}

  // Sends one mask (4 bytes, least significant first) if a game is running. True when written.
  bool Send(std::uint32_t mask, bool emulatorRunning);
  bool HandleOpen() const { return KeyHandle.IsOpen(); }

 private:
  std::filesystem::path slot_;
  MailslotClient KeyHandle;
  bool failing_ = false;  // one log line per run of failed writes
};

}  // namespace cs
