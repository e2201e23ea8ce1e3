// The panel simulator: its command language, its line model in nanoseconds given by the test,
// and the real binary driving a real reader through a pseudo-terminal.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "panel/panel_bits.h"
#include "panel/panel_reader.h"
#include "panel_line.h"
#include "panel_test_util.h"
#include "panelsim_script.h"
#include "platform/virtual_event_loop.h"

extern char** environ;

namespace cs::panelsim {
namespace {

namespace fs = std::filesystem;
using K = Command::Kind;

std::uint32_t Bits(std::initializer_list<const char*> names) {
  std::uint32_t b = 0;
  for (const char* n : names) b |= 1u << *PanelBitByName(n);
  return b;
}

TEST(PanelsimScriptTest, CommandsParse) {
  struct Case {
    const char* line;
    K kind;
    std::uint32_t switches;
    int ms;
    std::vector<std::uint8_t> bytes;
  } cases[] = {
      {"press COIN1", K::kPress, Bits({"COIN1"}), 100, {}},
      {"  PRESS coin1 p1_start 40  # both", K::kPress, Bits({"COIN1", "P1_START"}), 40, {}},
      {"hold P1_START 200", K::kHold, Bits({"P1_START"}), 200, {}},
      {"hold bit26", K::kHold, Bits({"VIDEO_MODE"}), 0, {}},
      {"release", K::kRelease, 0, 0, {}},
      {"release P1_UP P2_B5", K::kRelease, Bits({"P1_UP", "P2_B5"}), 0, {}},
      {"wait 500", K::kWait, 0, 500, {}},
      {"wait\t0\r", K::kWait, 0, 0, {}},
      {"rate 320", K::kRate, 0, 320, {}},
      {"rate 0", K::kRate, 0, 0, {}},
      {"raw 02 fe ff ff ff 03", K::kRaw, 0, 0, {0x02, 0xFE, 0xFF, 0xFF, 0xFF, 0x03}},
      {"raw 02FEffFF 0d", K::kRaw, 0, 0, {0x02, 0xFE, 0xFF, 0xFF, 0x0D}},
      {"quit", K::kQuit, 0, 0, {}},
  };
  for (const Case& c : cases) {
    std::vector<Command> out;
    std::string error;
    ASSERT_TRUE(ParseLine(c.line, 1, &out, &error)) << c.line << ": " << error;
    ASSERT_EQ(out.size(), 1u) << c.line;
    EXPECT_EQ(out[0].kind, c.kind) << c.line;
    EXPECT_EQ(out[0].switches, c.switches) << c.line;
    EXPECT_EQ(out[0].ms, c.ms) << c.line;
    EXPECT_EQ(out[0].bytes, c.bytes) << c.line;
  }
  for (const char* blank : {"", "   ", "# a comment", "\t# x"}) {
    std::vector<Command> out;
    std::string error;
    EXPECT_TRUE(ParseLine(blank, 1, &out, &error));
    EXPECT_TRUE(out.empty()) << blank;
  }
}

TEST(PanelsimScriptTest, BadLinesAreRefusedWithTheirLineNumber) {
  const char* bad[] = {
      "press",
      "press COIN3",
      "press COIN1 -5",
      "press COIN1 3600001",
      "hold 200",
      "release 5",
      "wait",
      "wait 1 2",
      "wait x",
      "wait 99999999999",
      "rate 321",
      "rate -1",
      "raw",
      "raw 0",
      "raw zz",
      "raw 02 0x03",
      "quit now",
      "jump COIN1",
      "press BIT32",
  };
  for (const char* line : bad) {
    std::vector<Command> out;
    std::string error;
    EXPECT_FALSE(ParseLine(line, 7, &out, &error)) << line;
    EXPECT_EQ(error.rfind("line 7: ", 0), 0u) << line << " -> " << error;
    EXPECT_TRUE(out.empty()) << line;
  }
  std::string tooMany = "raw";
  for (int i = 0; i < 4097; ++i) tooMany += " 41";
  std::vector<Command> out;
  std::string error;
  EXPECT_FALSE(ParseLine(tooMany, 1, &out, &error));

  const Script s = ParseScript("press COIN1\n\nwait 10\nfly\npress COIN2\n");
  EXPECT_EQ(s.error, "line 4: unknown command 'fly'");
}

// Bytes the line puts out, with the time each left.
struct Sent {
  std::int64_t at;
  std::uint8_t byte;
};

std::vector<Sent> RunLine(PanelLine* line, ScriptPlayer* player, std::int64_t from,
                          std::int64_t to) {
  std::vector<Sent> sent;
  std::int64_t now = from;
  while (now <= to) {
    std::int64_t wake = player ? player->Run(now, line) : kNever;
    std::vector<std::uint8_t> out;
    wake = std::min(wake, line->Take(now, &out));
    for (std::uint8_t b : out) sent.push_back({now, b});
    if (wake == kNever) break;
    now = std::max(wake, now + 1);
  }
  return sent;
}

// The words of the complete frames, with the time of each frame's STX.
std::vector<std::pair<std::int64_t, std::uint32_t>> Words(const std::vector<Sent>& sent) {
  std::vector<std::pair<std::int64_t, std::uint32_t>> out;
  for (std::size_t i = 0; i + 5 < sent.size(); ++i) {
    if (sent[i].byte != kStx || sent[i + 5].byte != kEtx) continue;
    std::uint32_t w = 0;
    for (int k = 0; k < 4; ++k) w |= std::uint32_t{sent[i + 1 + k].byte} << (8 * k);
    out.push_back({sent[i].at, w});
    i += 5;
  }
  return out;
}

constexpr std::int64_t kMs = 1'000'000;
constexpr std::int64_t kT0 = 1'000 * kMs;

TEST(PanelLineTest, IdleFramesAtTheRateAndBytesAtTheLinePace) {
  PanelLine line(10, kT0);
  const auto sent = RunLine(&line, nullptr, kT0, kT0 + 1005 * kMs);
  const auto words = Words(sent);
  ASSERT_EQ(words.size(), 11u);  // at 0, 100, ... 1000 ms
  for (std::size_t i = 0; i < words.size(); ++i) {
    EXPECT_EQ(words[i].first, kT0 + static_cast<std::int64_t>(i) * 100 * kMs);
    EXPECT_EQ(words[i].second, kIdleWord);
  }
  for (std::size_t i = 1; i < 6; ++i) EXPECT_EQ(sent[i].at - sent[i - 1].at, kByteNs);
}

TEST(PanelLineTest, AtTheLineLimitFramesFollowEachOtherWithoutOverlap) {
  PanelLine line(kMaxRate, kT0);
  const auto sent = RunLine(&line, nullptr, kT0, kT0 + 1000 * kMs);
  const auto words = Words(sent);
  EXPECT_GE(words.size(), 320u);
  EXPECT_LE(words.size(), 321u);
  for (std::size_t i = 1; i < sent.size(); ++i) {
    ASSERT_GE(sent[i].at - sent[i - 1].at, kByteNs) << "byte " << i;
  }
}

TEST(PanelLineTest, ChangesSendAFrameAtOnceAndRateZeroOnlyThen) {
  PanelLine line(0, kT0);
  EXPECT_TRUE(RunLine(&line, nullptr, kT0, kT0 + 500 * kMs).empty());
  line.SetPressed(Bits({"COIN1"}), kT0 + 500 * kMs);
  line.SetPressed(0, kT0 + 501 * kMs);  // while the first frame is still on the line
  const auto words = Words(RunLine(&line, nullptr, kT0 + 500 * kMs, kT0 + 2000 * kMs));
  ASSERT_EQ(words.size(), 2u);
  EXPECT_EQ(words[0], std::make_pair(kT0 + 500 * kMs, ~Bits({"COIN1"})));
  EXPECT_EQ(words[1].second, kIdleWord);
  EXPECT_EQ(words[1].first, kT0 + 500 * kMs + 6 * kByteNs) << "queued behind the first";
}

TEST(PanelLineTest, ScriptPressesHoldsAndRawBytes) {
  PanelLine line(20, kT0);
  ScriptPlayer player;
  const Script s = ParseScript(
      "press COIN1 30\n"
      "press COIN1 0\n"
      "wait 100\n"
      "hold P1_UP P1_B1 120\n"
      "release P1_B1\n"
      "wait 60\n"
      "release\n"
      "raw 02 00 00 00\n"
      "rate 0\n"
      "quit\n"
      "press COIN2\n");
  ASSERT_EQ(s.error, "");
  player.Append(s.commands);
  const auto sent = RunLine(&line, &player, kT0, kT0 + 2000 * kMs);
  EXPECT_TRUE(player.QuitRequested());
  std::vector<std::uint32_t> words;
  for (const auto& [at, w] : Words(sent)) {
    if (words.empty() || words.back() != w) words.push_back(w);  // idle repeats collapse
  }
  EXPECT_EQ(words,
            (std::vector<std::uint32_t>{~Bits({"COIN1"}), kIdleWord, ~Bits({"COIN1"}), kIdleWord,
                                        ~Bits({"P1_UP", "P1_B1"}), ~Bits({"P1_UP"}), kIdleWord}));
  // The raw bytes come last, as they stand; COIN2 after quit never plays.
  ASSERT_GE(sent.size(), 4u);
  EXPECT_EQ(sent[sent.size() - 4].byte, 0x02);
  EXPECT_EQ(sent.back().byte, 0x00);
  // The hold lasted its 120 ms, then the release; the up stayed 60 ms more.
  const auto timed = Words(sent);
  std::int64_t upStart = 0, b1End = 0, upEnd = 0;
  for (const auto& [at, w] : timed) {
    if (w == ~Bits({"P1_UP", "P1_B1"}) && upStart == 0) upStart = at;
    if (w == ~Bits({"P1_UP"}) && b1End == 0) b1End = at;
    if (w == kIdleWord && b1End != 0 && upEnd == 0) upEnd = at;
  }
  EXPECT_EQ(b1End - upStart, 120 * kMs);
  EXPECT_EQ(upEnd - b1End, 60 * kMs);
}

// The real binary, the real reader.
class PanelsimBinaryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/cs-psim-XXXXXX";
    ASSERT_NE(::mkdtemp(tmpl), nullptr);
    root_ = tmpl;
  }
  void TearDown() override {
    if (pid_ > 0) {
      ::kill(pid_, SIGTERM);
      Wait();
    }
    fs::remove_all(root_);
  }
  void Spawn(std::vector<std::string> args) {
    args.insert(args.begin(), {COINSHELL_PANELSIM, "--root", root_.string()});
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&fa, STDOUT_FILENO, Stdout().c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ASSERT_EQ(posix_spawn(&pid_, argv[0], &fa, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&fa);
  }
  int Wait() {
    int status = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (::waitpid(pid_, &status, WNOHANG) == 0) {
      if (std::chrono::steady_clock::now() > deadline) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
        return -1;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  fs::path Stdout() const { return root_ / "panelsim.out"; }
  // The simulator's last line of output.
  std::string LastLine() const {
    std::ifstream in(Stdout());
    std::string line, last;
    while (std::getline(in, line)) last = line;
    return last;
  }
  fs::path Script(const std::string& text) {
    const fs::path p = root_ / "panel.script";
    std::ofstream(p) << text;
    return p;
  }
  fs::path root_;
  pid_t pid_ = -1;
};

TEST_F(PanelsimBinaryTest, AScriptReachesTheReaderAsPanelCodes) {
  Spawn({"--rate", "50", "--script",
         Script("wait 100\n"
                "press COIN1 40\n"
                "press COIN1 40\n"
                "press COIN2 40\n"
                "hold P1_DOWN 100\n"
                "release\n"
                "press P2_B1 40\n"
                "wait 100\n"
                "quit\n")
             .string()});
  const fs::path com2 = root_ / "dosdevices" / "com2";
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!fs::is_symlink(com2) && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  ASSERT_TRUE(fs::is_symlink(com2));

  VirtualEventLoop loop;
  testing::RecordingWindow wnd(loop);
  std::atomic<std::uint8_t> running{0};
  TThrKeyb reader(DriveMap(root_), running);
  reader.TargetWnd = &wnd;
  ASSERT_TRUE(reader.Start());
  EXPECT_EQ(Wait(), 0);
  EXPECT_FALSE(fs::exists(fs::symlink_status(com2))) << "the simulator removes its link";
  while (loop.WaitForPosted(std::chrono::milliseconds(200))) loop.DrainPosted();

  std::vector<std::string> coins, firsts;
  for (const auto& g : wnd.got) {
    if (g == "in(6,0)" || g == "in(7,0)") coins.push_back(g);
    if (firsts.empty() || firsts.back() != g) firsts.push_back(g);
  }
  EXPECT_EQ(coins, (std::vector<std::string>{"in(6,0)", "in(6,0)", "in(7,0)"}));
  const auto down = std::find(firsts.begin(), firsts.end(), "cmd(208)");
  const auto b1 = std::find(firsts.begin(), firsts.end(), "in(30,50)");
  EXPECT_NE(down, firsts.end());
  EXPECT_NE(b1, firsts.end());
  EXPECT_LT(down, b1);
  const auto downs = std::count(wnd.got.begin(), wnd.got.end(), "cmd(208)");
  EXPECT_GE(downs, 3) << "held 100 ms at 50 frames a second";
  EXPECT_LE(downs, 9);
  // Its closing line counts what went onto the line, as the reader counted it.
  EXPECT_EQ(LastLine(), "coinshell-panelsim: sent " + std::to_string(reader.FramesDecoded()) +
                            " frames (" + std::to_string(reader.BytesReceived()) +
                            " bytes), 0 bytes lost");
  EXPECT_GE(reader.FramesDecoded(), 8u) << "a frame per change and the idle ones";
}

TEST_F(PanelsimBinaryTest, RefusesToReplaceAnythingButALinkAndRejectsBadScripts) {
  fs::create_directories(root_ / "dosdevices");
  std::ofstream(root_ / "dosdevices" / "COM2") << "a file";
  Spawn({"--exit-at-end"});
  EXPECT_EQ(Wait(), 1);
  EXPECT_TRUE(fs::is_regular_file(root_ / "dosdevices" / "COM2"));

  Spawn({"--script", Script("press COIN1\npress COIN9\n").string()});
  EXPECT_EQ(Wait(), 2);
  Spawn({"--rate", "1000"});
  EXPECT_EQ(Wait(), 2);
}

}  // namespace
}  // namespace cs::panelsim
