#include "platform/control_socket.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <future>
#include <memory>

#include "platform/log.h"

namespace cs {

namespace {
constexpr std::size_t kMaxRequest = 4096;

bool FillAddress(const std::filesystem::path& p, sockaddr_un& addr) {
  std::memset(&addr, 0, sizeof addr);
  addr.sun_family = AF_UNIX;
  const std::string s = p.string();
  if (s.size() >= sizeof addr.sun_path) return false;
  std::memcpy(addr.sun_path, s.c_str(), s.size() + 1);
  return true;
}

bool WriteAll(int fd, const std::string& text) {
  std::size_t off = 0;
  while (off < text.size()) {
    const ssize_t n = ::send(fd, text.data() + off, text.size() - off, MSG_NOSIGNAL);
    if (n <= 0) return false;
    off += static_cast<std::size_t>(n);
  }
  return true;
}
}  // namespace

ControlServer::ControlServer(EventLoop& loop, std::filesystem::path socketPath, Handler handler)
    : loop_(loop), path_(std::move(socketPath)), handler_(std::move(handler)) {}

ControlServer::~ControlServer() { Stop(); }

bool ControlServer::Start() {
  sockaddr_un addr;
  if (!FillAddress(path_, addr)) {
    LogDiag("control", "socket path too long: " + path_.string());
    return false;
  }
  listen_fd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (listen_fd_ < 0) return false;
  ::unlink(path_.c_str());
  const mode_t old = ::umask(0077);
  const int b = ::bind(listen_fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
  ::umask(old);
  if (b != 0 || ::listen(listen_fd_, 8) != 0 || ::pipe2(wake_, O_CLOEXEC) != 0) {
    LogDiag("control", "cannot listen on " + path_.string() + ": " + std::strerror(errno));
    ::close(listen_fd_);
    listen_fd_ = -1;
    return false;
  }
  ::chmod(path_.c_str(), 0600);
  thread_ = std::thread([this] { Serve(); });
  return true;
}

void ControlServer::Stop() {
  if (!thread_.joinable()) return;
  stop_ = true;
  const char c = 'x';
  [[maybe_unused]] ssize_t w = ::write(wake_[1], &c, 1);
  thread_.join();
  ::close(listen_fd_);
  ::close(wake_[0]);
  ::close(wake_[1]);
  listen_fd_ = -1;
  ::unlink(path_.c_str());
}

void ControlServer::Serve() {
  while (!stop_) {
    pollfd fds[2] = {{listen_fd_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
    if (::poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      return;
    }
    if (fds[1].revents) return;
    if (!(fds[0].revents & POLLIN)) continue;
    const int fd = ::accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    Answer(fd);
    ::close(fd);
  }
}

void ControlServer::Answer(int fd) {
  // Read one line (or until the peer stops writing), bounded in size and time.
  std::string request;
  char buf[512];
  while (request.size() < kMaxRequest && request.find('\n') == std::string::npos) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 2000) <= 0) break;
    const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
    if (n <= 0) break;
    request.append(buf, static_cast<std::size_t>(n));
  }
  if (auto nl = request.find('\n'); nl != std::string::npos) request.resize(nl);
  if (request.size() >= kMaxRequest) {
    WriteAll(fd, "error: request too long\n");
    return;
  }
  auto promise = std::make_shared<std::promise<std::string>>();
  auto reply = promise->get_future();
  loop_.Post([this, promise, request] {
    try {
      promise->set_value(handler_(request));
    } catch (const std::exception& e) {
      promise->set_value(std::string("error: ") + e.what() + "\n");
    }
  });
  // The main thread may be inside a long fixed wait (start-up waits up to 6 s).
  while (!stop_) {
    if (reply.wait_for(std::chrono::milliseconds(100)) == std::future_status::ready) {
      WriteAll(fd, reply.get());
      return;
    }
  }
}

std::optional<std::string> ControlRequest(const std::filesystem::path& socketPath,
                                          const std::string& request, int timeoutMs) {
  sockaddr_un addr;
  if (!FillAddress(socketPath, addr)) return std::nullopt;
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return std::nullopt;
  if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      !WriteAll(fd, request + "\n")) {
    ::close(fd);
    return std::nullopt;
  }
  ::shutdown(fd, SHUT_WR);
  std::string reply;
  char buf[4096];
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                          deadline - std::chrono::steady_clock::now())
                          .count();
    if (left <= 0) {
      ::close(fd);
      return std::nullopt;
    }
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(left)) <= 0) continue;
    const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
    if (n < 0) {
      ::close(fd);
      return std::nullopt;
    }
    if (n == 0) break;
    reply.append(buf, static_cast<std::size_t>(n));
  }
  ::close(fd);
  if (reply.empty()) return std::nullopt;
  return reply;
}

}  // namespace cs
