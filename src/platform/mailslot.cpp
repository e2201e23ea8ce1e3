#include "platform/mailslot.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "platform/log.h"

namespace cs {

namespace {

// Fills a socket address; false (ENAMETOOLONG) when the path does not fit.
bool MakeAddress(const std::filesystem::path& path, sockaddr_un* addr) {
  const std::string& s = path.native();
  std::memset(addr, 0, sizeof(*addr));
  addr->sun_family = AF_UNIX;
  if (s.empty() || s.size() >= sizeof(addr->sun_path) || s.find('\0') != std::string::npos) {
    errno = ENAMETOOLONG;
    return false;
  }
  std::memcpy(addr->sun_path, s.data(), s.size());
  return true;
}

int NewSocket() { return ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0); }

}  // namespace

std::filesystem::path MailslotPath(const std::filesystem::path& ipcDir, std::string_view name) {
  return ipcDir / std::string(name);
}

MailslotClient::MailslotClient(MailslotClient&& other) noexcept
    : fd_(other.fd_), last_error_(other.last_error_) {
  other.fd_ = -1;
}

MailslotClient& MailslotClient::operator=(MailslotClient&& other) noexcept {
  if (this != &other) {
    Close();
    fd_ = other.fd_;
    last_error_ = other.last_error_;
    other.fd_ = -1;
  }
  return *this;
}

bool MailslotClient::Open(const std::filesystem::path& path) {
  Close();
  sockaddr_un addr;
  if (!MakeAddress(path, &addr)) {
    last_error_ = errno;
    return false;
  }
  const int fd = NewSocket();
  if (fd < 0) {
    last_error_ = errno;
    return false;
  }
  // connect() on a datagram socket only names the peer: it fails at once for a missing path
  // (ENOENT) or a socket file without a server (ECONNREFUSED), and never waits.
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof(addr)) != 0) {
    last_error_ = errno;
    ::close(fd);
    return false;
  }
  fd_ = fd;
  last_error_ = 0;
  return true;
}

std::size_t MailslotClient::Write(const void* data, std::size_t size) {
  if (fd_ < 0) {
    last_error_ = EBADF;
    return 0;
  }
  ssize_t n;
  do {
    n = ::send(fd_, data, size, MSG_NOSIGNAL | MSG_DONTWAIT);
  } while (n < 0 && errno == EINTR);
  if (n < 0) {
    last_error_ = errno;
    return 0;
  }
  last_error_ = 0;
  return static_cast<std::size_t>(n);
}

void MailslotClient::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

bool SendMailslotRecord(const std::filesystem::path& path, const void* data, std::size_t size) {
  MailslotClient slot;
  if (!slot.Open(path)) return false;
  return slot.Write(data, size) == size;
}

bool MailslotServer::Bind(const std::filesystem::path& path) {
  Close();
  sockaddr_un addr;
  if (!MakeAddress(path, &addr)) {
    LogDiag("mailslot", "path too long for a socket: " + path.string());
    return false;
  }
  struct stat st;
  if (::lstat(path.c_str(), &st) == 0) {
    if (!S_ISSOCK(st.st_mode)) {
      LogDiag("mailslot", path.string() + " exists and is not a socket; left alone");
      return false;
    }
    // A socket file: a live server answers a connect, a stale one refuses it.
    MailslotClient probe;
    if (probe.Open(path)) {
      LogDiag("mailslot", path.string() + " is served by another process");
      return false;
    }
    if (probe.LastError() == ECONNREFUSED) ::unlink(path.c_str());
  }
  const int fd = NewSocket();
  if (fd < 0) {
    LogDiag("mailslot", std::string("socket: ") + std::strerror(errno));
    return false;
  }
  if (::bind(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof(addr)) != 0) {
    LogDiag("mailslot", "bind " + path.string() + ": " + std::strerror(errno));
    ::close(fd);
    return false;
  }
  // Only the cabinet's own user may write to it.
  if (::chmod(path.c_str(), 0600) != 0 || ::lstat(path.c_str(), &st) != 0) {
    LogDiag("mailslot", "chmod " + path.string() + ": " + std::strerror(errno));
    ::close(fd);
    ::unlink(path.c_str());
    return false;
  }
  fd_ = fd;
  path_ = path;
  dev_ = st.st_dev;
  ino_ = st.st_ino;
  return true;
}

std::optional<MailslotServer::Record> MailslotServer::Receive(void* buffer, std::size_t capacity,
                                                              int timeoutMs) {
  if (fd_ < 0) return std::nullopt;
  pollfd p{fd_, POLLIN, 0};
  int r;
  do {
    r = ::poll(&p, 1, timeoutMs < 0 ? -1 : timeoutMs);
  } while (r < 0 && errno == EINTR);
  if (r <= 0) return std::nullopt;
  ssize_t n;
  do {
    // MSG_TRUNC: the return value is the record's real length even when it did not fit.
    n = ::recv(fd_, buffer, capacity, MSG_TRUNC | MSG_DONTWAIT);
  } while (n < 0 && errno == EINTR);
  if (n < 0) return std::nullopt;
  const auto len = static_cast<std::size_t>(n);
  return Record{len, len > capacity};
}

void MailslotServer::Close() {
  if (fd_ < 0) return;
  ::close(fd_);
  fd_ = -1;
  struct stat st;
  if (::lstat(path_.c_str(), &st) == 0 && st.st_dev == dev_ && st.st_ino == ino_) {
    ::unlink(path_.c_str());
  }
  path_.clear();
}

}  // namespace cs
