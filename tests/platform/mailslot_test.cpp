// Mailslots and window endpoints on real AF_UNIX datagram sockets.
#include "platform/mailslot.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/log.h"
#include "platform/message_target.h"
#include "platform/virtual_event_loop.h"
#include "platform/window_endpoint.h"

namespace cs {
namespace {

namespace fs = std::filesystem;

// A socket file whose server is gone, as a crashed emulator leaves it.
void MakeStaleSocket(const fs::path& p) {
  const int fd = ::socket(AF_UNIX, SOCK_DGRAM, 0);
  ASSERT_GE(fd, 0);
  sockaddr_un a{};
  a.sun_family = AF_UNIX;
  std::strncpy(a.sun_path, p.c_str(), sizeof a.sun_path - 1);
  ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
  ::close(fd);
}

class MailslotTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/cs-slot-XXXXXX";
    ASSERT_NE(::mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
    SetLogSink([this](const std::string& line) { log_.push_back(line); });
  }
  void TearDown() override {
    SetLogSink({});
    fs::remove_all(dir_);
  }
  fs::path dir_;
  std::vector<std::string> log_;
};

TEST_F(MailslotTest, OpenExistingOnlyAndStalePathsReplaced) {
  const fs::path p = MailslotPath(dir_, "MAMEKEY");
  MailslotClient c;
  EXPECT_FALSE(c.Open(p));
  EXPECT_EQ(c.LastError(), ENOENT);
  EXPECT_FALSE(fs::exists(p)) << "a writer never creates the mailslot";

  {
    MailslotServer s;
    ASSERT_TRUE(s.Bind(p));
    struct stat st;
    ASSERT_EQ(::lstat(p.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
  }
  MakeStaleSocket(p);
  ASSERT_TRUE(fs::is_socket(p));
  EXPECT_FALSE(c.Open(p));
  EXPECT_EQ(c.LastError(), ECONNREFUSED);

  MailslotServer fresh;
  ASSERT_TRUE(fresh.Bind(p)) << "a stale socket file is replaced";
  EXPECT_TRUE(c.Open(p));
}

TEST_F(MailslotTest, BindLeavesLiveServersAndOtherFilesAlone) {
  const fs::path p = MailslotPath(dir_, "MAMEDLG");
  MailslotServer a, b;
  ASSERT_TRUE(a.Bind(p));
  EXPECT_FALSE(b.Bind(p));
  EXPECT_TRUE(SendMailslotRecord(p, "x", 1)) << "the first server still holds the name";
  std::uint8_t buf[4];
  EXPECT_TRUE(a.Receive(buf, sizeof buf, 1000).has_value());

  const fs::path file = dir_ / "MAMEINP";
  std::ofstream(file) << "keep me";
  EXPECT_FALSE(b.Bind(file));
  EXPECT_TRUE(fs::is_regular_file(file));

  const fs::path longPath = dir_ / std::string(120, 'n');
  EXPECT_FALSE(b.Bind(longPath));
  MailslotClient c;
  EXPECT_FALSE(c.Open(longPath));
}

TEST_F(MailslotTest, RecordsArriveWholeInOrderAndLongOnesShowTruncated) {
  const fs::path p = MailslotPath(dir_, "MAMEINP");
  MailslotServer s;
  ASSERT_TRUE(s.Bind(p));
  MailslotClient c;
  ASSERT_TRUE(c.Open(p));
  std::vector<std::uint8_t> big(448);
  for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<std::uint8_t>(i);
  const std::uint32_t mask = 0x00401004;
  EXPECT_EQ(c.Write(&mask, 4), 4u);
  EXPECT_EQ(c.Write(big.data(), big.size()), big.size());
  EXPECT_EQ(c.Write(&mask, 4), 4u);

  std::array<std::uint8_t, 448> buf{};
  auto r = s.Receive(buf.data(), buf.size(), 1000);
  ASSERT_TRUE(r);
  EXPECT_EQ(r->length, 4u);
  EXPECT_FALSE(r->truncated);
  std::uint32_t got = 0;
  std::memcpy(&got, buf.data(), 4);
  EXPECT_EQ(got, mask);

  r = s.Receive(buf.data(), 216, 1000);  // a reader expecting a shorter record
  ASSERT_TRUE(r);
  EXPECT_EQ(r->length, 448u);
  EXPECT_TRUE(r->truncated);
  EXPECT_EQ(buf[215], 215);

  r = s.Receive(buf.data(), buf.size(), 1000);
  ASSERT_TRUE(r) << "the truncated record did not swallow the next one";
  EXPECT_EQ(r->length, 4u);
  EXPECT_FALSE(s.Receive(buf.data(), buf.size(), 0).has_value());
}

TEST_F(MailslotTest, GoneServerFailsTheWriteWithoutBlockingAndAReopenReachesTheNewOne) {
  const fs::path p = MailslotPath(dir_, "MAMEKEY");
  MailslotClient c;
  {
    MailslotServer s;
    ASSERT_TRUE(s.Bind(p));
    ASSERT_TRUE(c.Open(p));
    EXPECT_EQ(c.Write("abcd", 4), 4u);
  }
  EXPECT_FALSE(fs::exists(p)) << "the server removes its own socket file";
  EXPECT_EQ(c.Write("abcd", 4), 0u);
  EXPECT_EQ(c.LastError(), ECONNREFUSED);

  MailslotServer again;
  ASSERT_TRUE(again.Bind(p));
  EXPECT_EQ(c.Write("abcd", 4), 0u) << "an old handle does not reach a new server";
  ASSERT_TRUE(c.Open(p));
  EXPECT_EQ(c.Write("efgh", 4), 4u);
  char buf[8];
  auto r = again.Receive(buf, sizeof buf, 1000);
  ASSERT_TRUE(r);
  EXPECT_EQ(std::string(buf, r->length), "efgh");
}

TEST_F(MailslotTest, AFullQueueFailsWritesInsteadOfBlocking) {
  const fs::path p = MailslotPath(dir_, "MAMEKEY");
  MailslotServer s;
  ASSERT_TRUE(s.Bind(p));
  MailslotClient c;
  ASSERT_TRUE(c.Open(p));
  int written = 0, refused = 0;
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < 2000; ++i) {
    if (c.Write(&i, sizeof i) == sizeof i) {
      ++written;
    } else {
      ++refused;
      EXPECT_EQ(c.LastError(), EAGAIN);
    }
  }
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  EXPECT_GT(written, 0);
  EXPECT_GT(refused, 0);
  // What was accepted arrives in order.
  int expect = 0, got = 0;
  while (auto r = s.Receive(&got, sizeof got, 0)) {
    EXPECT_EQ(got, expect);
    ++expect;
  }
  EXPECT_EQ(expect, written);
}

TEST_F(MailslotTest, CloseRemovesOnlyItsOwnSocketFile) {
  const fs::path p = MailslotPath(dir_, "MAMEDLG");
  MailslotServer first;
  ASSERT_TRUE(first.Bind(p));
  fs::remove(p);  // someone else takes the name over
  MailslotServer second;
  ASSERT_TRUE(second.Bind(p));
  first.Close();
  EXPECT_TRUE(fs::exists(p));
  EXPECT_TRUE(SendMailslotRecord(p, "x", 1));
}

// A window that records what it receives.
class RecordingWindow final : public MessageTarget {
 public:
  using MessageTarget::MessageTarget;
  std::vector<Message> got;

 protected:
  void WndProc(const Message& m) override { got.push_back(m); }
};

TEST(WindowRecordTest, LayoutIsLittleEndianAndOnlyTwelveBytesDecode) {
  const Message m{WM_EMULATOR_STATUS, 1000, -2};
  const auto r = EncodeWindowRecord(m);
  EXPECT_EQ(r, (std::array<std::uint8_t, 12>{0xF4, 0x05, 0, 0, 0xE8, 0x03, 0, 0, 0xFE, 0xFF, 0xFF,
                                             0xFF}));
  const auto back = DecodeWindowRecord(r);
  ASSERT_TRUE(back);
  EXPECT_EQ(back->msg, m.msg);
  EXPECT_EQ(back->wParam, m.wParam);
  EXPECT_EQ(back->lParam, m.lParam);
  EXPECT_FALSE(DecodeWindowRecord(std::span(r.data(), 11)));
  std::array<std::uint8_t, 13> longer{};
  EXPECT_FALSE(DecodeWindowRecord(longer));
}

TEST(WindowRecordTest, MainWindowFilter) {
  struct Case {
    Message m;
    bool accepted;
  } cases[] = {
      {{WM_EMULATOR_STATUS, 1000, 1000}, true},  {{WM_EMULATOR_STATUS, 2000, 0}, true},
      {{WM_PANEL_COMMAND, 200, 0}, true},        {{WM_PANEL_COMMAND, 100, 6}, false},
      {{WM_PANEL_INPUT, 6, 0}, false},           {{0x0010 /* close */, 0, 0}, false},
      {{WM_USER + 10 /* 0x40A */, 0, 0}, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(AcceptEmulatorMessage(c.m), c.accepted) << c.m.msg << "," << c.m.wParam;
  }
}

TEST_F(MailslotTest, WindowEndpointPostsAcceptedRecordsInOrderAndDropsTheRest) {
  VirtualEventLoop loop;
  RecordingWindow wnd(loop);
  const fs::path p = MailslotPath(dir_, "TDbgFrm");
  {
    WindowEndpoint ep(wnd, AcceptEmulatorMessage);
    ASSERT_TRUE(ep.Start(p));
    struct stat st;
    ASSERT_EQ(::lstat(p.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    EXPECT_TRUE(PostWindowMessage(p, {WM_EMULATOR_STATUS, 50, 100}));
    EXPECT_TRUE(PostWindowMessage(p, {WM_PANEL_INPUT, 6, 0}));  // a forged coin: refused
    EXPECT_TRUE(SendMailslotRecord(p, "short", 5));
    const std::vector<std::uint8_t> longRec(40, 0xF4);
    EXPECT_TRUE(SendMailslotRecord(p, longRec.data(), longRec.size()));
    EXPECT_TRUE(PostWindowMessage(p, {WM_PANEL_COMMAND, 200, 0}));
    EXPECT_TRUE(PostWindowMessage(p, {WM_EMULATOR_STATUS, 1000, 1000}));

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (wnd.got.size() < 3 && std::chrono::steady_clock::now() < deadline) {
      loop.WaitForPosted(std::chrono::milliseconds(100));
      loop.DrainPosted();
    }
    EXPECT_EQ(ep.Malformed(), 2u);
    EXPECT_EQ(ep.Rejected(), 1u);
  }
  ASSERT_EQ(wnd.got.size(), 3u);
  EXPECT_EQ(wnd.got[0].wParam, 50);
  EXPECT_EQ(wnd.got[1].msg, WM_PANEL_COMMAND);
  EXPECT_EQ(wnd.got[2].lParam, 1000);
  EXPECT_FALSE(fs::exists(p)) << "stopping the endpoint removes its socket";
  EXPECT_FALSE(PostWindowMessage(p, {WM_EMULATOR_STATUS, 1, 1}));
}

}  // namespace
}  // namespace cs
