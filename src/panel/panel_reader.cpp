#include "panel/panel_reader.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "platform/log.h"
#include "platform/mailslot.h"

namespace cs {

TThrKeyb::TThrKeyb(DriveMap map, const std::atomic<std::uint8_t>& EmulatorRunning)
    : map_(std::move(map)),
      EmulatorRunning_(EmulatorRunning),
      writer_(MailslotPath(map_.IpcDir(), "MAMEKEY")) {}

TThrKeyb::~TThrKeyb() {
  Stop();
  if (thread_.joinable()) thread_.join();
  if (wake_fd_ >= 0) ::close(wake_fd_);
}

bool TThrKeyb::Start() {
  if (started_) return false;
  started_ = true;
  const auto device = map_.ComDevice("COM2");
  if (!device) {
    LogDiag("panel", "COM2 has no device; no panel input");
    return false;
  }
  device_ = *device;
  std::string why;
  if (!port_.Open(device_, &why)) {
    LogDiag("panel", "COM2 (" + device_.string() + ") " + why + "; no panel input");
    return false;
  }
  wake_fd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (wake_fd_ < 0) {
    LogDiag("panel", std::string("eventfd: ") + std::strerror(errno) + "; no panel input");
    port_.Close();
    return false;
  }
  receiving_.store(true, std::memory_order_relaxed);
  thread_ = std::thread([this] { Run(); });
  return true;
}

void TThrKeyb::Pause() {
  // Paired with ProcessBuffered: either the thread sees paused_ before it takes a byte, or this
  // side sees busy_ and waits for the byte in hand (one frame's work at most) to finish.
  paused_.store(true);
  while (busy_.load()) std::this_thread::yield();
}

void TThrKeyb::Resume() {
  paused_.store(false);
  Wake();
}

void TThrKeyb::Stop() {
  terminate_.store(true);
  Wake();
}

void TThrKeyb::Wake() {
  if (wake_fd_ < 0) return;
  const std::uint64_t one = 1;
  [[maybe_unused]] const ssize_t n = ::write(wake_fd_, &one, sizeof one);
}

void TThrKeyb::Run() {
  while (!terminate_.load()) {
    ProcessBuffered();
    // While the buffer is full the port is not read; further bytes wait in the driver.
    const bool watchPort = !read_ended_ && count_ < buffer_.size();
    pollfd p[2] = {{wake_fd_, POLLIN, 0}, {port_.Fd(), POLLIN, 0}};
    if (::poll(p, watchPort ? 2 : 1, -1) < 0) {
      if (errno == EINTR) continue;
      LogDiag("panel", std::string("poll: ") + std::strerror(errno) + "; panel input ends");
      break;
    }
    if (p[0].revents != 0) {
      std::uint64_t v;
      [[maybe_unused]] const ssize_t n = ::read(wake_fd_, &v, sizeof v);
    }
    if (watchPort && p[1].revents != 0) {
      const std::size_t got = ReadPort();
      // A hang-up or error that leaves nothing to read would wake poll() for ever.
      if (!read_ended_ && got == 0 && (p[1].revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
        EndReceiving("the line hung up");
      }
    }
  }
  port_.Close();
  receiving_.store(false, std::memory_order_relaxed);
}

void TThrKeyb::EndReceiving(const std::string& why) {
  // The device is gone (a USB adapter pulled) or broken: receiving ends for the rest of the run.
  // What was received before is still processed.
  read_ended_ = true;
  LogDiag("panel", "COM2 (" + device_.string() + ") " + why + "; panel input ends");
  receiving_.store(false, std::memory_order_relaxed);
}

std::size_t TThrKeyb::ReadPort() {
  // Everything that is waiting, until the port has nothing more or the buffer is full.
  std::size_t got = 0;
  while (count_ < buffer_.size()) {
    const std::size_t tail = (head_ + count_) % buffer_.size();
    const std::size_t room = tail >= head_ ? buffer_.size() - tail : head_ - tail;
    std::string why;
    const ssize_t n = port_.ReadSome(buffer_.data() + tail, room, &why);
    if (n < 0) {
      EndReceiving(why);
      break;
    }
    if (n == 0) break;
    count_ += static_cast<std::size_t>(n);
    got += static_cast<std::size_t>(n);
  }
  bytes_received_.fetch_add(got, std::memory_order_relaxed);
  return got;
}

void TThrKeyb::ProcessBuffered() {
  if (count_ == 0) return;
  busy_.store(true);
  while (count_ > 0 && !paused_.load()) {
    const std::uint8_t b = buffer_[head_];
    head_ = (head_ + 1) % buffer_.size();
    --count_;
    if (const auto word = cutter_.Feed(b)) {
      DecodeFrame(*word, EmulatorRunning_.load(std::memory_order_relaxed) != 0, latches_, *this,
                  sink_);
      frames_decoded_.fetch_add(1, std::memory_order_relaxed);
    }
  }
  busy_.store(false);
}

void TThrKeyb::Sink::Post(std::uint32_t msg, std::int32_t wParam, std::int32_t lParam) {
  if (k_.TargetWnd != nullptr) k_.TargetWnd->PostMessage(msg, wParam, lParam);
}

void TThrKeyb::Sink::SendMask(std::uint32_t mask) {
  k_.writer_.Send(mask, k_.EmulatorRunning_.load(std::memory_order_relaxed) != 0);
}

}  // namespace cs
