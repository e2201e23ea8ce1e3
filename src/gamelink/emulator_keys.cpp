#include "gamelink/emulator_keys.h"

#include <cstring>

#include "gamelink/emulator_records.h"
#include "panel/panel_reader.h"
#include "platform/log.h"

namespace cs {

EmulatorKeys::EmulatorKeys(EventLoop& loop, std::filesystem::path ipcDir, GameFlags& flags)
    : loop_(loop), slot_(MailslotPath(ipcDir, kKeySlotName)), flags_(flags) {}

void EmulatorKeys::SetReader(TThrKeyb* reader, PanelFields* fields) {
  reader_ = reader;
  fields_ = fields;
}

void EmulatorKeys::SendKeyMask(std::uint32_t mask) {
  const auto record = EncodeKeyRecord(mask);
  bool ok = KeySlotHandle.Open(slot_);
  if (ok) ok = KeySlotHandle.Write(record.data(), record.size()) == record.size();
  const int err = KeySlotHandle.LastError();
  KeySlotHandle.Close();
  if (ok) {
    ++sent_;
    failing_ = false;
    return;
  }
  ++lost_;
  if (!failing_) {
    failing_ = true;
    LogDiag("gamelink", "key record lost (" + slot_.string() + ": " + std::strerror(err) +
                            "); later ones are lost silently until one gets through");
  }
}

void EmulatorKeys::Pulse(std::uint32_t mask, int waitMs) {
  SendKeyMask(mask);
  Wait(waitMs);
  SendKeyMask(0);
  Wait(waitMs);
}

void EmulatorKeys::PauseReader() {
  if (reader_) reader_->Pause();
}

void EmulatorKeys::ResumeReader() {
  if (reader_) reader_->Resume();
}

void EmulatorKeys::ResetLastMask() {
  if (fields_) fields_->LastMask.store(0, std::memory_order_relaxed);
}

void EmulatorKeys::CoinForPlayer1(const SequenceSteps& steps) {
  PauseReader();
  Run(steps.afterPause);
  Wait(kPulseWaitMs);
  Run(steps.beforePulse);
  Pulse(kMaskCoin1);
  Run(steps.afterPulse);
  ResumeReader();
  Run(steps.afterResume);
  Wait(kPulseWaitMs);
}

void EmulatorKeys::StartPlayer1() {
  PauseReader();
  Wait(kPulseWaitMs);
  Pulse(kMaskStart1);
  ResetLastMask();
  ResumeReader();
  Wait(kPulseWaitMs);
}

void EmulatorKeys::CoinAndStartPlayer2(const SequenceSteps& steps) {
  PauseReader();
  Run(steps.afterPause);
  Wait(kPulseWaitMs);
  Run(steps.beforePulse);
  Pulse(kMaskCoin1 | kMaskStart2);
  Run(steps.afterPulse);
  ResumeReader();
  Run(steps.afterResume);
  Wait(kPulseWaitMs);
}

void EmulatorKeys::StartPlayer2() {
  PauseReader();
  Wait(kPulseWaitMs);
  Pulse(kMaskStart2);
  ResetLastMask();
  ResumeReader();
  Wait(kPulseWaitMs);
}

void EmulatorKeys::ExitOnExitButton() {
  PauseReader();
  Wait(kPulseWaitMs);
  SendKeyMask(kMaskExit);
  GameFlags::Set(flags_.EmulatorRunning, false);
  Wait(kPulseWaitMs);
  SendKeyMask(0);
  Wait(kPulseWaitMs);
  ResumeReader();
}

void EmulatorKeys::ExitOnSecondServicePress() {
  PauseReader();
  Wait(kServiceWaitMs);
  SendKeyMask(kMaskExit);
  Wait(kServiceWaitMs);
  SendKeyMask(0);
  Wait(kServiceWaitMs);
  ResumeReader();
}

void EmulatorKeys::AutomaticExit() {
  SendKeyMask(kMaskExit);
  Wait(kAutoExitWaitMs);
}

}  // namespace cs
