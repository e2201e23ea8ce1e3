#pragma once
// A window's door for outside processes. The emulator reaches the main window (and any other
// window an outside process may post to) by sending 12-byte records to the datagram socket
// <ipc>/<class name>: msg, wParam, lParam, each 32-bit little-endian. Records of another length,
// and messages the window's filter does not accept, are dropped with a log line; accepted ones
// are posted to the window, in arrival order.
#include <array>
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <thread>

#include "platform/mailslot.h"
#include "platform/message_target.h"

namespace cs {

inline constexpr std::size_t kWindowRecordSize = 12;

std::array<std::uint8_t, kWindowRecordSize> EncodeWindowRecord(const Message& m);
// nullopt unless the record is exactly 12 bytes.
std::optional<Message> DecodeWindowRecord(std::span<const std::uint8_t> record);

// The main window's filter: WM_EMULATOR_STATUS, and WM_PANEL_COMMAND with wParam 200.
bool AcceptEmulatorMessage(const Message& m);

// The sending side (the emulator, the stand-in, tools): one record; false when no window
// listens there.
bool PostWindowMessage(const std::filesystem::path& endpoint, const Message& m);

class WindowEndpoint final {
 public:
  using Filter = std::function<bool(const Message&)>;

  // target must outlive the endpoint. The filter runs on the endpoint's thread; without one,
  // nothing is accepted.
  WindowEndpoint(MessageTarget& target, Filter accept);
  ~WindowEndpoint();
  WindowEndpoint(const WindowEndpoint&) = delete;
  WindowEndpoint& operator=(const WindowEndpoint&) = delete;

  // Main thread: binds the path (see MailslotServer::Bind) and starts receiving on a thread of
  // its own. False when the bind fails.
  bool Start(const std::filesystem::path& path);
  // Main thread: stops receiving, waits for the thread, removes the socket file.
  void Stop();

  // Counts of what was dropped (any thread).
  std::uint64_t Malformed() const { return malformed_.load(std::memory_order_relaxed); }
  std::uint64_t Rejected() const { return rejected_.load(std::memory_order_relaxed); }

 private:
  void Run();

  MessageTarget& target_;
  Filter accept_;
  MailslotServer server_;
  int wake_fd_ = -1;
  std::thread thread_;
  std::atomic<std::uint64_t> malformed_{0};
  std::atomic<std::uint64_t> rejected_{0};
};

}  // namespace cs
