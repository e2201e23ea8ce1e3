// TThrKeyb on a real pseudo-terminal: the controller's side is the pty master, the reader opens
// the slave through <root>/dosdevices/com2 as it would open a serial adapter.
#include "panel/panel_reader.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "panel/panel_bits.h"
#include "panel_test_util.h"
#include "platform/log.h"
#include "platform/mailslot.h"
#include "platform/virtual_event_loop.h"

namespace cs {
namespace {

namespace fs = std::filesystem;
using testing::Press;
using testing::RecordingSink;
using testing::RecordingWindow;
using Clock = std::chrono::steady_clock;

class PanelReaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/cs-panel-XXXXXX";
    ASSERT_NE(::mkdtemp(tmpl), nullptr);
    root_ = tmpl;
    fs::create_directories(root_ / "dosdevices");
    fs::create_directory(root_ / "run");
    fs::permissions(root_ / "run", fs::perms::owner_all);
    char name[128];
    ASSERT_EQ(::openpty(&master_, &slave_, name, nullptr, nullptr), 0);
    fs::create_symlink(name, root_ / "dosdevices" / "com2");
    SetLogSink([this](const std::string& line) {
      std::lock_guard lock(log_mutex_);
      log_.push_back(line);
    });
    reader_ = std::make_unique<TThrKeyb>(DriveMap(root_), running_);
    reader_->TargetWnd = &wnd_;
  }
  void TearDown() override {
    reader_.reset();
    SetLogSink({});
    if (master_ >= 0) ::close(master_);
    if (slave_ >= 0) ::close(slave_);
    fs::remove_all(root_);
  }

  void Write(const std::vector<std::uint8_t>& bytes) {
    written_ += bytes.size();
    std::size_t done = 0;
    while (done < bytes.size()) {
      const ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
      ASSERT_GT(n, 0);
      done += static_cast<std::size_t>(n);
    }
  }
  static std::vector<std::uint8_t> Frames(const std::vector<std::uint32_t>& words) {
    std::vector<std::uint8_t> out;
    for (std::uint32_t w : words) {
      const auto f = EncodeFrame(w);
      out.insert(out.end(), f.begin(), f.end());
    }
    return out;
  }
  // What the decoder makes of these words, as the window should receive it.
  static std::vector<std::string> Expected(const std::vector<std::uint32_t>& words,
                                           bool running = false) {
    PanelFields f;
    CoinLatches l;
    RecordingSink sink;
    for (std::uint32_t w : words) DecodeFrame(w, running, l, f, sink);
    std::vector<std::string> out;
    for (const auto& e : sink.events) {
      if (e.rfind("mask", 0) != 0) out.push_back(e);
    }
    return out;
  }
  // Dispatches the reader's posts until n have arrived or 10 s have passed.
  void WaitForPosts(std::size_t n) {
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    while (wnd_.got.size() < n && Clock::now() < deadline) {
      loop_.WaitForPosted(std::chrono::milliseconds(20));
      loop_.DrainPosted();
    }
  }
  // Until the reader has taken every byte written so far out of the port.
  bool WaitUntilRead() {
    return WaitUntil([this] { return reader_->BytesReceived() == written_; });
  }
  template <typename Pred>
  static bool WaitUntil(Pred p) {
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    while (!p()) {
      if (Clock::now() > deadline) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
  }
  std::size_t LogCount() {
    std::lock_guard lock(log_mutex_);
    return log_.size();
  }

  fs::path root_;
  int master_ = -1, slave_ = -1;
  VirtualEventLoop loop_;
  RecordingWindow wnd_{loop_};
  std::atomic<std::uint8_t> running_{0};
  std::unique_ptr<TThrKeyb> reader_;
  std::atomic<std::size_t> written_{0};
  std::mutex log_mutex_;
  std::vector<std::string> log_;
};

TEST_F(PanelReaderTest, EveryCoinBecomesExactlyOneEventThroughGarbageAndOddWrites) {
  ASSERT_TRUE(reader_->Start());
  EXPECT_TRUE(reader_->Receiving());
  std::vector<std::uint8_t> stream;
  std::vector<std::uint32_t> words;
  std::vector<std::string> expected;
  unsigned seed = 12345;
  auto rnd = [&seed] { return (seed = seed * 1103515245u + 12345u) >> 16; };
  for (int i = 0; i < 60; ++i) {
    const char* coin = i % 2 == 0 ? "COIN1" : "COIN2";
    expected.push_back(i % 2 == 0 ? "in(6,0)" : "in(7,0)");
    const int held = 1 + static_cast<int>(rnd() % 4);
    for (int k = 0; k < held; ++k) words.push_back(Press({coin}));
    words.push_back(kIdleWord);
  }
  for (std::uint32_t w : words) {
    const auto f = EncodeFrame(w);
    stream.insert(stream.end(), f.begin(), f.end());
    // Line noise between frames, without delimiters.
    for (unsigned g = rnd() % 5; g > 0; --g) {
      std::uint8_t b = static_cast<std::uint8_t>(rnd());
      if (b == kStx || b == kEtx) b = 0x0D;
      stream.push_back(b);
    }
  }
  for (std::size_t pos = 0; pos < stream.size();) {
    const std::size_t n = std::min<std::size_t>(1 + rnd() % 13, stream.size() - pos);
    Write({stream.begin() + static_cast<long>(pos), stream.begin() + static_cast<long>(pos + n)});
    pos += n;
  }
  WaitForPosts(expected.size());
  ASSERT_TRUE(WaitUntilRead());
  loop_.WaitForPosted(std::chrono::milliseconds(50));
  loop_.DrainPosted();
  EXPECT_EQ(wnd_.got, expected);
  // Every frame is counted once; the noise between frames makes none.
  EXPECT_TRUE(WaitUntil([&] { return reader_->FramesDecoded() >= words.size(); }));
  EXPECT_EQ(reader_->FramesDecoded(), words.size());
}

TEST_F(PanelReaderTest, FramesSplitAcrossReadsAreJoined) {
  ASSERT_TRUE(reader_->Start());
  const std::vector<std::uint32_t> words = {Press({"P1_UP"}), Press({"P1_B3"}), Press({"COIN1"}),
                                            Press({"P2_B2"}), Press({"SERVICE"})};
  for (std::size_t i = 0; i < words.size(); ++i) {
    const auto f = EncodeFrame(words[i]);
    const std::size_t cut = 1 + i;  // after STX, after byte 0, ... after byte 3
    Write({f.begin(), f.begin() + static_cast<long>(cut)});
    ASSERT_TRUE(WaitUntilRead()) << "the reader takes the first part on its own";
    Write({f.begin() + static_cast<long>(cut), f.end()});
  }
  const auto expected = Expected(words);
  WaitForPosts(expected.size());
  EXPECT_EQ(wnd_.got, expected);
}

TEST_F(PanelReaderTest, ABurstLosesAndReordersNothing) {
  ASSERT_TRUE(reader_->Start());
  // Every frame holds a different button, so every frame leaves its own trace.
  const char* held[] = {"P1_B1",   "P1_B2",   "P1_B3",    "P1_B4", "P1_B5", "P2_UP",
                        "P2_DOWN", "P2_LEFT", "P2_RIGHT", "P2_B1", "P2_B2", "P2_B3"};
  std::vector<std::uint32_t> words;
  for (int i = 0; i < 5000; ++i) words.push_back(Press({held[i % 12]}));
  const auto expected = Expected(words);
  std::thread writer([&] { Write(Frames(words)); });  // blocks while the driver's queue is full
  WaitForPosts(expected.size());
  writer.join();
  ASSERT_EQ(wnd_.got.size(), expected.size());
  EXPECT_EQ(wnd_.got, expected);
}

TEST_F(PanelReaderTest, PausedBytesWaitAndAreProcessedInOrderAfterResume) {
  ASSERT_TRUE(reader_->Start());
  reader_->Pause();
  EXPECT_TRUE(reader_->Paused());
  const std::vector<std::uint32_t> first = {Press({"COIN1"}), kIdleWord, Press({"P1_DOWN"}),
                                            Press({"COIN2"}), Press({"P1_START"})};
  Write(Frames(first));
  ASSERT_TRUE(WaitUntilRead()) << "the reader still takes the bytes into its buffer";
  EXPECT_FALSE(loop_.WaitForPosted(std::chrono::milliseconds(100))) << "but processes none";
  reader_->Resume();
  const auto expected = Expected(first);
  WaitForPosts(expected.size());
  EXPECT_EQ(wnd_.got, expected);

  // More than the receive buffer holds: the rest waits in the driver, and the writer with it.
  reader_->Pause();
  wnd_.got.clear();
  const char* held[] = {"P1_B1", "P1_B2", "P2_B1", "P2_B2", "P2_B3"};
  std::vector<std::uint32_t> many;
  while (many.size() * kFrameSize < TThrKeyb::kReceiveBufferSize + 8000) {
    many.push_back(Press({held[many.size() % 5]}));
  }
  std::thread writer([&] { Write(Frames(many)); });
  EXPECT_FALSE(loop_.WaitForPosted(std::chrono::milliseconds(200)));
  reader_->Resume();
  // The decoder goes on from the state the first frames left (coin latches, LastMask).
  std::vector<std::uint32_t> all = first;
  all.insert(all.end(), many.begin(), many.end());
  std::vector<std::string> more = Expected(all);
  more.erase(more.begin(), more.begin() + static_cast<long>(expected.size()));
  WaitForPosts(more.size());
  writer.join();
  ASSERT_EQ(wnd_.got.size(), more.size());
  EXPECT_EQ(wnd_.got, more);
}

TEST_F(PanelReaderTest, MasksReachTheEmulatorOnlyWhileForwardingAndNotWhilePaused) {
  MailslotServer emulator;
  ASSERT_TRUE(emulator.Bind(MailslotPath(root_ / "run", "MAMEKEY")));
  auto nextMask = [&](int timeoutMs) -> std::optional<std::uint32_t> {
    std::uint32_t m = 0;
    auto r = emulator.Receive(&m, sizeof m, timeoutMs);
    if (!r) return std::nullopt;
    EXPECT_EQ(r->length, 4u);
    return m;
  };
  running_ = 1;
  ASSERT_TRUE(reader_->Start());
  Write(Frames({Press({"P1_UP"})}));
  const auto upMask = static_cast<std::int32_t>(Press({"P1_UP"}) & kMaskChangeBits);
  ASSERT_TRUE(WaitUntil([&] { return reader_->LastMask == upMask; }));
  EXPECT_FALSE(nextMask(0)) << "forwarding off";

  reader_->ForwardStage = 2;
  Write(Frames({Press({"P1_UP"}), Press({"P1_UP", "P2_B1"}), kIdleWord}));
  EXPECT_EQ(nextMask(5000), 0x00040004u) << "the unchanged word sends nothing";
  EXPECT_EQ(nextMask(5000), 0u);

  reader_->Pause();
  Write(Frames({Press({"P1_B1"})}));
  ASSERT_TRUE(WaitUntilRead());
  EXPECT_FALSE(nextMask(100)) << "no reader mask while the main window holds the line";
  reader_->LastMask = 0;
  reader_->Resume();
  EXPECT_EQ(nextMask(5000), 0x40u);

  running_ = 0;  // game over: masks are no longer written
  Write(Frames({Press({"P1_B2"})}));
  EXPECT_FALSE(nextMask(200));
}

TEST_F(PanelReaderTest, AMissingOrUnusablePortEndsTheReaderAtOnce) {
  struct Case {
    const char* name;
    std::function<void(const fs::path& com2)> make;
  } cases[] = {
      {"dangling link", [](const fs::path& l) { fs::create_symlink("/nonexistent/ttyUSB9", l); }},
      {"link to a regular file",
       [](const fs::path& l) {
         std::ofstream(l.string() + ".file") << "not a port";
         fs::create_symlink(l.string() + ".file", l);
       }},
      {"link to a directory", [](const fs::path& l) { fs::create_symlink("/", l); }},
  };
  for (const Case& c : cases) {
    const fs::path com2 = root_ / "dosdevices" / "com2";
    fs::remove(com2);
    c.make(com2);
    const std::size_t before = LogCount();
    TThrKeyb reader(DriveMap(root_), running_);
    reader.TargetWnd = &wnd_;
    EXPECT_FALSE(reader.Start()) << c.name;
    EXPECT_FALSE(reader.Receiving()) << c.name;
    EXPECT_EQ(LogCount(), before + 1) << c.name;
    EXPECT_FALSE(reader.Start()) << c.name << ": nothing is retried";
  }
}

TEST_F(PanelReaderTest, AVanishingPortEndsReceivingWithoutHarm) {
  ASSERT_TRUE(reader_->Start());
  ASSERT_FALSE(reader_->Start()) << "one start only";
  Write(Frames({Press({"COIN1"})}));
  WaitForPosts(1);
  ASSERT_TRUE(WaitUntilRead());
  ::close(slave_);
  slave_ = -1;
  ::close(master_);  // the adapter is pulled
  master_ = -1;
  EXPECT_TRUE(WaitUntil([&] { return !reader_->Receiving(); }));
  EXPECT_GE(LogCount(), 1u);
  EXPECT_EQ(wnd_.got, (std::vector<std::string>{"in(6,0)"}));
  reader_->Pause();  // the main window's controls keep working
  reader_->Resume();
  reader_->Stop();
}

TEST_F(PanelReaderTest, StopClosesThePortPromptly) {
  ASSERT_TRUE(reader_->Start());
  Write(Frames({Press({"P1_B1"})}));
  WaitForPosts(1);
  ::close(slave_);  // only the reader holds the slave now
  slave_ = -1;
  reader_->Stop();
  EXPECT_TRUE(WaitUntil([&] { return !reader_->Receiving(); }));
  pollfd p{master_, POLLOUT, 0};
  EXPECT_TRUE(WaitUntil([&] { return ::poll(&p, 1, 0) >= 0 && (p.revents & POLLHUP) != 0; }))
      << "the controller's side sees the port closed";
}

}  // namespace
}  // namespace cs
