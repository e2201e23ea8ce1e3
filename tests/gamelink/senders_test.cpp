// The senders against real mailslot servers: the exact records of the check window's operations
// and of the main window's key sequences, their timing in virtual time, the panel reader paused
// around them (a real TThrKeyb on a pseudo-terminal), and an absent emulator costing the waits
// and nothing else.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <memory>
#include <thread>

#include "gamelink/check_settings.h"
#include "gamelink/emulator_keys.h"
#include "gamelink_test_util.h"
#include "panel/panel_bits.h"
#include "panel/panel_reader.h"
#include "platform/log.h"

namespace cs {
namespace {

using testing::FirstDifference;
using testing::HandRecord;
using testing::HookedLoop;
using testing::SlotPeer;
using testing::TempCabinet;

constexpr std::uint32_t kNeg60 = static_cast<std::uint32_t>(-60);

// A ".xy" as the configuration window would have saved it: a 4 x 6 block at Region1, stale
// handles, OffX 60, OffY -60, PreviewWidth 0, StartUpTime 0, and reserved bytes that must be
// carried untouched.
std::vector<std::uint8_t> SavedXy() {
  return HandRecord(
      216, {{4, 0x77},     {8, 0xA5A5A5A5}, {28, 0x5A5A5A5A}, {32, 0x1111}, {36, 0x1111},
            {40, 0x1111},  {44, 0x1111},    {48, 0x1111},     {52, 0x1111}, {56, 0x999},
            {60, 10},      {64, 20},        {68, 14},         {72, 26},     {76, 30},
            {80, 20},      {92, 50},        {96, 20},         {108, 200},   {112, 20},
            {124, 220},    {128, 20},       {140, 240},       {144, 20},    {164, 302},
            {168, 224},    {172, 60},       {176, kNeg60},    {184, 224},   {192, 0xC3C3C3C3},
            {196, 0x1111}, {200, 120},      {204, 180}});
}

class SendersTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetLogSink([](const std::string&) {});
  }
  void TearDown() override { SetLogSink({}); }

  void WriteFile(const std::string& name, const std::vector<std::uint8_t>& bytes) {
    std::ofstream(cab_.Files() / name, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
  }

  TempCabinet cab_;
  HookedLoop loop_;
  GameFlags flags_;
  TFrmCheck check_{loop_, cab_.Ipc(), cab_.Files()};
};

TEST_F(SendersTest, LaunchPreparationThenStartCheckThenStopCheckAreByteExact) {
  SlotPeer inp(cab_.Ipc(), "MAMEINP");
  WriteFile("GALAXO.xy", SavedXy());
  ASSERT_TRUE(check_.PrepareLaunch("GALAXO", flags_));

  // Stop preview, sent with the settings just as they were loaded (before the fixes).
  auto stopPreview = SavedXy();
  stopPreview[0] = 1;                                // Command
  for (int i = 56; i < 60; ++i) stopPreview[i] = 0;  // PreviewWnd
  // After the preparation: regions recomputed to 4 x 6, OffX 60 reset, OffY -60 kept,
  // PreviewWidth 303, StartUpTime 2.
  const std::initializer_list<std::pair<std::size_t, std::uint32_t>> prepared = {
      {0, 1},        {8, 0xA5A5A5A5}, {28, 0x5A5A5A5A}, {60, 10},   {64, 20},          {68, 14},
      {72, 26},      {76, 30},        {80, 20},         {84, 34},   {88, 26},          {92, 50},
      {96, 20},      {100, 54},       {104, 26},        {108, 200}, {112, 20},         {116, 204},
      {120, 26},     {124, 220},      {128, 20},        {132, 224}, {136, 26},         {140, 240},
      {144, 20},     {148, 244},      {152, 26},        {164, 302}, {168, 224},        {172, 0},
      {176, kNeg60}, {180, 303},      {184, 224},       {188, 2},   {192, 0xC3C3C3C3}, {200, 120},
      {204, 180},    {208, 124},      {212, 186}};
  auto startCheck = HandRecord(216, prepared);
  // CheckWord 0 and the seven capture handles 1..6 and 8.
  for (auto [off, v] : std::initializer_list<std::pair<std::size_t, std::uint32_t>>{
           {32, 1}, {36, 2}, {40, 3}, {44, 4}, {48, 5}, {52, 6}, {196, 8}}) {
    for (int i = 0; i < 4; ++i) startCheck[off + i] = static_cast<std::uint8_t>(v >> (8 * i));
  }
  auto stopCheck = HandRecord(216, prepared);  // the same with every handle 0

  check_.BtcompareClick();
  check_.BtStopCompClick();
  const auto got = inp.Take();
  ASSERT_EQ(got.size(), 3u);
  EXPECT_EQ(got[0], stopPreview) << FirstDifference(got[0], stopPreview);
  EXPECT_EQ(got[1], startCheck) << FirstDifference(got[1], startCheck);
  EXPECT_EQ(got[2], stopCheck) << FirstDifference(got[2], stopCheck);

  EXPECT_EQ(check_.RegionWidth, 4);
  EXPECT_EQ(check_.RegionHeight, 6);
  EXPECT_EQ(check_.EdWidth2, "303");
  EXPECT_EQ(check_.EdTime, "2");
  EXPECT_EQ(check_.StartUpIntervalMs(), 2000);
  for (const auto& c : check_.Capture) {
    EXPECT_EQ(c.Width(), 4);
    EXPECT_EQ(c.Height(), 6);
  }
  EXPECT_TRUE(flags_.P1Idle() && flags_.P2Idle());
  EXPECT_FALSE(GameFlags::Get(flags_.MatchStart));
}

TEST_F(SendersTest, StartPreviewReadsTheEditsAndStopsOnOneThatIsNotANumber) {
  SlotPeer inp(cab_.Ipc(), "MAMEINP");
  check_.PreviewPanelId = 0x4C0001;
  check_.EdWidth2 = "320";
  check_.EdHeight2 = "240";
  check_.EdTime = "7";
  ASSERT_TRUE(check_.Button1Click());
  check_.BtStopAllClick();
  check_.EdHeight2 = "24x";
  EXPECT_FALSE(check_.Button1Click());
  const auto got = inp.Take();
  ASSERT_EQ(got.size(), 2u) << "nothing sent for the bad edit";
  const auto start = HandRecord(
      216, {{0, 1}, {56, 0x4C0001}, {164, 320}, {168, 240}, {180, 320}, {184, 240}, {188, 7}});
  const auto stop =
      HandRecord(216, {{0, 1}, {164, 320}, {168, 240}, {180, 320}, {184, 240}, {188, 7}});
  EXPECT_EQ(got[0], start) << FirstDifference(got[0], start);
  EXPECT_EQ(got[1], stop) << FirstDifference(got[1], stop);
}

TEST_F(SendersTest, MessageSlotsShowOneAtATimeAndKeepTheOtherText) {
  SlotPeer dlg(cab_.Ipc(), "MAMEDLG");
  const std::string prompt = "Press P1 to Start\nany other to Exit\n  Credits: 3";
  check_.ShowEmulatorText(1, prompt);
  check_.ShowEmulatorText(2, "Credits 2");
  check_.ClearEmulatorText();
  check_.ShowEmulatorText(3, "ignored");
  const auto got = dlg.Take();
  ASSERT_EQ(got.size(), 3u);
  const auto rec1 = HandRecord(448, {{0, 1}, {12, 1}, {16, 1}}, {{44, prompt}});
  const auto rec2 = HandRecord(448, {{0, 1}, {20, 2}, {24, 2}}, {{44, prompt}, {145, "Credits 2"}});
  const auto rec3 = HandRecord(448, {{0, 1}, {20, 2}, {24, 2}}, {{145, "Credits 2"}});
  EXPECT_EQ(got[0], rec1) << FirstDifference(got[0], rec1);
  EXPECT_EQ(got[1], rec2) << "slot 2 shown, slot 1 hidden with its text kept: "
                          << FirstDifference(got[1], rec2);
  EXPECT_EQ(got[2], rec3) << "slot 2 untouched by the clear: " << FirstDifference(got[2], rec3);
}

TEST_F(SendersTest, ALongPromptIsCutTo100CharactersNeverOverrunningSlot2) {
  SlotPeer dlg(cab_.Ipc(), "MAMEDLG");
  check_.ShowEmulatorText(2, "Credits 9");
  const std::string longText(150, 'P');
  check_.ShowEmulatorText(1, longText);
  const auto got = dlg.Take();
  ASSERT_EQ(got.size(), 2u);
  const auto expected = HandRecord(448, {{0, 1}, {12, 1}, {16, 1}},
                                   {{44, std::string(100, 'P')}, {145, "Credits 9"}});
  EXPECT_EQ(got[1], expected) << FirstDifference(got[1], expected);
}

TEST_F(SendersTest, TestMessageButtons) {
  SlotPeer dlg(cab_.Ipc(), "MAMEDLG");
  check_.BtMsg1Click();
  check_.DlgRec.Command = 7;  // the removal does not set Command
  check_.BtMsg1_Click();
  const auto got = dlg.Take();
  ASSERT_EQ(got.size(), 2u);
  const auto shown = HandRecord(448, {{0, 1}, {12, 5}, {16, 5}},
                                {{44, "Press P1 or P2 to Start\nany other key to Exit  \n"}});
  EXPECT_EQ(got[0], shown) << FirstDifference(got[0], shown);
  EXPECT_EQ(got[1], HandRecord(448, {{0, 7}}));
}

// What a key sequence sends, and when: (virtual ms since the start, mask).
using Timeline = std::vector<std::pair<std::int64_t, std::uint32_t>>;

struct KeyCase {
  const char* name;
  std::function<void(EmulatorKeys&, TFrmCheck&)> run;
  Timeline records;
  std::int64_t durationMs;
};

std::vector<KeyCase> KeyCases() {
  return {
      {"coin for player 1",
       [](EmulatorKeys& k, TFrmCheck&) { k.CoinForPlayer1(); },
       {{180, 0x1}, {360, 0x0}},
       720},
      {"start player 1",
       [](EmulatorKeys& k, TFrmCheck&) { k.StartPlayer1(); },
       {{180, 0x2}, {360, 0x0}},
       720},
      {"coin and start player 2",
       [](EmulatorKeys& k, TFrmCheck&) { k.CoinAndStartPlayer2(); },
       {{180, 0x2001}, {360, 0x0}},
       720},
      {"start player 2",
       [](EmulatorKeys& k, TFrmCheck&) { k.StartPlayer2(); },
       {{180, 0x2000}, {360, 0x0}},
       720},
      {"exit on the exit button",
       [](EmulatorKeys& k, TFrmCheck&) { k.ExitOnExitButton(); },
       {{180, 0x800000}, {360, 0x0}},
       540},
      {"exit on the second service press",
       [](EmulatorKeys& k, TFrmCheck&) { k.ExitOnSecondServicePress(); },
       {{150, 0x800000}, {300, 0x0}},
       450},
      {"automatic exit",
       [](EmulatorKeys& k, TFrmCheck&) { k.AutomaticExit(); },
       {{0, 0x800000}},
       200},
      {"System Test", [](EmulatorKeys&, TFrmCheck& c) { c.BtFireClick(); }, {{0, 0x800}}, 0},
      {"coin 1",
       [](EmulatorKeys&, TFrmCheck& c) { c.btx10Click(); },
       {{0, 0x1}, {300, 0x0}, {600, 0x2}, {900, 0x0}},
       1200},
      {"Coin 2",
       [](EmulatorKeys&, TFrmCheck& c) { c.Btx11Click(); },
       {{0, 0x2001}, {300, 0x0}, {600, 0x2}, {900, 0x0}},
       1200},
  };
}

TEST_F(SendersTest, KeySequencesSendTheirRecordsOnTime) {
  SlotPeer key(cab_.Ipc(), "MAMEKEY");
  EmulatorKeys keys(loop_, cab_.Ipc(), flags_);
  for (const auto& c : KeyCases()) {
    SCOPED_TRACE(c.name);
    const std::int64_t t0 = loop_.NowMs();
    Timeline seen;
    auto collect = [&](std::int64_t now) {
      for (const auto& r : key.Take()) {
        ASSERT_EQ(r.size(), 4u);
        seen.emplace_back(now - t0, testing::Word(r, 0));
      }
    };
    loop_.onSleep = [&](std::int64_t now, int) { collect(now); };
    c.run(keys, check_);
    collect(loop_.NowMs());
    loop_.onSleep = nullptr;
    EXPECT_EQ(seen, c.records);
    EXPECT_EQ(loop_.NowMs() - t0, c.durationMs);
  }
  EXPECT_EQ(keys.Lost(), 0u);
  EXPECT_FALSE(keys.KeySlotHandle.IsOpen()) << "the handle is held only during a send";
}

TEST_F(SendersTest, WithoutAnEmulatorEverySendIsLostSilentlyAfterItsFullWaits) {
  EmulatorKeys keys(loop_, cab_.Ipc(), flags_);
  for (const auto& c : KeyCases()) {
    SCOPED_TRACE(c.name);
    const std::int64_t t0 = loop_.NowMs();
    const auto wall = std::chrono::steady_clock::now();
    c.run(keys, check_);
    EXPECT_EQ(loop_.NowMs() - t0, c.durationMs) << "the waits are not skipped";
    EXPECT_LT(std::chrono::steady_clock::now() - wall, std::chrono::seconds(1))
        << "no real waiting on a missing mailslot";
  }
  EXPECT_GT(keys.Lost(), 0u);
  const std::int64_t t0 = loop_.NowMs();
  check_.BtcompareClick();
  check_.BtStopAllClick();
  check_.ShowEmulatorText(1, "x");
  check_.ClearEmulatorText();
  EXPECT_EQ(loop_.NowMs(), t0);
  EXPECT_EQ(check_.LostRecords(), 4u + 3u) << "three key test sequences lost as well";
}

TEST_F(SendersTest, TheExitButtonSequenceClearsTheRunningFlagRightAfterTheExitRecord) {
  SlotPeer key(cab_.Ipc(), "MAMEKEY");
  EmulatorKeys keys(loop_, cab_.Ipc(), flags_);
  GameFlags::Set(flags_.EmulatorRunning, true);
  std::vector<std::pair<std::size_t, bool>> atSleep;  // records so far, running
  std::size_t records = 0;
  loop_.onSleep = [&](std::int64_t, int) {
    records += key.Take().size();
    atSleep.emplace_back(records, flags_.Running());
  };
  keys.ExitOnExitButton();
  loop_.onSleep = nullptr;
  const std::vector<std::pair<std::size_t, bool>> expected = {{0, true}, {1, false}, {2, false}};
  EXPECT_EQ(atSleep, expected);
}

// The panel reader on a pty, forwarding masks to the same MAMEKEY while a sequence runs.
class KeySequenceWithReaderTest : public SendersTest {
 protected:
  void SetUp() override {
    SendersTest::SetUp();
    std::filesystem::create_directories(cab_.Root() / "dosdevices");
    char name[128];
    ASSERT_EQ(::openpty(&master_, &slave_, name, nullptr, nullptr), 0);
    std::filesystem::create_symlink(name, cab_.Root() / "dosdevices" / "com2");
    reader_ = std::make_unique<TThrKeyb>(DriveMap(cab_.Root()), flags_.EmulatorRunning);
    ASSERT_TRUE(reader_->Start());
    GameFlags::Set(flags_.EmulatorRunning, true);
    reader_->ForwardStage.store(2);
  }
  void TearDown() override {
    reader_.reset();
    ::close(master_);
    ::close(slave_);
    SendersTest::TearDown();
  }
  void Press(const char* name) {
    const auto bit = PanelBitByName(name);
    ASSERT_TRUE(bit);
    const auto f = EncodeFrame(WordOfPressed(1u << *bit));
    ASSERT_EQ(::write(master_, f.data(), f.size()), static_cast<ssize_t>(f.size()));
  }
  static std::uint32_t MaskOf(const char* name) { return 1u << *PanelBitByName(name); }
  // Waits (real time) for the next record on the peer.
  static std::optional<std::uint32_t> NextRecord(SlotPeer& peer, int timeoutMs) {
    std::uint8_t b[8];
    const auto r = peer.Server().Receive(b, sizeof b, timeoutMs);
    if (!r || r->length != 4) return std::nullopt;
    return static_cast<std::uint32_t>(b[0] | (b[1] << 8) | (b[2] << 16)) |
           (static_cast<std::uint32_t>(b[3]) << 24);
  }

  int master_ = -1, slave_ = -1;
  std::unique_ptr<TThrKeyb> reader_;
};

TEST_F(KeySequenceWithReaderTest, StartPlayer1IsExactly2Then0WithTheReaderPausedAndLastMaskReset) {
  SlotPeer key(cab_.Ipc(), "MAMEKEY");
  // The reader forwards while not paused.
  Press("P1_UP");
  ASSERT_EQ(NextRecord(key, 5000), MaskOf("P1_UP"));

  EmulatorKeys keys(loop_, cab_.Ipc(), flags_);
  keys.SetReader(reader_.get(), reader_.get());
  std::vector<bool> pausedAtSleep;
  bool changed = false;
  loop_.onSleep = [&](std::int64_t, int) {
    pausedAtSleep.push_back(reader_->Paused());
    if (!changed) {
      // The panel changes during the sequence; a reader that was not paused would forward it.
      changed = true;
      Press("P1_DOWN");
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
  };
  keys.StartPlayer1();
  loop_.onSleep = nullptr;
  EXPECT_EQ(pausedAtSleep, (std::vector<bool>{true, true, true, false}))
      << "paused for the pulse, resumed before the last wait";
  EXPECT_EQ(NextRecord(key, 0), 0x2u);
  EXPECT_EQ(NextRecord(key, 0), 0x0u);
  // After the resume the held frame is processed; LastMask 0 makes it restate the switches.
  EXPECT_EQ(NextRecord(key, 5000), MaskOf("P1_DOWN"));
  EXPECT_EQ(NextRecord(key, 200), std::nullopt);
}

TEST_F(KeySequenceWithReaderTest, AfterAStartTheSameSwitchesAreRestated) {
  SlotPeer key(cab_.Ipc(), "MAMEKEY");
  Press("P1_B1");
  ASSERT_EQ(NextRecord(key, 5000), MaskOf("P1_B1"));
  EmulatorKeys keys(loop_, cab_.Ipc(), flags_);
  keys.SetReader(reader_.get(), reader_.get());
  keys.StartPlayer2();
  EXPECT_EQ(NextRecord(key, 0), 0x2000u);
  EXPECT_EQ(NextRecord(key, 0), 0x0u);
  // The panel still holds P1_B1: without the reset the reader would see no change and the
  // emulator would believe the button released by the sequence's 0.
  Press("P1_B1");
  EXPECT_EQ(NextRecord(key, 5000), MaskOf("P1_B1"));
}

}  // namespace
}  // namespace cs
