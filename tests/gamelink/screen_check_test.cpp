// The screen check: the shared block's header and pixel formats (and headers that lie), the
// comparison rules, the warm-up and the flags, and a real block written by another process.
#include "gamelink/screen_check.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <functional>

#include "gamelink_test_util.h"
#include "platform/log.h"

namespace cs {
namespace {

using testing::TempCabinet;
using testing::UniqueShmName;
using Pixels = std::array<std::uint32_t, 100>;

// Colours whose channels survive 5 bits (v == (v >> 3 << 3) | (v >> 5)), so that the 16-bit form
// holds the same picture.
constexpr std::uint8_t kLevels[] = {0x00, 0x42, 0x84, 0xC6, 0xFF};

Pixels TestPicture(int seed) {
  Pixels p{};
  for (int i = 0; i < 100; ++i) {
    const int k = i * 7 + seed * 3;
    p[static_cast<std::size_t>(i)] = (static_cast<std::uint32_t>(kLevels[k % 5]) << 16) |
                                     (static_cast<std::uint32_t>(kLevels[(k / 5) % 5]) << 8) |
                                     kLevels[(k / 25) % 5];
  }
  return p;
}

// A 40-byte header written by hand.
std::array<std::uint8_t, 40> HandHeader(std::uint32_t size, std::int32_t w, std::int32_t h,
                                        std::uint16_t planes, std::uint16_t bits,
                                        std::uint32_t compression) {
  std::array<std::uint8_t, 40> b{};
  auto put = [&](std::size_t off, std::uint32_t v, int n) {
    for (int i = 0; i < n; ++i) b[off + i] = static_cast<std::uint8_t>(v >> (8 * i));
  };
  put(0, size, 4);
  put(4, static_cast<std::uint32_t>(w), 4);
  put(8, static_cast<std::uint32_t>(h), 4);
  put(12, planes, 2);
  put(14, bits, 2);
  put(16, compression, 4);
  put(32, 256, 4);  // biClrUsed: a palette hint only, never read
  return b;
}

// A 10 x 10 block written by hand: 16 bits as 5-5-5, 24 as B G R, 32 as B G R 0.
std::array<std::uint8_t, 400> HandBlock(const Pixels& p, int bits, bool topDown) {
  std::array<std::uint8_t, 400> b{};
  const std::size_t stride = (10 * static_cast<std::size_t>(bits) + 31) / 32 * 4;
  for (int y = 0; y < 10; ++y) {
    const std::size_t row = static_cast<std::size_t>(topDown ? y : 9 - y);
    for (int x = 0; x < 10; ++x) {
      const std::uint32_t c = p[static_cast<std::size_t>(y * 10 + x)];
      std::uint8_t* q = b.data() + row * stride + static_cast<std::size_t>(x) * (bits / 8);
      const std::uint32_t r = c >> 16 & 0xFF, g = c >> 8 & 0xFF, bl = c & 0xFF;
      if (bits == 16) {
        const std::uint32_t v = (r >> 3) << 10 | (g >> 3) << 5 | (bl >> 3);
        q[0] = static_cast<std::uint8_t>(v);
        q[1] = static_cast<std::uint8_t>(v >> 8);
      } else {
        q[0] = static_cast<std::uint8_t>(bl);
        q[1] = static_cast<std::uint8_t>(g);
        q[2] = static_cast<std::uint8_t>(r);
      }
    }
  }
  return b;
}

TEST(DibBlock, EveryFormatDecodesToTheSamePicture) {
  const Pixels picture = TestPicture(1);
  for (int bits : {16, 24, 32}) {
    for (bool topDown : {false, true}) {
      SCOPED_TRACE(std::to_string(bits) + (topDown ? " top-down" : " bottom-up"));
      const auto layout = CheckDibHeader(ParseDibHeader(
          HandHeader(40, 10, topDown ? -10 : 10, 1, static_cast<std::uint16_t>(bits), 0)));
      ASSERT_TRUE(layout);
      Pixels out{};
      DecodeDibBlock(*layout, HandBlock(picture, bits, topDown), out);
      EXPECT_EQ(out, picture);
      // The emulator's side of this library writes the same bytes.
      EXPECT_EQ(EncodeDibBlock(BlockHeader(bits, topDown), picture),
                HandBlock(picture, bits, topDown));
    }
  }
}

TEST(DibBlock, HeadersThatNeedATableOrMoreThanTheBlockAreRefused) {
  struct Case {
    const char* what;
    std::array<std::uint8_t, 40> header;
  };
  const std::vector<Case> refused = {
      {"header size 0", HandHeader(0, 10, 10, 1, 32, 0)},
      {"core header size", HandHeader(12, 10, 10, 1, 32, 0)},
      {"V5 header size (does not fit)", HandHeader(124, 10, 10, 1, 32, 0)},
      {"header size all ones", HandHeader(0xFFFFFFFF, 10, 10, 1, 32, 0)},
      {"width 0", HandHeader(40, 0, 10, 1, 32, 0)},
      {"negative width", HandHeader(40, -10, 10, 1, 32, 0)},
      {"largest width", HandHeader(40, INT32_MAX, 1, 1, 32, 0)},
      {"height 0", HandHeader(40, 10, 0, 1, 32, 0)},
      {"most negative height", HandHeader(40, 10, INT32_MIN, 1, 32, 0)},
      {"largest height", HandHeader(40, 1, INT32_MAX, 1, 16, 0)},
      {"wide and tall enough to overflow the size",
       HandHeader(40, 0x4B00C800, 0x7E2B000A, 1, 32, 0)},
      {"11 rows at 32 bits (440 bytes)", HandHeader(40, 10, 11, 1, 32, 0)},
      {"11 top-down rows at 32 bits", HandHeader(40, 10, -11, 1, 32, 0)},
      {"20 x 10 at 24 bits (600 bytes)", HandHeader(40, 20, 10, 1, 24, 0)},
      {"no planes", HandHeader(40, 10, 10, 0, 32, 0)},
      {"two planes", HandHeader(40, 10, 10, 2, 32, 0)},
      {"1 bit (palette)", HandHeader(40, 10, 10, 1, 1, 0)},
      {"4 bits (palette)", HandHeader(40, 10, 10, 1, 4, 0)},
      {"8 bits (palette)", HandHeader(40, 10, 10, 1, 8, 0)},
      {"0 bits (JPEG or PNG)", HandHeader(40, 10, 10, 1, 0, 0)},
      {"15 bits", HandHeader(40, 10, 10, 1, 15, 0)},
      {"48 bits", HandHeader(40, 10, 10, 1, 48, 0)},
      {"run-length 8", HandHeader(40, 10, 10, 1, 8, 1)},
      {"bit fields (masks not in the header copy)", HandHeader(40, 10, 10, 1, 32, 3)},
      {"compression 6", HandHeader(40, 10, 10, 1, 16, 6)},
  };
  for (const auto& c : refused) {
    SCOPED_TRACE(c.what);
    std::string why;
    EXPECT_FALSE(CheckDibHeader(ParseDibHeader(c.header), &why));
    EXPECT_FALSE(why.empty());
  }
  // Odd but within the block: accepted, and only what exists is drawn.
  const auto wide = CheckDibHeader(ParseDibHeader(HandHeader(40, 20, 10, 1, 16, 0)));
  ASSERT_TRUE(wide);
  EXPECT_EQ(wide->stride, 40u);
  const auto small = CheckDibHeader(ParseDibHeader(HandHeader(40, 2, 3, 1, 24, 0)));
  ASSERT_TRUE(small);
  std::array<std::uint8_t, 400> block{};
  block.fill(0x42);
  Pixels out;
  out.fill(7);
  DecodeDibBlock(*small, block, out);
  for (int y = 0; y < 10; ++y) {
    for (int x = 0; x < 10; ++x) {
      EXPECT_EQ(out[static_cast<std::size_t>(y * 10 + x)], x < 2 && y < 3 ? 0x424242u : 7u);
    }
  }
}

class ScreenCheckTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetLogSink([](const std::string&) {});
    frame_.fill(0);
  }
  void TearDown() override { SetLogSink({}); }

  // The emulator's picture of block i, in the given format.
  void Paint(int block, const Pixels& p, int bits = 32, bool topDown = false) {
    const auto h = HandHeader(40, 10, topDown ? -10 : 10, 1, static_cast<std::uint16_t>(bits), 0);
    std::copy(h.begin(), h.end(), frame_.begin() + 4);
    const auto b = HandBlock(p, bits, topDown);
    std::copy(b.begin(), b.end(), frame_.begin() + 44 + 400 * block);
  }
  void SetReference(int region, const Pixels& p) {
    for (int y = 0; y < 10; ++y) {
      for (int x = 0; x < 10; ++x) check_.Reference[region].SetPixel(x, y, p[y * 10 + x]);
    }
  }
  void SetSize(int w, int h) {
    for (auto& c : check_.Capture) c.SetSize(w, h);
  }
  bool Pass() { return ComparisonPass(frame_, check_, flags_); }
  std::vector<int> SetFlags() {
    std::vector<int> on;
    for (int i = 0; i < kRegionCount; ++i) {
      if (GameFlags::Get(RegionFlag(flags_, i))) on.push_back(i);
    }
    return on;
  }

  TempCabinet cab_;
  VirtualEventLoop loop_;
  TFrmCheck check_{loop_, cab_.Ipc(), cab_.Files()};
  GameFlags flags_;
  std::array<std::uint8_t, kSharedFrameSize> frame_{};
};

TEST_F(ScreenCheckTest, ComparisonRulesRowAndColumnZeroIgnoredExactColours) {
  struct Case {
    const char* what;
    int w, h;
    int dx, dy;  // the one pixel that differs (-1: none)
    bool match;
    int pairs;
  };
  const std::vector<Case> cases = {
      {"equal 10 x 10: 81 pairs", 10, 10, -1, -1, true, 81},
      {"difference at (0, 0)", 10, 10, 0, 0, true, 81},
      {"difference in row 0", 10, 10, 7, 0, true, 81},
      {"difference in column 0", 10, 10, 0, 6, true, 81},
      {"difference at (W-1, H-1)", 10, 10, 9, 9, false, 81},
      {"difference at (W-1, H-1) of 4 x 6", 4, 6, 3, 5, false, 15},
      {"difference just outside 4 x 6", 4, 6, 4, 5, true, 15},
      {"2 x 2 compares (1, 1) only", 2, 2, -1, -1, true, 1},
      {"2 x 2 with (1, 1) different", 2, 2, 1, 1, false, 1},
      {"2 x 2 with (1, 0) different", 2, 2, 1, 0, true, 1},
      {"first difference ends the test", 10, 10, 1, 2, false, 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    CheckPicture cap, ref;
    for (int y = 0; y < 20; ++y) {
      for (int x = 0; x < 20; ++x) {
        cap.SetPixel(x, y, static_cast<std::uint32_t>(x * 0x10101 + y));
        ref.SetPixel(x, y, static_cast<std::uint32_t>(x * 0x10101 + y));
      }
    }
    if (c.dx >= 0) ref.SetPixel(c.dx, c.dy, cap.Pixel(c.dx, c.dy) ^ 0x000001);  // one blue step
    cap.SetSize(c.w, c.h);
    int pairs = 0;
    EXPECT_EQ(PicturesMatch(cap, ref, &pairs), c.match);
    EXPECT_EQ(pairs, c.pairs);
  }
}

TEST_F(ScreenCheckTest, APassDrawsEveryBlockAndSetsTheFlagsOfTheMatchingRegionsOnly) {
  SetSize(10, 10);
  for (int i = 0; i < kRegionCount; ++i) {
    SetReference(i, TestPicture(i));
    Paint(i, TestPicture(i == 1 || i == 6 ? i : i + 10));  // only P1-B2 and Bmp Start match
  }
  ASSERT_TRUE(Pass());
  EXPECT_EQ(SetFlags(), (std::vector<int>{1, 6}));
  for (int i = 0; i < kRegionCount; ++i) {
    EXPECT_EQ(check_.MatchBox[i].load(), i == 1 || i == 6) << "match box " << i;
    EXPECT_EQ(check_.Capture[i].Pixel(3, 4), TestPicture(i == 1 || i == 6 ? i : i + 10)[43]);
    EXPECT_EQ(check_.Capture[i].Pixel(10, 4), CheckPicture::kBrush) << "only 10 x 10 drawn";
  }
  // The picture changes: no flag is cleared by a pass.
  for (int i = 0; i < kRegionCount; ++i) Paint(i, TestPicture(i + 20));
  Paint(3, TestPicture(3), 16, true);  // P2-B1 now matches, sent as 16-bit top-down
  ASSERT_TRUE(Pass());
  EXPECT_EQ(SetFlags(), (std::vector<int>{1, 3, 6}));
  // The main window clears one; the match box follows on the next pass.
  GameFlags::Set(flags_.MatchP1B2, false);
  ASSERT_TRUE(Pass());
  EXPECT_EQ(SetFlags(), (std::vector<int>{3, 6}));
  EXPECT_FALSE(check_.MatchBox[1].load());
}

TEST_F(ScreenCheckTest, ARefusedHeaderEndsThePassWithNothingDrawnAndNoMatch) {
  SetSize(10, 10);
  for (int i = 0; i < kRegionCount; ++i) {
    SetReference(i, TestPicture(i));
    Paint(i, TestPicture(i));
  }
  // 11 rows would reach 40 bytes into the next block.
  const auto bad = HandHeader(40, 10, 11, 1, 32, 0);
  std::copy(bad.begin(), bad.end(), frame_.begin() + 4);
  EXPECT_FALSE(Pass());
  EXPECT_TRUE(SetFlags().empty());
  EXPECT_EQ(check_.Capture[0].Pixel(5, 5), CheckPicture::kBrush);
  // A frame shorter than the block's size is not read at all.
  EXPECT_FALSE(ComparisonPass(std::span<const std::uint8_t>(frame_.data(), 2843), check_, flags_));
}

TEST_F(ScreenCheckTest, WarmUpOfHundredPassesThenComparisonWhileRunning) {
  TThrComp comp(flags_, check_, UniqueShmName("warm"));
  ASSERT_TRUE(comp.CreateSharedBlock());
  SetSize(10, 10);
  for (int i = 0; i < kRegionCount; ++i) SetReference(i, TestPicture(i));
  std::copy(frame_.begin(), frame_.end(), comp.Block()->Data());
  const auto paint = [&](int block) {
    Paint(block, TestPicture(block));
    std::copy(frame_.begin(), frame_.end(), comp.Block()->Data());
  };
  paint(6);  // the start picture shows from the beginning
  paint(0);

  // Idle: MatchStart is forced false, the player flags keep what they have.
  GameFlags::Set(flags_.MatchStart, true);
  GameFlags::Set(flags_.MatchP2B2, true);
  comp.Loop();
  EXPECT_EQ(comp.Tick.load(), 1);
  EXPECT_EQ(SetFlags(), (std::vector<int>{4}));
  GameFlags::Set(flags_.MatchP2B2, false);

  // Tick counts the idle pass too: comparing starts once it exceeds 100, on the 100th pass
  // with the game running.
  GameFlags::Set(flags_.EmulatorRunning, true);
  for (int pass = 1; pass <= 99; ++pass) {
    GameFlags::Set(flags_.MatchStart, true);  // the start-up timer may set it meanwhile
    comp.Loop();
    ASSERT_TRUE(SetFlags().empty()) << "pass " << pass << " changed a flag";
  }
  EXPECT_EQ(comp.Tick.load(), 100);
  EXPECT_EQ(comp.Passes(), 0u);
  comp.Loop();
  EXPECT_EQ(comp.Tick.load(), 101);
  EXPECT_EQ(comp.Passes(), 1u);
  EXPECT_EQ(SetFlags(), (std::vector<int>{0, 6}));

  // The game ends: Tick restarts, MatchStart forced false, P1-B1 kept for the main window.
  GameFlags::Set(flags_.EmulatorRunning, false);
  comp.Loop();
  EXPECT_EQ(comp.Tick.load(), 1);
  EXPECT_EQ(SetFlags(), (std::vector<int>{0}));
}

TEST_F(ScreenCheckTest, AGameAlreadyRunningAtTheLoopsStartWaitsAHundredPasses) {
  TThrComp comp(flags_, check_, UniqueShmName("tick"));
  ASSERT_TRUE(comp.CreateSharedBlock());
  SetSize(10, 10);
  SetReference(0, TestPicture(0));
  Paint(0, TestPicture(0));
  std::copy(frame_.begin(), frame_.end(), comp.Block()->Data());
  GameFlags::Set(flags_.EmulatorRunning, true);
  for (int i = 0; i < 100; ++i) comp.Loop();
  EXPECT_EQ(comp.Tick.load(), 100);
  EXPECT_TRUE(SetFlags().empty());
  comp.Loop();
  EXPECT_EQ(SetFlags(), (std::vector<int>{0}));
}

TEST_F(ScreenCheckTest, WithoutAViewPassesFailSilently) {
  TThrComp comp(flags_, check_, "not a valid name");
  EXPECT_FALSE(comp.CreateSharedBlock());
  GameFlags::Set(flags_.EmulatorRunning, true);
  for (int i = 0; i < 150; ++i) comp.Loop();
  EXPECT_EQ(comp.Passes(), 0u);
  EXPECT_TRUE(SetFlags().empty());
}

TEST_F(ScreenCheckTest, ABlockWrittenByAnotherProcessSetsExactlyTheExpectedFlags) {
  const std::string name = UniqueShmName("peer");
  TThrComp comp(flags_, check_, name);
  ASSERT_TRUE(comp.CreateSharedBlock());
  SetSize(6, 6);
  for (int i = 0; i < kRegionCount; ++i) SetReference(i, TestPicture(i));
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // The emulator's side: opens the existing block and writes 24-bit bottom-up blocks where
    // P1-B3 and P2.B3 show their pictures and the others something else.
    auto block = SharedMemoryBlock::Open(name, kSharedFrameSize);
    if (!block) ::_exit(3);
    const auto h = EncodeDibHeader(BlockHeader(24));
    std::copy(h.begin(), h.end(), block->Data() + kDibHeaderOffset);
    for (int i = 0; i < kBlockCount; ++i) {
      const auto b = EncodeDibBlock(BlockHeader(24), TestPicture(i == 2 || i == 5 ? i : 40 + i));
      std::copy(b.begin(), b.end(), block->Data() + BlockOffset(i));
    }
    ::_exit(0);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  ASSERT_EQ(WEXITSTATUS(status), 0);
  GameFlags::Set(flags_.EmulatorRunning, true);
  for (int i = 0; i <= TThrComp::kWarmUpPasses; ++i) comp.Loop();
  EXPECT_EQ(comp.Passes(), 1u);
  EXPECT_EQ(SetFlags(), (std::vector<int>{2, 5}));
}

TEST_F(ScreenCheckTest, AStaleBlockIsReplacedAndTheNameRemovedAtTheEnd) {
  const std::string name = UniqueShmName("stale");
  // What a crashed run leaves: the block, full of its last game, and a held semaphore.
  {
    const int fd = ::shm_open(name.c_str(), O_CREAT | O_RDWR, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, 100), 0) << "and of the wrong size";
    ::close(fd);
  }
  {
    TThrComp comp(flags_, check_, name);
    ASSERT_TRUE(comp.CreateSharedBlock());
    ASSERT_TRUE(comp.Block()->ReplacedStale());
    EXPECT_EQ(comp.Block()->Size(), kSharedFrameSize);
    for (std::size_t i = 0; i < kSharedFrameSize; ++i) ASSERT_EQ(comp.Block()->Data()[i], 0);
    struct stat st {};
    const int fd = ::shm_open(name.c_str(), O_RDONLY, 0);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::fstat(fd, &st), 0);
    ::close(fd);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(st.st_size, 2844);
    auto peer = SharedMemoryBlock::Open(name, kSharedFrameSize);
    ASSERT_TRUE(peer);
    peer->Data()[100] = 0x5A;
    EXPECT_EQ(comp.Block()->Data()[100], 0x5A) << "one block, two views";
    EXPECT_TRUE(NamedSemaphore::Open(SharedFrameMutexName(name)));
  }
  EXPECT_FALSE(SharedMemoryBlock::Open(name, 1)) << "the owner removed the name";
  EXPECT_FALSE(NamedSemaphore::Open(SharedFrameMutexName(name)));
  EXPECT_FALSE(SharedMemoryBlock::Open(name + "x", 1));
}

TEST_F(ScreenCheckTest, TheThreadStopsPromptlyEvenDuringItsStartWait) {
  TThrComp comp(flags_, check_, UniqueShmName("thread"));
  const auto t0 = std::chrono::steady_clock::now();
  ASSERT_TRUE(comp.Start());
  EXPECT_FALSE(comp.Start()) << "a second start does nothing";
  EXPECT_TRUE(comp.HasView());
  comp.Terminate();
  comp.WaitFor();
  EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(2));
}

TEST(SharedFrameName, TheEnvironmentMayNameAnotherBlockForTheShellAndTheEmulator) {
  const std::filesystem::path ipc = "/x/run";
  ::unsetenv("COINSHELL_SHM");
  EXPECT_EQ(SharedFrameName(), "/SHM");
  EXPECT_EQ(SharedFrameMutexName("/SHM"), "/SHM_SMMutex");
  EXPECT_EQ(EmulatorEnvironment(ipc),
            (std::vector<std::pair<std::string, std::string>>{{"COINSHELL_IPC", "/x/run"}}));
  ::setenv("COINSHELL_SHM", "/cs-test-1", 1);
  EXPECT_EQ(SharedFrameName(), "/cs-test-1");
  EXPECT_EQ(EmulatorEnvironment(ipc).size(), 2u);
  EXPECT_EQ(EmulatorEnvironment(ipc)[1].second, "/cs-test-1");
  SetLogSink([](const std::string&) {});
  for (const char* bad : {"SHM", "/a/b", "/..", "/", "/x y"}) {
    ::setenv("COINSHELL_SHM", bad, 1);
    EXPECT_EQ(SharedFrameName(), "/SHM") << bad;
  }
  SetLogSink({});
  ::unsetenv("COINSHELL_SHM");
}

}  // namespace
}  // namespace cs
