#include "tvout/register_restore_display_control.h"

#include "platform/log.h"

namespace cs::tvout {

namespace {

constexpr char kLog[] = "tvout";
bool Banked(const EngineSettings& s) { return s.Chipset == kChipTrident && s.Model != 1; }

}  // namespace

void RegisterRestoreDisplayControl::BuildLists() {
  using W = Where;
  locks_.clear();
  clock_.clear();
  timing_.clear();
  const std::uint16_t m = settings_.Model;
  auto lock = [&](W w, std::uint8_t i) { locks_.push_back({w, i}); };
  auto clock = [&](W w, std::uint8_t i) { clock_.push_back({w, i}); };
  auto timing = [&](W w, std::uint8_t i) { timing_.push_back({w, i}); };

  clock(W::kSeq, 0x01);
  for (std::uint8_t i = 0; i <= 0x18; ++i) {
    if (i != 0x11) timing(W::kCrtc, i);
  }
  timing(W::kAttr, 0x10);
  switch (settings_.Chipset) {
    case kChipS3:
      lock(W::kCrtc, 0x38);
      lock(W::kCrtc, 0x39);
      lock(W::kSeq, 0x08);
      if (m < 0xC0 || m > 0xD1) clock(W::kSeq, 0x15);
      for (std::uint8_t i : {0x3A, 0x3B, 0x3C, 0x42, 0x43, 0x51, 0x5D, 0x5E, 0x67}) {
        timing(W::kCrtc, i);
      }
      break;
    case kChipTrident:
      if (m == 0xF3) lock(W::kSeq, 0x11);
      if (Banked(settings_)) {
        clock(W::kTridentNewSeq, 0x0D);
        clock(W::kTridentOldSeq, 0x0D);
        clock(W::kTridentOldSeq, 0x0E);
        timing(W::kCrtc, 0x29);           // written while new-mode SR0E opens it
        timing(W::kTridentNewSeq, 0x0E);  // then SR0E itself
      } else {
        clock(W::kSeq, 0x0D);
        clock(W::kSeq, 0x0E);
      }
      timing(W::kCrtc, 0x1E);
      break;
    case kChipSeven:
      lock(W::kCrtc, 0x1F);
      timing(W::kCrtc, 0x33);
      break;
    case kChipIntel:
      lock(W::kCrtc, 0x80);
      timing(W::kCrtc, 0x41);
      timing(W::kCrtc, 0x70);
      break;
    case kChipCirrus:
      lock(W::kSeq, 0x06);
      clock(W::kSeq, 0x0E);
      clock(W::kSeq, 0x1E);
      for (std::uint8_t i : {0x19, 0x1A, 0x1B}) timing(W::kCrtc, i);
      break;
    case kChipUmc:
      clock(W::kSeq, 0x07);
      clock(W::kSeq, 0x09);
      timing(W::kCrtc, 0x2F);
      break;
    case kChipWd:
      lock(W::kGfx, 0x0F);
      lock(W::kCrtc, 0x29);
      clock(W::kGfx, 0x0C);
      clock(W::kCrtc, 0x2E);
      timing(W::kCrtc, 0x2C);
      timing(W::kCrtc, 0x2D);
      break;
    case kChipTseng:
      clock(W::kSeq, 0x07);
      if (m == 4000) {
        clock(W::kCrtc, 0x31);
        clock(W::kCrtc, 0x34);
        timing(W::kCrtc, 0x35);
        timing(W::kCrtc, 0x3F);
      } else {
        timing(W::kCrtc, 0x25);
      }
      break;
    case kChipSis:
      lock(W::kSeq, 0x05);
      clock(W::kSeq, 0x2A);
      timing(W::kSeq, 0x06);
      timing(W::kSeq, 0x0E);
      if (m == 0x300) {
        for (std::uint8_t i : {0x0A, 0x0B, 0x0C}) timing(W::kSeq, i);
      }
      break;
    case kChipOak:
      clock(W::kOak, 0x0D);
      if (m != 0) {
        timing(W::kOak, 0x14);
        timing(W::kOak, 0x15);
      }
      break;
    case kChipRealtek:
      clock(W::kCrtc, 0x1A);
      clock(W::kGfx, 0x0B);
      timing(W::kCrtc, 0x19);
      break;
    case kChipAti:
      // The synthesiser: VCLK held in reset (register 5) while the others go back.
      for (std::uint8_t i : {0x06, 0x0A, 0x0B, 0x19, 0x05}) clock(W::kAtiPll, i);
      clock(W::kAtiBlock8, 0x90);
      for (std::uint8_t off : {0x00, 0x04, 0x08, 0x0C, 0x14, 0x1C, 0x20, 0x24}) {
        timing(W::kAtiBlock32, off);
      }
      break;
    default:
      break;
  }
}

std::uint32_t RegisterRestoreDisplayControl::Read(const Entry& e) {
  switch (e.where) {
    case Where::kSeq:
      return io_.ReadIndexed(kSeqIndex, e.index);
    case Where::kCrtc:
      return io_.ReadCrtc(e.index);
    case Where::kGfx:
      return io_.ReadIndexed(kGfxIndex, e.index);
    case Where::kOak:
      return io_.ReadIndexed(kOakIndex, e.index);
    case Where::kAttr: {
      io_.PortRead8(static_cast<std::uint16_t>(io_.CrtcPort + 6));
      io_.PortWrite8(kAttrIndexPort, static_cast<std::uint8_t>(0x20 | e.index));
      const std::uint8_t v = io_.PortRead8(kAttrDataRead);
      io_.PortRead8(static_cast<std::uint16_t>(io_.CrtcPort + 6));
      return v;
    }
    case Where::kTridentNewSeq:
      io_.ReadIndexed(kSeqIndex, 0x0B);
      return io_.ReadIndexed(kSeqIndex, e.index);
    case Where::kTridentOldSeq: {
      io_.WriteIndexed(kSeqIndex, 0x0B, 0x00);
      const std::uint8_t v = io_.ReadIndexed(kSeqIndex, e.index);
      io_.ReadIndexed(kSeqIndex, 0x0B);
      return v;
    }
    case Where::kAtiBlock8:
      return io_.PortRead8(static_cast<std::uint16_t>(settings_.IOBase + e.index));
    case Where::kAtiBlock32:
      return io_.PortRead32(static_cast<std::uint16_t>(settings_.IOBase + e.index));
    case Where::kAtiPll:
      io_.PortWrite8(static_cast<std::uint16_t>(settings_.IOBase + 0x91),
                     static_cast<std::uint8_t>(e.index << 2));
      return io_.PortRead8(static_cast<std::uint16_t>(settings_.IOBase + 0x92));
  }
  return 0;
}

void RegisterRestoreDisplayControl::Write(const Entry& e) {
  const auto v = static_cast<std::uint8_t>(e.value);
  switch (e.where) {
    case Where::kSeq:
      io_.WriteIndexed(kSeqIndex, e.index, v);
      break;
    case Where::kCrtc:
      io_.WriteCrtc(e.index, v);
      break;
    case Where::kGfx:
      io_.WriteIndexed(kGfxIndex, e.index, v);
      break;
    case Where::kOak:
      io_.WriteIndexed(kOakIndex, e.index, v);
      break;
    case Where::kAttr:
      io_.PortRead8(static_cast<std::uint16_t>(io_.CrtcPort + 6));
      io_.PortWrite8(kAttrIndexPort, static_cast<std::uint8_t>(0x20 | e.index));
      io_.PortWrite8(kAttrIndexPort, v);
      break;
    case Where::kTridentNewSeq: {
      io_.ReadIndexed(kSeqIndex, 0x0B);
      io_.WriteIndexed(kSeqIndex, e.index, v);
      // New-mode SR0E stores bit 1 inverted on the chips that have the quirk.
      const auto data = static_cast<std::uint16_t>(kSeqIndex + 1);
      if (e.index == 0x0E && ((io_.PortRead8(data) ^ v) & 0x02)) io_.PortWrite8(data, v ^ 0x02);
      break;
    }
    case Where::kTridentOldSeq:
      io_.WriteIndexed(kSeqIndex, 0x0B, 0x00);
      io_.WriteIndexed(kSeqIndex, e.index, v);
      io_.ReadIndexed(kSeqIndex, 0x0B);
      break;
    case Where::kAtiBlock8:
      io_.PortWrite8(static_cast<std::uint16_t>(settings_.IOBase + e.index), v);
      break;
    case Where::kAtiBlock32:
      io_.PortWrite32(static_cast<std::uint16_t>(settings_.IOBase + e.index), e.value);
      break;
    case Where::kAtiPll:
      io_.PortWrite8(static_cast<std::uint16_t>(settings_.IOBase + 0x91),
                     static_cast<std::uint8_t>(e.index << 2 | 0x02));
      io_.PortWrite8(static_cast<std::uint16_t>(settings_.IOBase + 0x92), v);
      break;
  }
}

void RegisterRestoreDisplayControl::ReadAll(std::vector<Entry>* entries) {
  for (Entry& e : *entries) e.value = Read(e);
}

void RegisterRestoreDisplayControl::WriteAll(const std::vector<Entry>& entries) {
  for (const Entry& e : entries) Write(e);
}

void RegisterRestoreDisplayControl::BeforeTvApply() {
  if (saved_) return;
  if (settings_.Chipset == kChipAti && settings_.IOBase < 0x1000) return;
  BuildLists();
  seq_index_ = io_.PortRead8(kSeqIndex);
  gfx_index_ = io_.PortRead8(kGfxIndex);
  io_.UpdateCrtcPort();
  crtc_index_ = io_.PortRead8(io_.CrtcPort);
  ReadAll(&locks_);
  for (Entry& e : locks_) {
    // Lock registers that answer with a status instead of the key written.
    if (settings_.Chipset == kChipCirrus && e.index == 0x06) e.value = e.value == 0x12 ? 0x12 : 0;
    if (settings_.Chipset == kChipSis && e.index == 0x05) e.value = e.value == 0xA1 ? 0x86 : 0;
  }
  Entry cr11{Where::kCrtc, 0x11};
  cr11.value = Read(cr11);  // before the unlock clears its protection bit
  UnlockChipset(io_, settings_);
  misc_ = io_.PortRead8(kMiscRead);
  if (settings_.Chipset == kChipAti) {
    // The synthesiser address the driver left, before the register reads below move it.
    ati_address_ = io_.PortRead8(static_cast<std::uint16_t>(settings_.IOBase + 0x91));
  }
  ReadAll(&clock_);
  ReadAll(&timing_);
  timing_.push_back(cr11);  // written last, protection and all
  if (settings_.Chipset == kChipTrident && settings_.Model == 0xF3 && (io_.ReadCrtc(0x38) & 0x0C)) {
    LogDiag(kLog, "the Trident clock word cannot be read back: a mode reset keeps the TV clock");
  }
  // Leave the card as found: protection and locks back.
  Write(cr11);
  WriteAll(locks_);
  if (settings_.Chipset == kChipAti) {
    io_.PortWrite8(static_cast<std::uint16_t>(settings_.IOBase + 0x91), ati_address_);
  }
  if (settings_.Chipset == kChipTseng) io_.PortWrite8(0x3BF, 0x01);
  if (settings_.Chipset == kChipUmc) io_.PortWrite8(0x3BF, 0x03);
  io_.PortWrite8(kGfxIndex, gfx_index_);
  io_.PortWrite8(io_.CrtcPort, crtc_index_);
  io_.PortWrite8(kSeqIndex, seq_index_);
  saved_ = true;
}

bool RegisterRestoreDisplayControl::ResetDisplayMode() {
  if (!saved_) return true;
  UnlockChipset(io_, settings_);
  io_.PortWrite16(kSeqIndex, 0x0100);  // synchronous reset around the clock
  if (settings_.Chipset == kChipAti) {
    io_.PortWrite8(static_cast<std::uint16_t>(settings_.IOBase + 0x91), 0x05 << 2 | 0x02);
    io_.PortWrite8(static_cast<std::uint16_t>(settings_.IOBase + 0x92),
                   static_cast<std::uint8_t>(
                       io_.PortRead8(static_cast<std::uint16_t>(settings_.IOBase + 0x92)) | 0x04));
  }
  io_.PortWrite8(kMiscWrite, misc_);
  io_.UpdateCrtcPort();
  WriteAll(clock_);
  io_.PortWrite16(kSeqIndex, 0x0300);
  io_.ModifyCrtc(0x11, 0x7F, 0x00);
  for (const Entry& e : timing_) {
    if (e.where == Where::kCrtc && e.index == 0x29 && Banked(settings_)) {
      // CR29 takes writes only while new-mode SR0E bit 7 is set; SR0E itself follows.
      Write(Entry{Where::kTridentNewSeq, 0x0E, io_.ReadIndexed(kSeqIndex, 0x0E) | 0x80u});
    }
    Write(e);
  }
  WriteAll(locks_);
  if (settings_.Chipset == kChipAti) {
    io_.PortWrite8(static_cast<std::uint16_t>(settings_.IOBase + 0x91), ati_address_);
  }
  if (settings_.Chipset == kChipTseng) io_.PortWrite8(0x3BF, 0x01);  // key closed
  if (settings_.Chipset == kChipUmc) io_.PortWrite8(0x3BF, 0x03);    // unlock closed
  io_.PortWrite8(kGfxIndex, gfx_index_);
  io_.PortWrite8(io_.CrtcPort, crtc_index_);
  io_.PortWrite8(kSeqIndex, seq_index_);
  saved_ = false;
  NotifyDisplayChange();
  return true;
}

}  // namespace cs::tvout
