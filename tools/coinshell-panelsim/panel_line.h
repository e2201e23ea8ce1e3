#pragma once
// The simulated controller and its line, in nanoseconds of a clock the caller passes in (the
// tool passes the monotonic clock; tests pass numbers).
//
// The controller sends the whole switch state as a frame: at once when a switch changes, and
// again every 1/rate s while nothing changes (rate 0: only on change). Bytes leave at the line's
// pace, 10 bits each at 19200 baud (3.125 ms a frame, at most 320 frames a second); frames and
// raw bytes queue behind each other and never overlap.
#include <cstdint>
#include <deque>
#include <limits>
#include <span>
#include <vector>

#include "panelsim_script.h"

namespace cs::panelsim {

inline constexpr std::int64_t kNever = std::numeric_limits<std::int64_t>::max();
inline constexpr std::int64_t kByteNs = 520'833;  // 10 bits at 19200 baud

class PanelLine final {
 public:
  PanelLine(int rate, std::int64_t nowNs);

  // The switches pressed (bit i set = switch i). A change queues a frame of the new state.
  void SetPressed(std::uint32_t pressed, std::int64_t nowNs);
  std::uint32_t Pressed() const { return pressed_; }
  void SetRate(int rate, std::int64_t nowNs);
  int Rate() const { return rate_; }
  void QueueRaw(std::span<const std::uint8_t> bytes, std::int64_t nowNs);

  // Appends the bytes whose time on the line has come; returns when the next byte or idle frame
  // is due.
  std::int64_t Take(std::int64_t nowNs, std::vector<std::uint8_t>* out);
  // Nothing waits to be sent.
  bool Drained() const { return queue_.empty(); }
  std::uint64_t FramesQueued() const { return frames_; }

 private:
  void QueueFrame(std::int64_t nowNs);
  void QueueBytes(std::span<const std::uint8_t> bytes, std::int64_t nowNs);

  std::uint32_t pressed_ = 0;
  int rate_;
  std::int64_t next_idle_ = kNever;
  std::int64_t wire_free_ = 0;  // when the next byte may start
  std::deque<std::uint8_t> queue_;
  std::uint64_t frames_ = 0;
};

// Plays commands against a line. Commands may be appended while it plays (stdin).
class ScriptPlayer final {
 public:
  void Append(std::vector<Command> commands);
  // Runs every command that is due; returns when it must run again (kNever: waiting for more).
  std::int64_t Run(std::int64_t nowNs, PanelLine* line);
  // Every command so far has run to its end.
  bool Done() const { return next_ == commands_.size() && resume_ == 0 && !release_pending_; }
  bool QuitRequested() const { return quit_; }

 private:
  std::vector<Command> commands_;
  std::size_t next_ = 0;
  std::int64_t resume_ = 0;  // a wait runs until then (0: none)
  bool release_pending_ = false;
  std::uint32_t release_ = 0;  // the switches of a press, released when its wait ends
  bool quit_ = false;
};

}  // namespace cs::panelsim
