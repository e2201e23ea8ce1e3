// The frame cutter and the per-frame decoder, as tables of cases.
#include "panel/panel_decoder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "panel/frame_cutter.h"
#include "panel/panel_bits.h"
#include "panel_test_util.h"

namespace cs {
namespace {

using testing::Press;
using testing::RecordingSink;

TEST(FrameCutterTest, CutsTheStreamAsTheControllerFramesIt) {
  struct Case {
    const char* name;
    std::vector<std::uint8_t> bytes;
    std::vector<std::uint32_t> words;
  } cases[] = {
      {"one frame, least significant byte first",
       {0x02, 0x11, 0x22, 0x33, 0x44, 0x03},
       {0x44332211}},
      {"three data bytes are ignored", {0x02, 0x11, 0x22, 0x33, 0x03}, {}},
      {"extra data bytes are ignored",
       {0x02, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x03},
       {0x44332211}},
      {"a data byte 0x02 restarts the frame",
       {0x02, 0x11, 0x02, 0x44, 0x55, 0x66, 0x77, 0x03},
       {0x77665544}},
      {"a data byte 0x03 ends it early; the bytes after it join the same frame",
       {0x02, 0x11, 0x03, 0x44, 0x55, 0x66, 0x03},
       {0x66554411}},
      {"garbage and a stray ETX after a frame decode the same four bytes again",
       {0x02, 0xFE, 0xFF, 0xFF, 0xFF, 0x03, 0x55, 0x66, 0x03},
       {0xFFFFFFFE, 0xFFFFFFFE}},
      {"CR is data", {0x02, 0x0D, 0x0D, 0x0D, 0x0D, 0x03}, {0x0D0D0D0D}},
      {"an ETX with nothing collected is ignored", {0x03, 0x03, 0x02, 0x03}, {}},
      {"STX storms collect nothing", {0x02, 0x02, 0x02, 0x11, 0x02, 0x03}, {}},
      {"two frames back to back",
       {0x02, 1, 0, 0, 0, 0x03, 0x02, 0, 0, 0, 0x80, 0x03},
       {0x00000001, 0x80000000}},
  };
  for (const Case& c : cases) {
    FrameCutter cutter;
    std::vector<std::uint32_t> got;
    for (std::uint8_t b : c.bytes) {
      if (auto w = cutter.Feed(b)) got.push_back(*w);
    }
    EXPECT_EQ(got, c.words) << c.name;
  }
}

TEST(FrameCutterTest, EndlessDataWithoutStxDoesNotOverflowAndTheNextFrameDecodes) {
  FrameCutter cutter;
  for (int i = 0; i < 3'000'000; ++i) cutter.Feed(0x41);
  EXPECT_GT(cutter.FrameCount, 4);
  const auto frame = EncodeFrame(0x12345678);
  std::optional<std::uint32_t> w;
  for (std::uint8_t b : frame) w = cutter.Feed(b);
  ASSERT_TRUE(w);
  EXPECT_EQ(*w, 0x12345678u);
}

// One pressed switch per case, on the menu and during a game: the posts of its kind.
TEST(PanelDecoderTest, EverySwitchPostsAsItsKind) {
  struct Case {
    const char* name;
    const char* menu;  // events on the menu
    const char* game;  // events while a game runs
    bool resets;       // the no-input counters are zeroed
  } cases[] = {
      {"COIN1", "in(6,0)", "in(6,0)", false},
      {"P1_START", "in(2,50)", "cmd(2)", false},
      {"P1_UP", "cmd(200) in(200,50)", "cmd(200) in(200,50)", true},
      {"P1_DOWN", "cmd(208) in(208,50)", "cmd(208) in(208,50)", true},
      {"P1_LEFT", "cmd(203) in(203,50)", "cmd(203) in(203,50)", true},
      {"P1_RIGHT", "cmd(205) in(205,50)", "cmd(205) in(205,50)", true},
      {"P1_B1", "in(29,50)", "in(29,50)", true},
      {"P1_B2", "in(56,50)", "in(56,50)", true},
      {"P1_B3", "in(57,50)", "in(57,50)", true},
      {"P1_B4", "in(42,50)", "in(42,50)", true},
      {"P1_B5", "in(44,50)", "in(44,50)", true},
      {"SERVICE", "in(500,0) in(500,50)", "in(600,0) in(500,50)", true},
      {"COIN2", "in(7,0)", "in(7,0)", false},
      {"P2_START", "in(3,50)", "cmd(3)", false},
      {"P2_UP", "in(19,50)", "in(19,50)", true},
      {"P2_DOWN", "in(33,50)", "in(33,50)", true},
      {"P2_LEFT", "in(32,50)", "in(32,50)", true},
      {"P2_RIGHT", "in(34,50)", "in(34,50)", true},
      {"P2_B1", "in(30,50)", "in(30,50)", true},
      {"P2_B2", "in(31,50)", "in(31,50)", true},
      {"P2_B3", "in(16,50)", "in(16,50)", true},
      {"P2_B4", "in(17,50)", "in(17,50)", true},
      {"P2_B5", "in(18,50)", "in(18,50)", true},
      {"EXIT", "in(1,50) cmd(1)", "in(1,50) cmd(1)", false},
      {"BIT24", "", "", false},
      {"BIT25", "", "", false},
      {"VIDEO_MODE", "in(510,0)", "in(510,0)", false},
      {"BIT27", "", "", false},
      {"BIT31", "", "", false},
  };
  for (const Case& c : cases) {
    for (bool running : {false, true}) {
      PanelFields f;
      f.NoInputTicks = 7;
      f.GameNoInputTicks = 9;
      CoinLatches latches;
      RecordingSink sink;
      DecodeFrame(Press({c.name}), running, latches, f, sink);
      EXPECT_EQ(sink.Take(), running ? c.game : c.menu) << c.name << (running ? " in game" : "");
      EXPECT_EQ(f.NoInputTicks == 0 && f.GameNoInputTicks == 0, c.resets) << c.name;
      EXPECT_EQ(f.NoInputTicks == 7 && f.GameNoInputTicks == 9, !c.resets) << c.name;
    }
  }
}

// Sequences of frames: what each frame posts and sends, and the fields afterwards.
TEST(PanelDecoderTest, FrameSequences) {
  struct Case {
    const char* name;
    bool running;
    std::int32_t exitRemap;
    std::int32_t forwardStage;
    std::vector<std::uint32_t> frames;
    std::vector<std::string> events;  // one entry per frame
    std::int32_t exitRemapAfter;
  } cases[] = {
      {"holding up repeats every frame, releasing posts nothing",
       false,
       0,
       0,
       {Press({"P1_UP"}), Press({"P1_UP"}), Press({"P1_UP"}), kIdleWord},
       {"cmd(200) in(200,50)", "cmd(200) in(200,50)", "cmd(200) in(200,50)", ""},
       0},
      {"a held coin posts once; again after one released frame",
       false,
       0,
       0,
       {Press({"COIN1"}), Press({"COIN1"}), Press({"COIN1"}), kIdleWord, Press({"COIN1"})},
       {"in(6,0)", "", "", "", "in(6,0)"},
       0},
      {"the two coin latches are independent",
       false,
       0,
       0,
       {Press({"COIN1"}), Press({"COIN1", "COIN2"}), Press({"COIN2"}), Press({"COIN1", "COIN2"})},
       {"in(6,0)", "in(7,0)", "", "in(6,0)"},
       0},
      {"start plus up on the menu: only the start",
       false,
       0,
       2,
       {Press({"P1_START", "P1_UP"})},
       {"in(2,50)"},
       0},
      {"start plus up in a game: the start command, and no mask",
       true,
       0,
       2,
       {Press({"P1_START", "P1_UP"})},
       {"cmd(2)"},
       0},
      {"a coin before the start bit is still reported",
       false,
       0,
       0,
       {Press({"COIN1", "P1_START"})},
       {"in(6,0) in(2,50)"},
       0},
      {"coin 2 dropped while player 1 holds start is credited once",
       false,
       0,
       0,
       {Press({"P1_START"}), Press({"P1_START", "COIN2"}), Press({"P1_START", "COIN2"}),
        Press({"P1_START"}), Press({"P1_START", "COIN2"})},
       {"in(2,50)", "in(2,50) in(7,0)", "in(2,50)", "in(2,50)", "in(2,50) in(7,0)"},
       0},
      {"exit remap turns the first button into exit, the second keeps its code",
       true,
       1,
       0,
       {Press({"P1_B1", "P1_B2"})},
       {"in(1,50) cmd(1) in(56,50)"},
       0},
      {"exit remap: a coin stays a coin and clears the remap",
       true,
       1,
       0,
       {Press({"COIN1", "P1_B1"})},
       {"in(6,0) in(29,50)"},
       0},
      {"exit remap: the service button keeps its code",
       true,
       1,
       0,
       {Press({"SERVICE", "P2_B1"})},
       {"in(600,0) in(500,50) in(30,50)"},
       0},
      {"exit remap: a direction becomes exit",
       true,
       1,
       0,
       {Press({"P1_LEFT"})},
       {"in(1,50) cmd(1)"},
       0},
      {"exit remap: the video-mode button becomes exit",
       false,
       1,
       0,
       {Press({"VIDEO_MODE"})},
       {"in(1,50) cmd(1)"},
       0},
      {"exit remap waits through idle frames", true, 1, 0, {kIdleWord, kIdleWord}, {"", ""}, 1},
      {"exit remap is spent by a start",
       true,
       1,
       0,
       {Press({"P2_START"}), Press({"P1_B1"})},
       {"cmd(3)", "in(29,50)"},
       0},
      {"video mode posts in every frame while pressed",
       false,
       0,
       0,
       {Press({"VIDEO_MODE"}), Press({"VIDEO_MODE"})},
       {"in(510,0)", "in(510,0)"},
       0},
      {"the idle word in a game with forwarding on sends mask 0 after a change",
       true,
       0,
       2,
       {kIdleWord, kIdleWord},
       {"mask(00000000)", ""},
       0},
      {"masks carry directions, buttons and service only",
       true,
       0,
       2,
       {Press({"COIN1", "P1_START", "P1_UP", "SERVICE", "P2_B5", "EXIT", "VIDEO_MODE"}),
        Press({"COIN1", "P1_UP", "SERVICE", "P2_B5", "EXIT", "VIDEO_MODE", "COIN2"})},
       {"in(6,0) cmd(2)",
        "cmd(200) in(200,50) in(600,0) in(500,50) in(7,0) in(18,50) in(1,50) cmd(1) "
        "in(510,0) mask(00400804)"},
       0},
      {"a change in the exit bit restates an equal mask",
       true,
       0,
       2,
       {Press({"P1_UP"}), Press({"P1_UP", "EXIT"}), Press({"P1_UP", "EXIT", "BIT31"})},
       {"cmd(200) in(200,50) mask(00000004)", "cmd(200) in(200,50) in(1,50) cmd(1) mask(00000004)",
        "cmd(200) in(200,50) in(1,50) cmd(1) mask(00000004)"},
       0},
      {"a change in coin 1 alone sends nothing",
       true,
       0,
       2,
       {Press({"P2_B1"}), Press({"P2_B1", "COIN1"})},
       {"in(30,50) mask(00040000)", "in(6,0) in(30,50)"},
       0},
      {"forwarding armed but not on: no mask",
       true,
       0,
       1,
       {Press({"P1_B1"}), kIdleWord},
       {"in(29,50)", ""},
       0},
  };
  for (const Case& c : cases) {
    PanelFields f;
    f.ExitRemap = c.exitRemap;
    f.ForwardStage = c.forwardStage;
    CoinLatches latches;
    RecordingSink sink;
    std::vector<std::string> got;
    for (std::uint32_t w : c.frames) {
      DecodeFrame(w, c.running, latches, f, sink);
      got.push_back(sink.Take());
    }
    EXPECT_EQ(got, c.events) << c.name;
    EXPECT_EQ(f.ExitRemap.load(), c.exitRemapAfter) << c.name;
  }
}

TEST(PanelDecoderTest, LastMaskTracksTheWordAndZeroForcesTheNextMask) {
  PanelFields f;
  f.ForwardStage = 2;
  CoinLatches latches;
  RecordingSink sink;
  const std::uint32_t up = Press({"P1_UP", "COIN1"});
  DecodeFrame(up, true, latches, f, sink);
  EXPECT_EQ(f.LastMask.load(), static_cast<std::int32_t>(up & 0x8FFFFFFC));
  sink.Take();
  DecodeFrame(up, true, latches, f, sink);
  EXPECT_EQ(sink.Take(), "cmd(200) in(200,50)") << "no change, no mask";
  f.LastMask = 0;  // as the main window does after a start sequence
  DecodeFrame(up, true, latches, f, sink);
  EXPECT_EQ(sink.Take(), "cmd(200) in(200,50) mask(00000004)");

  // Without forwarding the word is still tracked, so turning forwarding on later sends only on
  // the next change.
  PanelFields g;
  DecodeFrame(up, true, latches, g, sink);
  EXPECT_EQ(g.LastMask.load(), static_cast<std::int32_t>(up & 0x8FFFFFFC));
  g.ForwardStage = 2;
  sink.Take();
  DecodeFrame(up, true, latches, g, sink);
  EXPECT_EQ(sink.Take(), "cmd(200) in(200,50)");
}

TEST(PanelBitsTest, NamesAndFrames) {
  EXPECT_EQ(PanelBitByName("coin1"), 0);
  EXPECT_EQ(PanelBitByName("P2_B5"), 22);
  EXPECT_EQ(PanelBitByName("video_mode"), 26);
  EXPECT_EQ(PanelBitByName("BIT31"), 31);
  EXPECT_EQ(PanelBitByName("bit7"), 7);
  for (const char* bad : {"", "BIT32", "BIT", "BITx", "COIN3", "P1_B6", "BIT1234"}) {
    EXPECT_FALSE(PanelBitByName(bad).has_value()) << bad;
  }
  EXPECT_EQ(EncodeFrame(0xFFFFFFFE),
            (std::array<std::uint8_t, 6>{0x02, 0xFE, 0xFF, 0xFF, 0xFF, 0x03}));
}

}  // namespace
}  // namespace cs
