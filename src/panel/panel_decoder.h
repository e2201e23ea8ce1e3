#pragma once
// The reader's work for one frame: turning the input word into panel codes posted to the main
// window, the coin latches, the start rule, the exit remap, and the key mask for the emulator.
// A plain function of its inputs, so that every rule is tested without a port or a thread.
#include <atomic>
#include <cstdint>

namespace cs {

// The reader's fields that the main window also reads and writes. Each is one aligned 32-bit
// word, read and written whole without a lock (relaxed order).
struct PanelFields {
  // 800 ms message-timer ticks since the last held code; the reader zeroes both whenever it
  // posts a held code, the main window counts them up.
  std::atomic<std::int32_t> NoInputTicks{0};
  std::atomic<std::int32_t> GameNoInputTicks{0};
  // 1: the next code found in a frame becomes the exit code 1 (unless it is a start, a coin or
  // the service button); cleared by the reader when it has applied to a code.
  std::atomic<std::int32_t> ExitRemap{0};
  // 0 masks not forwarded, 1 armed, 2 masks forwarded to the emulator.
  std::atomic<std::int32_t> ForwardStage{0};
  // The last input word seen AND 0x8FFFFFFC; the main window sets 0 to force the next mask.
  std::atomic<std::int32_t> LastMask{0};
};

// Reader-only: set when a coin press has been reported, cleared by the first frame that shows
// the switch released.
struct CoinLatches {
  std::uint8_t CoinLatch1 = 0;
  std::uint8_t CoinLatch2 = 0;
};

// Where a frame's results go. Called on the reader's thread, in frame order.
class PanelSink {
 public:
  virtual void Post(std::uint32_t msg, std::int32_t wParam, std::int32_t lParam) = 0;
  // The mask (bit set = pressed) for MAMEKEY; forwarding is on when this is called.
  virtual void SendMask(std::uint32_t mask) = 0;

 protected:
  ~PanelSink() = default;
};

// Decodes one frame's input word. emulatorRunning: a game is running.
void DecodeFrame(std::uint32_t word, bool emulatorRunning, CoinLatches& latches,
                 PanelFields& fields, PanelSink& sink);

}  // namespace cs
