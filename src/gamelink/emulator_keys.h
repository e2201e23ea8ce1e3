#pragma once
// The main window's writes to the emulator's key mailslot MAMEKEY: SendKeyMask and the key
// sequences of a running game, with their fixed waits.
//
// SendKeyMask opens the mailslot, writes one 4-byte record and closes it on every call
// (`KeySlotHandle` is held only for the call). A record to an emulator that is not there is lost
// without a report (one log line per run of lost records); the sequences still take their full
// time, as their waits are what paces the emulated game.
//
// The panel reader writes the same mailslot from its own thread; every sequence except the
// automatic exit pauses it, so that no reader mask lands between the records of a sequence.
// Main thread only; waits go through EventLoop::Sleep (virtual time in tests).
#include <cstdint>
#include <filesystem>
#include <functional>

#include "gamelink/game_flags.h"
#include "platform/event_loop.h"
#include "platform/mailslot.h"

namespace cs {

class TThrKeyb;
struct PanelFields;

// Actions of the main window that run inside a sequence (a start with a coin ends the start-up
// phase, starts TimWaitCredits, counts a play). Each is optional.
struct SequenceSteps {
  std::function<void()> afterPause;   // right after the reader is paused
  std::function<void()> beforePulse;  // after the first wait, before the pulse
  std::function<void()> afterPulse;   // after the pulse, before the reader resumes
  std::function<void()> afterResume;  // after the reader resumed, before the last wait
};

class EmulatorKeys final {
 public:
  static constexpr int kPulseWaitMs = 180;
  static constexpr int kServiceWaitMs = 150;
  static constexpr int kAutoExitWaitMs = 200;

  // ipcDir: the directory of the mailslots. flags: the game flags (the exit-button sequence
  // clears EmulatorRunning). Both must outlive this object.
  EmulatorKeys(EventLoop& loop, std::filesystem::path ipcDir, GameFlags& flags);

  // The panel reader to pause and whose LastMask to reset; null when the cabinet runs without
  // one (then fields may still name the window's own fields, or be null too).
  void SetReader(TThrKeyb* reader, PanelFields* fields);

  // One record: open, write 4 bytes, close.
  void SendKeyMask(std::uint32_t mask);
  // SendKeyMask(mask), wait, SendKeyMask(0), wait.
  void Pulse(std::uint32_t mask, int waitMs = kPulseWaitMs);
  void PauseReader();
  void ResumeReader();
  // The reader's LastMask := 0, so that its next frame restates the panel's switches.
  void ResetLastMask();

  // The sequences. With steps, the main window's own actions run at the named points.
  // pause; wait 180; pulse 0x1; resume; wait 180.
  void CoinForPlayer1(const SequenceSteps& steps = {});
  // pause; wait 180; pulse 0x2; LastMask := 0; resume; wait 180.
  void StartPlayer1();
  // pause; wait 180; pulse 0x2001; resume; wait 180.
  void CoinAndStartPlayer2(const SequenceSteps& steps = {});
  // pause; wait 180; pulse 0x2000; LastMask := 0; resume; wait 180.
  void StartPlayer2();
  // pause; wait 180; 0x800000; EmulatorRunning := false; wait 180; 0; wait 180; resume.
  void ExitOnExitButton();
  // pause; wait 150; 0x800000; wait 150; 0; wait 150; resume.
  void ExitOnSecondServicePress();
  // 0x800000; wait 200 (no release record, the reader is not paused).
  void AutomaticExit();

  const std::filesystem::path& SlotPath() const { return slot_; }
  // Records written and lost so far (status and tests).
  std::uint64_t Sent() const { return sent_; }
  std::uint64_t Lost() const { return lost_; }

  // The design's handle field: open only inside SendKeyMask.
  MailslotClient KeySlotHandle;

 private:
  void Wait(int ms) { loop_.Sleep(ms); }
  static void Run(const std::function<void()>& step) {
    if (step) step();
  }

  EventLoop& loop_;
  std::filesystem::path slot_;
  GameFlags& flags_;
  TThrKeyb* reader_ = nullptr;
  PanelFields* fields_ = nullptr;
  std::uint64_t sent_ = 0;
  std::uint64_t lost_ = 0;
  bool failing_ = false;
};

}  // namespace cs
