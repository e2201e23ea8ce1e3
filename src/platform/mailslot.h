#pragma once
// Mailslots: one-way record channels from the shell to the emulator, and the same scheme for any
// record an outside process sends to the shell.
//
// A mailslot NAME is an AF_UNIX datagram socket at <ipc>/NAME. The receiving side (the emulator
// for MAMEKEY, MAMEINP and MAMEDLG) binds it; writers only ever connect to an existing one, so a
// writer never creates a mailslot, and a record is delivered whole or not at all.
//
// Threads: one object is used by one thread at a time; different objects are independent.
#include <cstddef>
#include <filesystem>
#include <optional>
#include <string_view>

namespace cs {

// <ipc>/NAME.
std::filesystem::path MailslotPath(const std::filesystem::path& ipcDir, std::string_view name);

// The writing side: a handle on an existing mailslot.
class MailslotClient final {
 public:
  MailslotClient() = default;
  ~MailslotClient() { Close(); }
  MailslotClient(MailslotClient&& other) noexcept;
  MailslotClient& operator=(MailslotClient&& other) noexcept;
  MailslotClient(const MailslotClient&) = delete;
  MailslotClient& operator=(const MailslotClient&) = delete;

  // Opens an existing mailslot (open existing only). False when nobody has bound it (ENOENT),
  // when its server is gone (ECONNREFUSED), or when the path cannot be a socket address.
  // Never blocks; an open handle is closed first.
  bool Open(const std::filesystem::path& path);
  bool IsOpen() const { return fd_ >= 0; }
  // One record in one write, never blocking. Returns the number of bytes written: `size`, or 0
  // when not open, when the server has gone since the open (ECONNREFUSED), or when its queue is
  // full (EAGAIN). The handle stays open either way; the caller decides whether to close it.
  std::size_t Write(const void* data, std::size_t size);
  void Close();
  // errno of the last failed Open or Write (0 after a success).
  int LastError() const { return last_error_; }

 private:
  int fd_ = -1;
  int last_error_ = 0;
};

// Open, one write, close: how every writer except the panel reader sends. True when the whole
// record was written.
bool SendMailslotRecord(const std::filesystem::path& path, const void* data, std::size_t size);

// The receiving side: binds <ipc>/NAME and receives whole records.
class MailslotServer final {
 public:
  struct Record {
    std::size_t length = 0;  // the record's real length, also when it did not fit
    bool truncated = false;  // the record was longer than the buffer; only its start was copied
  };

  MailslotServer() = default;
  ~MailslotServer() { Close(); }
  MailslotServer(const MailslotServer&) = delete;
  MailslotServer& operator=(const MailslotServer&) = delete;

  // Binds the path with mode 0600. A socket file left by a server that is gone is replaced; a
  // live server on the path (EADDRINUSE) or a path that is not a socket is left alone and the
  // bind fails. Logs why it failed.
  bool Bind(const std::filesystem::path& path);
  bool IsBound() const { return fd_ >= 0; }
  const std::filesystem::path& Path() const { return path_; }
  // Readable (poll) while a record waits.
  int Fd() const { return fd_; }

  // Receives one record into buffer. timeoutMs: 0 = do not wait, negative = wait for ever.
  // nullopt when no record came in time, or when not bound.
  std::optional<Record> Receive(void* buffer, std::size_t capacity, int timeoutMs);

  // Closes the socket and removes the path if it is still this server's socket.
  void Close();

 private:
  int fd_ = -1;
  std::filesystem::path path_;
  unsigned long long dev_ = 0, ino_ = 0;  // identity of the socket file this server made
};

}  // namespace cs
