#pragma once
// TThrComp: the screen-check thread. It creates the shared frame block, and while a game runs
// (after a warm-up of 100 passes, about 2 s) it draws the emulator's seven blocks into the
// capture pictures of the check window every 20 ms, compares each with its reference picture and
// raises the match flags. A pass only ever sets flags; the main window clears them.
//
// Threads: construct, Start, Terminate and WaitFor on the main thread. The thread shares with the
// main window only the game flags, Tick, the pictures and the match boxes, all relaxed atomics.
// Loop() and ComparisonPass() are the thread's per-pass work as plain functions for tests.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <thread>

#include "gamelink/check_settings.h"
#include "gamelink/game_flags.h"
#include "gamelink/shared_frame.h"
#include "platform/shared_memory.h"

namespace cs {

// The flag of region i (kRegionNames order; 6 is MatchStart).
std::atomic<std::uint8_t>& RegionFlag(GameFlags& flags, int region);

// Capture C matches reference R when, for x from 1 to W - 1 and y from 1 to H - 1 (W, H: C's
// shown size), every pixel of C equals R's, exactly. Row 0 and column 0 are never compared.
// Returns the number of pairs compared through `pairs` (the first difference ends the test).
bool PicturesMatch(const CheckPicture& capture, const CheckPicture& reference,
                   int* pairs = nullptr);

// One comparison pass over a shared block (kSharedFrameSize bytes): the header is copied and
// checked; a header the decoder refuses ends the pass with no match and nothing drawn (false).
// Otherwise each block is drawn into its capture picture, the regions are compared in the order
// P1-B1, P1-B2, P1-B3, P2-B1, P2-B2, Bmp Start, P2.B3, each match sets its flag, and the match
// boxes show the flags (true).
bool ComparisonPass(std::span<const std::uint8_t> frame, TFrmCheck& check, GameFlags& flags);

class TThrComp final {
 public:
  static constexpr int kStartWaitMs = 5000;
  static constexpr int kLoopMs = 20;
  static constexpr int kWarmUpPasses = 100;

  // Created suspended: nothing runs and no block exists until Start. flags and check must
  // outlive the thread. blockName: the shared frame's name (SharedFrameName()).
  TThrComp(GameFlags& flags, TFrmCheck& check, std::string blockName = SharedFrameName());
  // Terminates and waits.
  ~TThrComp();
  TThrComp(const TThrComp&) = delete;
  TThrComp& operator=(const TThrComp&) = delete;

  // Creates the block (a stale one is replaced) and its semaphore, then starts the thread at
  // above-normal priority where the system permits it (else normal, with a log line). A block
  // that cannot be created leaves the thread running without a view: no pass ever matches.
  // A second Start does nothing (false).
  bool Start();
  // The block and semaphore alone (Start does this first); tests that drive Loop() themselves
  // call it. True when a view exists.
  bool CreateSharedBlock();
  // The terminate request: the loop ends at its next pass. Does not wait.
  void Terminate();
  // Waits for the thread to end (returns at once if it never started).
  void WaitFor();

  // One pass of the loop, after its 20 ms wait: Tick counts passes since EmulatorRunning was
  // last seen false; with a game running for more than 100 passes a comparison pass runs,
  // otherwise MatchStart is forced false.
  void Loop();

  // Passes since EmulatorRunning was last seen false.
  std::atomic<std::int32_t> Tick{0};

  bool HasView() const { return block_ != nullptr; }
  const std::string& BlockName() const { return block_name_; }
  // The view (null without one): tests and the diagnostics of the configuration window.
  SharedMemoryBlock* Block() { return block_.get(); }
  // Whether the thread's priority could be raised (after Start).
  bool RaisedPriority() const { return raised_.load(std::memory_order_relaxed); }
  // Comparison passes run so far, and those whose header was refused.
  std::uint64_t Passes() const { return passes_.load(std::memory_order_relaxed); }
  std::uint64_t RefusedPasses() const { return refused_.load(std::memory_order_relaxed); }

 private:
  void Run();
  // Waits up to ms or until terminated; true when terminated.
  bool WaitOrTerminated(int ms);

  GameFlags& flags_;
  TFrmCheck& check_;
  std::string block_name_;
  std::unique_ptr<SharedMemoryBlock> block_;
  std::unique_ptr<NamedSemaphore> mutex_;
  bool block_tried_ = false;
  std::thread thread_;
  std::mutex wait_mutex_;
  std::condition_variable wait_cv_;
  std::atomic<bool> terminate_{false};
  std::atomic<bool> raised_{false};
  std::atomic<std::uint64_t> passes_{0};
  std::atomic<std::uint64_t> refused_{0};
  bool refused_logged_ = false;
};

}  // namespace cs
