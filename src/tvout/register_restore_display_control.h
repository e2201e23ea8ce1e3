#pragma once
// The display-mode reset on real hardware, where no display driver re-establishes its mode on
// request: before the first TV apply the registers the engine may change are read and kept;
// a reset writes them back (clocks under a synchronous sequencer reset, the CRTC with its write
// protection lifted, the chip's locks closed again last) and forgets them, so that the next
// apply saves afresh.
//
// Not restorable: write-only state. The Trident 3D clock word cannot be read back (a reset of a
// hi-colour mode leaves the TV clock in place and says so in the log); the Tseng key and the
// UMC unlock port are left closed.
#include <cstdint>
#include <vector>

#include "tvout/display_control.h"
#include "tvout/port_io.h"
#include "tvout/video_engine.h"

namespace cs::tvout {

class RegisterRestoreDisplayControl final : public DisplayControl {
 public:
  // `settings` are the engine's (chipset, model, I/O base), read at every save and restore.
  RegisterRestoreDisplayControl(PortIo& io, const EngineSettings& settings)
      : io_(io), settings_(settings) {}

  void BeforeTvApply() override;
  // Writes the saved registers back; true also when nothing was saved (the mode is untouched).
  bool ResetDisplayMode() override;
  bool saved() const { return saved_; }

 private:
  enum class Where : std::uint8_t {
    kSeq,
    kCrtc,
    kGfx,
    kAttr,
    kOak,
    kTridentNewSeq,  // new-mode SR0D/SR0E of the banked Trident chips
    kTridentOldSeq,  // old-mode SR0D/SR0E
    kAtiBlock8,
    kAtiBlock32,
    kAtiPll,
  };
  struct Entry {
    Where where;
    std::uint8_t index;
    std::uint32_t value = 0;
  };

  std::uint32_t Read(const Entry& e);
  void Write(const Entry& e);
  void ReadAll(std::vector<Entry>* entries);
  void WriteAll(const std::vector<Entry>& entries);
  void BuildLists();

  PortIo& io_;
  const EngineSettings& settings_;
  bool saved_ = false;
  std::uint8_t misc_ = 0;
  std::uint8_t seq_index_ = 0, crtc_index_ = 0, gfx_index_ = 0;
  std::uint8_t ati_address_ = 0;
  std::vector<Entry> locks_;   // read first, written last
  std::vector<Entry> clock_;   // written under the synchronous reset
  std::vector<Entry> timing_;  // the rest
};

}  // namespace cs::tvout
