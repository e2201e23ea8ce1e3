#pragma once
// Helpers of the emulator-link tests: records written by hand (offset, 32-bit value) so that an
// expected record never comes from the code under test, a temporary cabinet directory, a
// mailslot peer, and unique shared-memory names for tests that run side by side.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "platform/mailslot.h"
#include "platform/virtual_event_loop.h"

namespace cs::testing {

namespace fs = std::filesystem;

// A record of `size` zero bytes with the given little-endian words put in by hand.
inline std::vector<std::uint8_t> HandRecord(
    std::size_t size, std::initializer_list<std::pair<std::size_t, std::uint32_t>> words,
    std::initializer_list<std::pair<std::size_t, std::string>> texts = {}) {
  std::vector<std::uint8_t> b(size, 0);
  for (const auto& [off, v] : words) {
    for (int i = 0; i < 4; ++i) b.at(off + i) = static_cast<std::uint8_t>(v >> (8 * i));
  }
  for (const auto& [off, t] : texts) {
    for (std::size_t i = 0; i < t.size(); ++i) b.at(off + i) = static_cast<std::uint8_t>(t[i]);
  }
  return b;
}

// Readable difference: the first offset where two records differ.
inline std::string FirstDifference(const std::vector<std::uint8_t>& a,
                                   const std::vector<std::uint8_t>& b) {
  if (a.size() != b.size())
    return "sizes " + std::to_string(a.size()) + " and " + std::to_string(b.size());
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a[i] != b[i]) {
      return "offset " + std::to_string(i) + ": " + std::to_string(a[i]) + " vs " +
             std::to_string(b[i]);
    }
  }
  return "none";
}

// A temporary cabinet: <dir>/run (0700) for the sockets, <dir>/shell for the game files.
class TempCabinet {
 public:
  TempCabinet() {
    char tmpl[] = "/tmp/cs-gamelink-XXXXXX";
    if (::mkdtemp(tmpl) == nullptr) ADD_FAILURE() << "mkdtemp";
    root_ = tmpl;
    fs::create_directory(root_ / "run");
    fs::permissions(root_ / "run", fs::perms::owner_all);
    fs::create_directory(root_ / "shell");
  }
  ~TempCabinet() {
    std::error_code ec;
    fs::remove_all(root_, ec);
  }
  const fs::path& Root() const { return root_; }
  fs::path Ipc() const { return root_ / "run"; }
  fs::path Files() const { return root_ / "shell"; }

 private:
  fs::path root_;
};

// One bound mailslot and what arrived on it.
class SlotPeer {
 public:
  SlotPeer(const fs::path& ipc, std::string_view name) {
    EXPECT_TRUE(server_.Bind(MailslotPath(ipc, name)));
  }
  // Every record waiting now (none waits long: the senders write synchronously).
  std::vector<std::vector<std::uint8_t>> Take() {
    std::vector<std::vector<std::uint8_t>> out;
    std::vector<std::uint8_t> buf(4096);
    while (auto r = server_.Receive(buf.data(), buf.size(), 0)) {
      out.emplace_back(buf.begin(), buf.begin() + static_cast<long>(r->length));
    }
    return out;
  }
  MailslotServer& Server() { return server_; }

 private:
  MailslotServer server_;
};

inline std::uint32_t Word(const std::vector<std::uint8_t>& b, std::size_t off) {
  return static_cast<std::uint32_t>(b.at(off)) | (static_cast<std::uint32_t>(b.at(off + 1)) << 8) |
         (static_cast<std::uint32_t>(b.at(off + 2)) << 16) |
         (static_cast<std::uint32_t>(b.at(off + 3)) << 24);
}

// A virtual loop whose Sleep first calls a hook (with the virtual time before the sleep): a test
// sees what a sequence has sent at each of its waits, and can act on the world meanwhile.
class HookedLoop final : public EventLoop {
 public:
  std::function<void(std::int64_t nowMs, int sleepMs)> onSleep;
  VirtualEventLoop inner;

  const Clock& clock() const override { return inner.clock(); }
  void Post(Task task) override { inner.Post(std::move(task)); }
  TimerId Schedule(std::int64_t delayMs, Task task) override {
    return inner.Schedule(delayMs, std::move(task));
  }
  void Cancel(TimerId id) override { inner.Cancel(id); }
  void Sleep(int ms) override {
    if (onSleep) onSleep(inner.NowMs(), ms);
    inner.Sleep(ms);
  }
  void RunUntil(const std::function<bool()>& done) override { inner.RunUntil(done); }
};

// "/cs-test-<pid>-<tag>": a shared memory name no other test process uses.
inline std::string UniqueShmName(const std::string& tag) {
  return "/cs-test-" + std::to_string(::getpid()) + "-" + tag;
}

}  // namespace cs::testing
