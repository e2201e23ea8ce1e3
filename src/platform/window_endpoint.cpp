#include "platform/window_endpoint.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "platform/log.h"

namespace cs {

namespace {

void PutLe32(std::uint8_t* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

std::uint32_t GetLe32(const std::uint8_t* p) {
  return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
         std::uint32_t{p[3]} << 24;
}

// Logs the 1st, 10th, 100th... occurrence: a flood cannot fill the log.
bool WorthLogging(std::uint64_t count) {
  while (count >= 10 && count % 10 == 0) count /= 10;
  return count == 1;
}

}  // namespace

std::array<std::uint8_t, kWindowRecordSize> EncodeWindowRecord(const Message& m) {
  std::array<std::uint8_t, kWindowRecordSize> r{};
  PutLe32(r.data(), m.msg);
  PutLe32(r.data() + 4, static_cast<std::uint32_t>(m.wParam));
  PutLe32(r.data() + 8, static_cast<std::uint32_t>(m.lParam));
  return r;
}

std::optional<Message> DecodeWindowRecord(std::span<const std::uint8_t> record) {
  if (record.size() != kWindowRecordSize) return std::nullopt;
  return Message{GetLe32(record.data()), static_cast<std::int32_t>(GetLe32(record.data() + 4)),
                 static_cast<std::int32_t>(GetLe32(record.data() + 8))};
}

bool AcceptEmulatorMessage(const Message& m) {
  return m.msg == WM_EMULATOR_STATUS || (m.msg == WM_PANEL_COMMAND && m.wParam == 200);
}

bool PostWindowMessage(const std::filesystem::path& endpoint, const Message& m) {
  const auto r = EncodeWindowRecord(m);
  return SendMailslotRecord(endpoint, r.data(), r.size());
}

WindowEndpoint::WindowEndpoint(MessageTarget& target, Filter accept)
    : target_(target), accept_(std::move(accept)) {}

WindowEndpoint::~WindowEndpoint() { Stop(); }

bool WindowEndpoint::Start(const std::filesystem::path& path) {
  Stop();
  if (!server_.Bind(path)) return false;
  wake_fd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (wake_fd_ < 0) {
    LogDiag("window-endpoint", std::string("eventfd: ") + std::strerror(errno));
    server_.Close();
    return false;
  }
  thread_ = std::thread([this] { Run(); });
  return true;
}

void WindowEndpoint::Stop() {
  if (thread_.joinable()) {
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(wake_fd_, &one, sizeof(one));
    thread_.join();
  }
  if (wake_fd_ >= 0) ::close(wake_fd_);
  wake_fd_ = -1;
  server_.Close();
}

void WindowEndpoint::Run() {
  // One byte more than a record: a longer record shows as truncated without a second buffer.
  std::uint8_t buf[kWindowRecordSize + 1];
  for (;;) {
    pollfd p[2] = {{server_.Fd(), POLLIN, 0}, {wake_fd_, POLLIN, 0}};
    if (::poll(p, 2, -1) < 0) {
      if (errno == EINTR) continue;
      LogDiag("window-endpoint", std::string("poll: ") + std::strerror(errno));
      return;
    }
    if (p[1].revents != 0) return;
    while (auto rec = server_.Receive(buf, sizeof(buf), 0)) {
      const auto m =
          rec->truncated ? std::nullopt : DecodeWindowRecord(std::span(buf, rec->length));
      if (!m) {
        const auto n = malformed_.fetch_add(1, std::memory_order_relaxed) + 1;
        if (WorthLogging(n)) {
          LogDiag("window-endpoint", "dropped a record of " + std::to_string(rec->length) +
                                         " bytes on " + server_.Path().string() + " (" +
                                         std::to_string(n) + " so far)");
        }
        continue;
      }
      if (!accept_ || !accept_(*m)) {
        const auto n = rejected_.fetch_add(1, std::memory_order_relaxed) + 1;
        if (WorthLogging(n)) {
          LogDiag("window-endpoint",
                  "refused message " + std::to_string(m->msg) + "(" + std::to_string(m->wParam) +
                      ", " + std::to_string(m->lParam) + ") on " + server_.Path().string() + " (" +
                      std::to_string(n) + " so far)");
        }
        continue;
      }
      target_.PostMessage(m->msg, m->wParam, m->lParam);
    }
  }
}

}  // namespace cs
