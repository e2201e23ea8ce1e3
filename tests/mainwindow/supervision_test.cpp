// A game's road in virtual time: launch, loading, the start prompt inside the emulator's
// picture, player starts with their coin pulses and charges, holds, the credits line, exits and
// the end. The emulator's side is played by the test: its mailslots are real datagram sockets
// whose records the test reads, its window messages are posted to the main window.
#include <cstring>

#include "cabinet_fixture.h"
#include "gamelink/emulator_records.h"
#include "platform/mailslot.h"

namespace cs::test {
namespace {

class SupervisionTest : public CabinetFixture {
 protected:
  void SetUp() override {
    CabinetFixture::SetUp();
    ASSERT_TRUE(key_.Bind(MailslotPath(map_->IpcDir(), "MAMEKEY")));
    ASSERT_TRUE(dlg_.Bind(MailslotPath(map_->IpcDir(), "MAMEDLG")));
    ASSERT_TRUE(inp_.Bind(MailslotPath(map_->IpcDir(), "MAMEINP")));
  }

  // A cabinet at rest on the menu, past the start's pause, with `credits`.
  TDbgFrm& Ready(int credits, int players = 1, int startUpSeconds = 5) {
    std::vector<GameRow> rows{MakeGame(0, "GR1", 41, players), MakeGame(1, "GR1", 7)};
    WriteCatalogue(rows);
    WriteCalc("iCredits=" + std::to_string(credits) + "\n");
    TDbgFrm& f = Start();
    f.FrmCheck.CheckRec.StartUpTime = startUpSeconds;
    f.FrmCheck.EdTime = std::to_string(startUpSeconds);
    loop_.Advance(2000 + 40 * 50);
    return f;
  }
  void Post(std::uint32_t msg, int w, int l) {
    frm_->PostMessage(msg, w, l);
    loop_.DrainPosted();
  }
  void StartPress() { Post(WM_PANEL_INPUT, 2, 50); }
  void Launch() {
    StartPress();
    ASSERT_TRUE(frm_->flags.Running());
  }
  // Records the emulator received since the last call.
  std::vector<std::uint32_t> Keys() {
    std::vector<std::uint32_t> got;
    std::uint8_t buf[64];
    while (auto r = key_.Receive(buf, sizeof buf, 0)) {
      if (r->length == 4) got.push_back(buf[0] | buf[1] << 8 | buf[2] << 16 | buf[3] << 24);
    }
    return got;
  }
  std::optional<DlgRecord> LastDlg() {
    std::optional<DlgRecord> last;
    std::uint8_t buf[DlgRecord::kSize];
    while (auto r = dlg_.Receive(buf, sizeof buf, 0)) {
      if (r->length == DlgRecord::kSize) {
        last = DlgRecord::Decode(std::span<const std::uint8_t, DlgRecord::kSize>(buf, sizeof buf));
      }
    }
    return last;
  }
  // Player 1 (2) idle: one of the player's three pictures matches.
  void SetIdle(bool p1, bool p2) {
    GameFlags& g = frm_->flags;
    GameFlags::Set(g.MatchP1B1, p1);
    GameFlags::Set(g.MatchP1B2, false);
    GameFlags::Set(g.MatchP1B3, false);
    GameFlags::Set(g.MatchP2B1, p2);
    GameFlags::Set(g.MatchP2B2, false);
    GameFlags::Set(g.MatchP2B3, false);
  }
  // The screen check keeps a player's flags as the picture shows them.
  void Hold(bool p1Idle, bool p2Idle, std::int64_t ms) {
    for (std::int64_t t = 0; t < ms; t += 20) {
      SetIdle(p1Idle, p2Idle);
      loop_.Advance(20);
    }
  }
  std::int32_t PlaysOf(int k) {
    auto db = CatalogueDb::Open(QdDir() / "PARAMS2.DAT");
    const auto rows = db->ReadAllGames();
    if (!rows) return -1;
    for (const GameRow& r : *rows) {
      if (r.NAMEFILE == MakeGame(k, "", 0).NAMEFILE) return r.CREDITS.value_or(-1);
    }
    return -1;
  }

  MailslotServer key_, dlg_, inp_;
};

TEST_F(SupervisionTest, TypicalRunChargesOneCreditPerStartAndReturnsToTheMenu) {
  TDbgFrm& f = Ready(3);
  Launch();
  EXPECT_EQ(f.PlayState, 1);
  EXPECT_EQ(f.LoadState, 1);
  EXPECT_TRUE(f.TimStartUp.Enabled());
  EXPECT_EQ(f.TimStartUp.Interval(), 5000);
  EXPECT_EQ(f.Keyb().ForwardStage.load(), 0);
  EXPECT_TRUE(f.flags.P1Idle() && f.flags.P2Idle());
  EXPECT_FALSE(f.Panel1.visible);

  Post(WM_EMULATOR_STATUS, 50, 100);
  EXPECT_TRUE(f.Pb1.visible);
  EXPECT_EQ(f.Pb1.position, 47);
  Post(WM_EMULATOR_STATUS, 93, 100);
  EXPECT_FALSE(f.Pb1.visible);
  EXPECT_EQ(f.LoadState, 3);
  Post(WM_PANEL_COMMAND, 200, 0);  // the emulator asks for its check settings
  std::uint8_t rec[CheckRecord::kSize];
  auto got = inp_.Receive(rec, sizeof rec, 0);
  while (got && got->length == CheckRecord::kSize) {
    auto next = inp_.Receive(rec, sizeof rec, 0);
    if (!next) break;
    got = next;
  }
  ASSERT_TRUE(got);

  // The start picture matches: on the next message tick with both idle, the prompt.
  GameFlags::Set(f.flags.MatchStart, true);
  loop_.Advance(800);
  EXPECT_EQ(f.PlayState, 2);
  auto dlg = LastDlg();
  ASSERT_TRUE(dlg);
  EXPECT_EQ(dlg->Slot1String(), StartPromptText(3));
  EXPECT_EQ(f.Keyb().ExitRemap.load(), 1);
  loop_.Advance(800);
  EXPECT_EQ(f.Keyb().ForwardStage.load(), 2);

  // Player 1 starts: coin pulse then start pulse; no credit taken yet.
  Keys();
  Post(WM_PANEL_COMMAND, 100, 2);
  EXPECT_EQ(f.PlayState, 3);
  EXPECT_EQ(Keys(), (std::vector<std::uint32_t>{0x1, 0, 0x2, 0}));
  EXPECT_TRUE(f.TimWaitCredits.Enabled());
  EXPECT_EQ(f.iCredits, 3);
  // The emulator reports the start: one credit, one play, the credits line, the hold.
  Post(WM_EMULATOR_STATUS, 2000, 1000);
  EXPECT_EQ(f.iCredits, 2);
  EXPECT_EQ(Calc().ReadInteger("DUZER", "iCredits", -1), 2);
  EXPECT_EQ(PlaysOf(0), 42);
  EXPECT_EQ(f.PlayerStage, 2);
  EXPECT_TRUE(f.TimBloq1.Enabled());
  EXPECT_EQ(LastDlg()->Slot2String(), "Credits 2");

  // Play for 20 s with the stick moving now and then; then game over: both idle again.
  Hold(false, true, 20000);
  EXPECT_EQ(f.PlayState, 3);
  Hold(true, true, 1700);
  EXPECT_EQ(f.PlayState, 2);  // 3 -> 4 -> 2: the prompt again
  EXPECT_EQ(LastDlg()->Slot1String(), StartPromptText(2));

  // The exit button at the prompt ends the game at once for the front end.
  Keys();
  loop_.Advance(1000);
  Post(WM_PANEL_COMMAND, 100, 1);
  EXPECT_FALSE(f.flags.Running());
  EXPECT_EQ(Keys(), (std::vector<std::uint32_t>{0x800000, 0}));
  Post(WM_EMULATOR_STATUS, 1000, 1000);
  EXPECT_EQ(f.LoadState, 0);
  EXPECT_EQ(f.PreviewCountdown, 1);
  EXPECT_EQ(f.iCredits, 2);
  EXPECT_EQ(PlaysOf(0), 42);
}

TEST_F(SupervisionTest, StartUpTimeIsKeptBetweenTwoAndSixtySeconds) {
  for (const auto& [seconds, want] : {std::pair{1, 2000}, {5, 5000}, {100, 60000}}) {
    TDbgFrm& f = Ready(2, 1, seconds);
    Launch();
    EXPECT_EQ(f.TimStartUp.Interval(), want) << seconds;
    loop_.Advance(want - 10);
    EXPECT_FALSE(GameFlags::Get(f.flags.MatchStart));
    loop_.Advance(20);
    EXPECT_TRUE(GameFlags::Get(f.flags.MatchStart));
    EXPECT_FALSE(f.TimStartUp.Enabled());
    frm_.reset();
    fs::remove(QdDir() / "PARAMS2.DAT");
  }
}

TEST_F(SupervisionTest, ProgressMessagesMoveTheBar) {
  TDbgFrm& f = Ready(1);
  Launch();
  struct Case {
    int w, l, bar;
    bool visible;
    int loadState;
  } cases[] = {{2, 100, 2, true, 1}, {50, 100, 47, true, 1}, {93, 100, 90, false, 3}};
  for (const Case& c : cases) {
    Post(WM_EMULATOR_STATUS, c.w, c.l);
    EXPECT_EQ(f.Pb1.position, c.bar) << c.w;
    EXPECT_EQ(f.Pb1.visible, c.visible) << c.w;
    EXPECT_EQ(f.LoadState, c.loadState) << c.w;
  }
  Post(WM_EMULATOR_STATUS, 5, 0);  // no scale: ignored
  EXPECT_EQ(f.Pb1.position, 90);
}

TEST_F(SupervisionTest, StartWithOneCreditLeavesZeroAndSecondStartIsDebounced) {
  TDbgFrm& f = Ready(1);
  Launch();
  GameFlags::Set(f.flags.MatchStart, true);
  loop_.Advance(1600);
  ASSERT_EQ(f.Keyb().ForwardStage.load(), 2);
  Keys();
  Post(WM_PANEL_COMMAND, 100, 2);
  EXPECT_EQ(Keys().size(), 4u);
  Post(WM_EMULATOR_STATUS, 2000, 1000);
  EXPECT_EQ(f.iCredits, 0);
  EXPECT_EQ(LastDlg()->Slot2String(), "Credits 0");
  loop_.Advance(1000);  // within 2.592 s of the accepted start
  Post(WM_PANEL_COMMAND, 100, 2);
  EXPECT_TRUE(Keys().empty());
  // Later, without credits: a beep and a start without a coin.
  loop_.Advance(3000);
  SetIdle(true, true);
  Post(WM_PANEL_COMMAND, 100, 2);
  EXPECT_EQ(Keys(), (std::vector<std::uint32_t>{0x2, 0}));
  EXPECT_EQ(f.iCredits, 0);
}

TEST_F(SupervisionTest, PlayerTwoJoinsOnlyATwoPlayerGameAfterPlayerOne) {
  for (int players : {1, 2}) {
    TDbgFrm& f = Ready(4, players);
    Launch();
    GameFlags::Set(f.flags.MatchStart, true);
    loop_.Advance(1600);
    Keys();
    Post(WM_PANEL_COMMAND, 100, 3);  // before any player-1 start
    EXPECT_TRUE(Keys().empty());
    Post(WM_PANEL_COMMAND, 100, 2);
    Post(WM_EMULATOR_STATUS, 2000, 1000);
    Keys();
    loop_.Advance(3000);
    Post(WM_PANEL_COMMAND, 100, 3);
    if (players == 1) {
      EXPECT_TRUE(Keys().empty());
    } else {
      EXPECT_EQ(Keys(), (std::vector<std::uint32_t>{0x2001, 0, 0x2000, 0}));
      EXPECT_EQ(PlaysOf(0), 43);  // counted at the coin pulse
      Post(WM_EMULATOR_STATUS, 2001, 1000);
      EXPECT_EQ(f.iCredits, 2);
      EXPECT_EQ(PlaysOf(0), 44);  // and again at the reported start
      EXPECT_TRUE(f.TimBloq2.Enabled());
    }
    frm_.reset();
    fs::remove(QdDir() / "PARAMS2.DAT");
  }
}

TEST_F(SupervisionTest, ExitButtonIsIgnoredWhileAPlayerIsInPlay) {
  TDbgFrm& f = Ready(2);
  Launch();
  GameFlags::Set(f.flags.MatchStart, true);
  loop_.Advance(1600);
  SetIdle(false, true);
  Keys();
  Post(WM_PANEL_COMMAND, 100, 1);
  EXPECT_TRUE(f.flags.Running());
  EXPECT_TRUE(Keys().empty());
  SetIdle(true, true);
  Post(WM_PANEL_COMMAND, 100, 1);
  EXPECT_FALSE(f.flags.Running());
}

TEST_F(SupervisionTest, OneServicePressArmsTheExitAndTwoSendIt) {
  TDbgFrm& f = Ready(2);
  Launch();
  GameFlags::Set(f.flags.MatchStart, true);
  loop_.Advance(5000);  // past the start-up phase, during which the button does nothing
  ASSERT_EQ(f.PlayState, 2);
  Keys();
  Post(WM_PANEL_INPUT, 600, 0);
  EXPECT_EQ(f.PlayState, 10);
  EXPECT_EQ(LastDlg()->Slot1String(), "");  // the prompt removed
  // Armed: the no-input counters stay low, so no automatic exit however long.
  loop_.Advance(120000);
  EXPECT_TRUE(Keys().empty());
  const std::int64_t t0 = loop_.NowMs();
  Post(WM_PANEL_INPUT, 600, 0);
  EXPECT_EQ(f.PlayState, 0);
  EXPECT_EQ(Keys(), (std::vector<std::uint32_t>{0x800000, 0}));
  EXPECT_EQ(loop_.NowMs() - t0, 450);
  EXPECT_TRUE(f.flags.Running());  // until the emulator's end message
}

TEST_F(SupervisionTest, UnattendedGamesAreExitedAtTheStartScreenAndInPlay) {
  {
    // At the start screen, nobody in play: more than 5 message ticks and 200 preview ticks.
    TDbgFrm& f = Ready(2);
    Launch();
    GameFlags::Set(f.flags.MatchStart, true);
    Keys();
    std::int64_t sentAt = -1;
    const std::int64_t t0 = loop_.NowMs();
    while (loop_.NowMs() - t0 < 30000 && sentAt < 0) {
      loop_.Advance(50);
      if (!Keys().empty()) sentAt = loop_.NowMs() - t0;
    }
    EXPECT_GT(sentAt, 14000);
    EXPECT_LT(sentAt, 17000);
    frm_.reset();
    fs::remove(QdDir() / "PARAMS2.DAT");
  }
  {
    // In play with no panel input at all: more than 90 message ticks, about 73 s.
    TDbgFrm& f = Ready(2);
    Launch();
    GameFlags::Set(f.flags.MatchStart, true);
    Keys();
    std::int64_t sentAt = -1;
    const std::int64_t t0 = loop_.NowMs();
    while (loop_.NowMs() - t0 < 90000 && sentAt < 0) {
      SetIdle(false, true);
      loop_.Advance(50);
      if (!Keys().empty()) sentAt = loop_.NowMs() - t0;
    }
    EXPECT_GT(sentAt, 72000);
    EXPECT_LT(sentAt, 74500);
  }
}

TEST_F(SupervisionTest, LaunchAfterALongIdleMenuIsNotExitedAtOnce) {
  TDbgFrm& f = Ready(2);
  loop_.Advance(100000);  // more than 90 message ticks without input on the menu
  ASSERT_GT(f.Keyb().GameNoInputTicks.load(), 90);
  f.IdleTicks = 100;
  Launch();
  Keys();
  loop_.Advance(2000);
  EXPECT_TRUE(Keys().empty());
}

TEST_F(SupervisionTest, NoLaunchWithoutCreditsOrWithAnUnsafeName) {
  TDbgFrm& f = Ready(0);
  StartPress();
  EXPECT_FALSE(f.flags.Running());
  f.iCredits = 1;
  f.LaunchGame("..\\evil x");
  EXPECT_FALSE(f.flags.Running());
  EXPECT_EQ(f.PlayState, 1);
}

}  // namespace
}  // namespace cs::test

int main(int argc, char** argv) { return cs::test::RunAll(argc, argv); }
