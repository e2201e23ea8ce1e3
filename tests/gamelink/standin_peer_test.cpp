// The shell's side of the emulator link against the real stand-in process: real datagram
// sockets both ways, the real shared frame. The stand-in's record log must hold exactly the
// records the shell sent, and its painted blocks must set exactly the flags its game shows.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <regex>
#include <sstream>
#include <thread>

#include "gamelink/check_settings.h"
#include "gamelink/emulator_keys.h"
#include "gamelink/screen_check.h"
#include "gamelink_test_util.h"
#include "platform/log.h"
#include "platform/process.h"
#include "platform/window_endpoint.h"
#include "standin_game.h"

#ifndef COINSHELL_STANDIN
#error "COINSHELL_STANDIN must name the stand-in binary"
#endif

namespace cs {
namespace {

using testing::TempCabinet;
using testing::UniqueShmName;
using Clock = std::chrono::steady_clock;

// The main window's side: records what the emulator posts.
class Window final : public MessageTarget {
 public:
  using MessageTarget::MessageTarget;
  std::vector<Message> got;

 protected:
  void WndProc(const Message& m) override { got.push_back(m); }
};

class StandinPeerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetLogSink([](const std::string&) {});
    ASSERT_EQ(Run({"--make-check-files", "GALAXO", cab_.Files().string()}), 0);
    ASSERT_TRUE(comp_.CreateSharedBlock());
    ASSERT_TRUE(endpoint_.Start(cab_.Ipc() / "TDbgFrm"));
  }
  void TearDown() override {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    endpoint_.Stop();
    SetLogSink({});
  }

  static int Run(const std::vector<std::string>& args,
                 std::vector<std::pair<std::string, std::string>> env = {}) {
    SpawnRequest r{COINSHELL_STANDIN, args, {}, std::move(env), true};
    const auto pid = SpawnDetached(r);
    if (!pid) return -1;
    int status = 0;
    ::waitpid(*pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  // Starts the stand-in as the shell launches the emulator.
  void Launch(std::vector<std::string> extra = {}) {
    std::vector<std::string> args = {"-noswitchbpp", "-noswitchres", "-notriplebuffer", "-sr",
                                     "22050"};
    args.insert(args.end(), extra.begin(), extra.end());
    args.push_back("GALAXO");
    SpawnRequest r{COINSHELL_STANDIN,
                   args,
                   cab_.Root(),
                   {{"COINSHELL_IPC", cab_.Ipc().string()},
                    {"COINSHELL_SHM", shm_},
                    {"COINSHELL_STANDIN_LOG", (cab_.Root() / "standin.jsonl").string()},
                    {"COINSHELL_STANDIN_MAX_SECONDS", "60"}},
                   true};
    const auto pid = SpawnDetached(r);
    ASSERT_TRUE(pid);
    pid_ = *pid;
  }

  // Dispatches posted messages (and runs `each`) until pred holds or 15 s have passed.
  bool WaitFor(const std::function<bool()>& pred, const std::function<void()>& each = {}) {
    const auto deadline = Clock::now() + std::chrono::seconds(15);
    while (Clock::now() < deadline) {
      loop_.DrainPosted();
      if (each) each();
      if (pred()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
  }
  bool Got(std::uint32_t msg, std::int32_t w, std::int32_t l) {
    for (const auto& m : wnd_.got) {
      if (m.msg == msg && m.wParam == w && m.lParam == l) return true;
    }
    return false;
  }
  std::vector<int> SetFlags() {
    std::vector<int> on;
    for (int i = 0; i < kRegionCount; ++i) {
      if (GameFlags::Get(RegionFlag(flags_, i))) on.push_back(i);
    }
    return on;
  }
  void ClearFlags() {
    for (int i = 0; i < kRegionCount; ++i) GameFlags::Set(RegionFlag(flags_, i), false);
  }
  // Runs screen-check passes (past the warm-up) until the flags are exactly `expected`.
  bool FlagsBecome(const std::vector<int>& expected) {
    return WaitFor([&] { return SetFlags() == expected; }, [&] { comp_.Loop(); });
  }
  // Prepares and launches, answers the request for the settings with the start check.
  void LaunchAndStartCheck(std::vector<std::string> extra = {}) {
    ASSERT_TRUE(check_.PrepareLaunch("GALAXO", flags_));
    GameFlags::Set(flags_.EmulatorRunning, true);
    // Nothing of an earlier game may match: only this peer's blocks count.
    std::memset(comp_.Block()->Data(), 0, kSharedFrameSize);
    Launch(std::move(extra));
    ASSERT_TRUE(WaitFor([&] { return Got(WM_PANEL_COMMAND, 200, 0); }));
    EXPECT_TRUE(Got(WM_EMULATOR_STATUS, 100, 100)) << "loading progress came first";
    check_.BtcompareClick();
    sentCheck_ = check_.CheckRec.Encode();
    for (int i = 0; i <= TThrComp::kWarmUpPasses; ++i) comp_.Loop();
    ClearFlags();
  }
  // The main window's hold after a start: it keeps clearing flags while the emulator's picture
  // catches up (a frame or two).
  void KeepClearing(int ms) {
    const auto end = Clock::now() + std::chrono::milliseconds(ms);
    while (Clock::now() < end) {
      comp_.Loop();
      ClearFlags();
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }
  std::vector<std::string> LogLines() {
    std::ifstream in(cab_.Root() / "standin.jsonl");
    std::vector<std::string> lines;
    for (std::string l; std::getline(in, l);) lines.push_back(l);
    return lines;
  }

  TempCabinet cab_;
  std::string shm_ = UniqueShmName("standin");
  VirtualEventLoop loop_;
  Window wnd_{loop_};
  WindowEndpoint endpoint_{wnd_, AcceptEmulatorMessage};
  GameFlags flags_;
  TFrmCheck check_{loop_, cab_.Ipc(), cab_.Files()};
  TThrComp comp_{flags_, check_, shm_};
  EmulatorKeys keys_{loop_, cab_.Ipc(), flags_};
  std::array<std::uint8_t, CheckRecord::kSize> sentCheck_{};
  pid_t pid_ = -1;
};

TEST_F(StandinPeerTest, AWholeGameThroughTheRealPeer) {
  LaunchAndStartCheck({"--play-ms", "1500"});
  // Attract: both players' start pictures and the start picture.
  ASSERT_TRUE(FlagsBecome({0, 3, 6})) << "got flags " << ::testing::PrintToString(SetFlags());

  keys_.CoinForPlayer1();
  keys_.StartPlayer1();
  ASSERT_TRUE(WaitFor([&] { return Got(WM_EMULATOR_STATUS, 2000, 1000); }));
  // The main window takes player 1 as playing; player 2 still shows its start picture.
  KeepClearing(200);
  ASSERT_TRUE(FlagsBecome({3}));
  for (int i = 0; i < 20; ++i) {
    comp_.Loop();
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_FALSE(flags_.P1Idle()) << "no P1 picture while player 1 plays";
  check_.ShowEmulatorText(2, "Credits 2");

  // Game over after the play time: the players' game-over pictures.
  ASSERT_TRUE(FlagsBecome({1, 3, 4}));
  const std::string prompt = StartPromptText(2);
  check_.ShowEmulatorText(1, prompt);
  keys_.ExitOnExitButton();
  EXPECT_FALSE(flags_.Running());
  ASSERT_TRUE(WaitFor([&] { return Got(WM_EMULATOR_STATUS, 1000, 1000); }));
  int status = 0;
  ASSERT_EQ(::waitpid(pid_, &status, 0), pid_);
  pid_ = -1;
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "a clean end";

  // The peer's log holds exactly what the shell sent, in order.
  std::vector<std::string> keys, checks, dlgs;
  const std::regex slot("\"slot\":\"(MAME[A-Z]+)\".*\"hex\":\"([0-9a-f]*)\"");
  for (const auto& l : LogLines()) {
    std::smatch m;
    if (!std::regex_search(l, m, slot)) continue;
    (m[1] == "MAMEKEY" ? keys : m[1] == "MAMEINP" ? checks : dlgs).push_back(m[2]);
  }
  EXPECT_EQ(keys, (std::vector<std::string>{"01000000", "00000000", "02000000", "00000000",
                                            "00008000", "00000000"}));
  ASSERT_EQ(checks.size(), 1u) << "the stop preview before the launch had nobody to reach";
  std::string hex;
  for (std::uint8_t b : sentCheck_) {
    char two[3];
    std::snprintf(two, sizeof two, "%02x", b);
    hex += two;
  }
  EXPECT_EQ(checks[0], hex);
  ASSERT_EQ(dlgs.size(), 2u);
  const DlgRecord last = check_.DlgRec;
  EXPECT_EQ(last.Slot1String(), prompt);
  EXPECT_NE(dlgs[1].find("50726573732050312074"), std::string::npos) << "\"Press P1 t\" in slot 1";
}

TEST_F(StandinPeerTest, EveryBlockFormatGivesTheSameFlags) {
  for (const auto& extra : std::vector<std::vector<std::string>>{{"--dib-bits", "16", "--top-down"},
                                                                 {"--dib-bits", "24"}}) {
    SCOPED_TRACE(extra[1]);
    wnd_.got.clear();
    LaunchAndStartCheck(extra);
    EXPECT_TRUE(FlagsBecome({0, 3, 6})) << "got flags " << ::testing::PrintToString(SetFlags());
    keys_.AutomaticExit();
    int status = 0;
    ASSERT_EQ(::waitpid(pid_, &status, 0), pid_);
    pid_ = -1;
    loop_.DrainPosted();
    EXPECT_TRUE(WaitFor([&] { return Got(WM_EMULATOR_STATUS, 1000, 1000); }));
  }
}

TEST_F(StandinPeerTest, BadCommandLinesAndASecondEmulatorAreRefused) {
  const std::pair<std::string, std::string> ipc{"COINSHELL_IPC", cab_.Ipc().string()};
  EXPECT_EQ(Run({"../GALAXO"}, {ipc}), 2) << "not a short name";
  EXPECT_EQ(Run({"GALAXO"}), 2) << "no COINSHELL_IPC";
  EXPECT_EQ(Run({"--make-check-files", "a/b", cab_.Files().string()}), 2);
  EXPECT_EQ(Run({"--dib-bits", "8", "GALAXO"}, {ipc}), 2);
  Launch();
  ASSERT_TRUE(WaitFor([&] { return Got(WM_PANEL_COMMAND, 200, 0); }));
  EXPECT_EQ(Run({"GALAXO"}, {ipc, {"COINSHELL_SHM", shm_}}), 1) << "its mailslots are taken";
  // SIGTERM is an orderly end: the end message still comes.
  ::kill(pid_, SIGTERM);
  int status = 0;
  ASSERT_EQ(::waitpid(pid_, &status, 0), pid_);
  pid_ = -1;
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_TRUE(WaitFor([&] { return Got(WM_EMULATOR_STATUS, 1000, 1000); }));
}

TEST(StandinCheckFiles, TheWrittenFilesDescribeTheStandinsPatches) {
  TempCabinet cab;
  std::string error;
  ASSERT_TRUE(standin::MakeCheckFiles("MAZE1", cab.Files().string(), 6, &error)) << error;
  VirtualEventLoop loop;
  TFrmCheck check(loop, cab.Ipc(), cab.Files());
  GameFlags flags;
  ASSERT_TRUE(check.PrepareLaunch("MAZE1", flags));
  EXPECT_EQ(check.RegionWidth, 10);
  EXPECT_EQ(check.RegionHeight, 10);
  EXPECT_EQ(check.CheckRec.StartUpTime, 6);
  EXPECT_EQ(check.CheckRec.PreviewWidth, standin::kDefaultWidth);
  const auto regions = standin::DefaultRegions();
  for (int i = 0; i < kRegionCount; ++i) {
    EXPECT_EQ(check.CheckRec.Region(i), regions[i]);
    const auto patch = standin::PatchOf("MAZE1", i);
    for (int y = 0; y < 10; ++y) {
      for (int x = 0; x < 10; ++x) ASSERT_EQ(check.Reference[i].Pixel(x, y), patch[y * 10 + x]);
    }
    // No two regions of a game look alike where they are compared.
    for (int j = 0; j < i; ++j) EXPECT_NE(standin::PatchOf("MAZE1", j), patch);
  }
}

}  // namespace
}  // namespace cs
