#pragma once
// The operator's control channel: a stream socket (mode 0600) where each connection carries one
// request line and gets one reply. Requests are answered on the main thread, in turn with every
// other posted message, so a reply always shows a consistent state.
#include <atomic>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <thread>

#include "platform/event_loop.h"

namespace cs {

class ControlServer {
 public:
  // handler runs on the main thread and returns the reply text.
  using Handler = std::function<std::string(const std::string& request)>;

  ControlServer(EventLoop& loop, std::filesystem::path socketPath, Handler handler);
  ~ControlServer();
  ControlServer(const ControlServer&) = delete;
  ControlServer& operator=(const ControlServer&) = delete;

  // Binds (a stale socket file is replaced) and starts accepting. False with a log line on error.
  bool Start();
  void Stop();

 private:
  void Serve();
  void Answer(int fd);

  EventLoop& loop_;
  std::filesystem::path path_;
  Handler handler_;
  int listen_fd_ = -1;
  int wake_[2] = {-1, -1};
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

// Client side: sends one request, returns the reply, or nullopt when the server is not there or
// does not answer within timeoutMs.
std::optional<std::string> ControlRequest(const std::filesystem::path& socketPath,
                                          const std::string& request, int timeoutMs);

}  // namespace cs
