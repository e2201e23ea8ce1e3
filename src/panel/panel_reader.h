#pragma once
// TThrKeyb: the serial panel reader.
//
// Owns the panel's port (COM2 of the drive map) and a thread of its own that receives the
// controller's bytes, cuts them into frames, decodes each frame (panel_decoder.h) and posts the
// panel codes to TargetWnd, and, while forwarding is on and a game runs, writes key masks to the
// emulator's MAMEKEY mailslot. It decides nothing about menus, credits or games.
//
// Threads: construct, Start, Pause, Resume and Stop on the main thread. The public fields of
// PanelFields are shared with the main window as relaxed atomics. Nothing else crosses threads:
// the reader reaches the main window only by posting messages.
#include <array>
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <string>
#include <thread>

#include "panel/frame_cutter.h"
#include "panel/key_mask_writer.h"
#include "panel/panel_decoder.h"
#include "panel/serial_port.h"
#include "platform/drive_map.h"
#include "platform/message_target.h"

namespace cs {

class TThrKeyb final : public PanelFields {
 public:
  // The port's receive buffer: bytes wait here (and then in the driver) while the reader is
  // paused.
  static constexpr std::size_t kReceiveBufferSize = 16000;

  // Created suspended: nothing is opened until Start. EmulatorRunning is the screen-check
  // thread's game-running flag; it must outlive the reader.
  TThrKeyb(DriveMap map, const std::atomic<std::uint8_t>& EmulatorRunning);
  // Stops the thread and waits for it (at most one frame's work), closing the port.
  ~TThrKeyb();
  TThrKeyb(const TThrKeyb&) = delete;
  TThrKeyb& operator=(const TThrKeyb&) = delete;

  // The window that receives every post. Set before Start; it must outlive the reader. Null: the
  // codes are decoded and dropped.
  MessageTarget* TargetWnd = nullptr;

  // Configures and opens COM2 at once (the panel is live from here) and starts the thread. When
  // the port cannot be opened or configured the reader ends at once: false, one log line, no
  // panel input for the rest of the run, nothing retried. A second Start does nothing (false).
  bool Start();

  // Pause stops frame processing and returns once no frame is being processed, so that the
  // caller's own MAMEKEY writes cannot interleave with the reader's. Bytes that arrive meanwhile
  // wait in the receive buffer and are processed, in order, after Resume.
  void Pause();
  void Resume();
  bool Paused() const { return paused_.load(std::memory_order_relaxed); }

  // The terminate request: the thread closes the port and ends promptly. Does not wait.
  void Stop();

  // True while the port is open and being read: false before Start, after a failed Start, after
  // a read error (which ends receiving for the rest of the run) and after the stop.
  bool Receiving() const { return receiving_.load(std::memory_order_relaxed); }
  // Bytes taken from the port so far (any thread; for status and tests).
  std::uint64_t BytesReceived() const { return bytes_received_.load(std::memory_order_relaxed); }
  // Frames cut from those bytes and decoded so far (any thread). Noise and short frames are not
  // counted; an extra ETX that decodes the previous frame again is.
  std::uint64_t FramesDecoded() const { return frames_decoded_.load(std::memory_order_relaxed); }

 private:
  class Sink final : public PanelSink {
   public:
    explicit Sink(TThrKeyb& k) : k_(k) {}
    void Post(std::uint32_t msg, std::int32_t wParam, std::int32_t lParam) override;
    void SendMask(std::uint32_t mask) override;

   private:
    TThrKeyb& k_;
  };

  void Run();
  std::size_t ReadPort();
  void EndReceiving(const std::string& why);
  void ProcessBuffered();
  void Wake();

  const DriveMap map_;
  const std::atomic<std::uint8_t>& EmulatorRunning_;
  SerialPort port_;
  std::filesystem::path device_;
  KeyMaskWriter writer_;
  Sink sink_{*this};
  FrameCutter cutter_;
  CoinLatches latches_;

  // Receive buffer, a ring: bytes [head_, head_ + count_) wait to be processed.
  std::array<std::uint8_t, kReceiveBufferSize> buffer_{};
  std::size_t head_ = 0;
  std::size_t count_ = 0;
  bool read_ended_ = false;

  bool started_ = false;
  int wake_fd_ = -1;
  std::thread thread_;
  std::atomic<bool> terminate_{false};
  std::atomic<bool> paused_{false};
  std::atomic<bool> busy_{false};  // the thread is inside ProcessBuffered
  std::atomic<bool> receiving_{false};
  std::atomic<std::uint64_t> bytes_received_{0};
  std::atomic<std::uint64_t> frames_decoded_{0};
};

}  // namespace cs
