// The menu screen and its previews on the preview clock, in virtual time.
#include <QImage>

#include "cabinet_fixture.h"
#include "platform/video_writer.h"

namespace cs::test {
namespace {

class MenuTest : public CabinetFixture {
 protected:
  // Advances past the start-up's first TimAvi tick (2 s) so the 50 ms clock runs.
  void RunIn() { loop_.Advance(2000 + 20); }
  QImage Region(const QRect& r) { return frm_->Screenshot().copy(r); }
  QImage Picture(const char* file, const QRect& r) {
    return QImage(QString::fromStdString((MenuSkin().parent_path() / file).string()))
        .convertToFormat(QImage::Format_RGB32)
        .copy(r);
  }
  void MakeVideo(const std::string& name, int w, int h, int frames = 40) {
    VideoWriter vw;
    ASSERT_TRUE(vw.Open(QdDir() / (name + ".AVI"), w, h, 25));
    for (int i = 0; i < frames; ++i) {
      QImage f(w, h, QImage::Format_RGB32);
      f.fill(QColor((i * 6) % 256, 90, 200));
      vw.Write(f);
    }
    ASSERT_TRUE(vw.Close());
  }
  void Press(int code) {
    frm_->PostMessage(WM_PANEL_INPUT, code, code == 6 || code == 7 ? 0 : 50);
    loop_.Advance(30);
  }
};

TEST_F(MenuTest, PagesFillByTitleWithArrowsPastTheEnd) {
  WriteGamesInUse(25);
  WriteCalc("");
  TDbgFrm& f = Start();
  RunIn();
  f.PageOffset = 30;
  f.FillPage();
  for (int n = 1; n <= 5; ++n) EXPECT_EQ(SlotText(n), " Title " + std::to_string(19 + n));
  for (int n = 6; n <= 10; ++n) EXPECT_EQ(SlotText(n), "  -->");
  f.PageOffset = 40;
  f.FillPage();
  for (int n = 1; n <= 10; ++n) EXPECT_EQ(SlotText(n), "  -->");
}

TEST_F(MenuTest, PageTurnKeepsTheSlotAndSelectsItsGame) {
  WriteGamesInUse(15);
  WriteCalc("");
  TDbgFrm& f = Start();
  RunIn();
  for (int i = 0; i < 6; ++i) Press(208);
  ASSERT_EQ(f.CurSlot, 7);
  Press(205);  // top ten -> page 1
  EXPECT_EQ(f.PageOffset, 10);
  EXPECT_EQ(f.CurSlot, 7);
  EXPECT_EQ(f.AviFileName, "C:\\QD\\GAME06.AVI");  // the seventh title
  loop_.Advance(300);
  Press(205);  // page 2: slots 6..10 show arrows; slot 7 selects the last row
  EXPECT_EQ(f.PageOffset, 20);
  EXPECT_EQ(SlotText(7), "  -->");
  EXPECT_EQ(f.AviFileName, "C:\\QD\\GAME14.AVI");
}

TEST_F(MenuTest, PageTurnsAreDebouncedAndWrapAround) {
  WriteGamesInUse(3);
  WriteCalc("");
  TDbgFrm& f = Start();
  RunIn();
  Press(203);  // top ten -> page 4
  EXPECT_EQ(f.PageOffset, 40);
  loop_.Advance(70);  // 0.1 s after the first press
  Press(203);
  EXPECT_EQ(f.PageOffset, 40);
  loop_.Advance(300);
  Press(203);
  EXPECT_EQ(f.PageOffset, 30);
  f.PageOffset = 40;
  loop_.Advance(300);
  Press(205);
  EXPECT_EQ(f.PageOffset, 0);
  // Up on slot 1 goes to slot 10, down on slot 10 to slot 1.
  Press(200);
  EXPECT_EQ(f.CurSlot, 10);
  Press(208);
  EXPECT_EQ(f.CurSlot, 1);
}

TEST_F(MenuTest, PromptBlinksBetweenTheLooksOfTheCreditState) {
  WriteGamesInUse(3);
  WriteCalc("iCredits=0\n");
  TDbgFrm& f = Start();
  RunIn();
  // The narrowest of the four rectangles (CoinDwn's 4..368) is 365 pixels wide.
  const QRect msg(18, 435, 365, 43);
  const QImage insertCoin = Picture("bt_start.png", QRect(0, 50, 365, 43));
  const QImage coinDown = Picture("coindwn.png", QRect(4, 2, 365, 43));
  const QImage pressGlow = Picture("bt_start.png", QRect(0, 100, 365, 43));
  const QImage pressPlain = Picture("bt_start.png", QRect(0, 150, 365, 43));
  std::vector<QImage> seen;
  for (int i = 0; i < 4; ++i) {
    loop_.Advance(300);  // one refresh every sixth 50 ms tick
    seen.push_back(Region(msg));
  }
  EXPECT_TRUE(seen[0] == insertCoin || seen[0] == coinDown);
  EXPECT_NE(seen[0], seen[1]);
  EXPECT_EQ(seen[0], seen[2]);
  EXPECT_TRUE(seen[1] == insertCoin || seen[1] == coinDown);
  f.iCredits = 150;
  loop_.Advance(300);
  const QImage a = Region(msg);
  loop_.Advance(300);
  const QImage b = Region(msg);
  EXPECT_TRUE((a == pressGlow && b == pressPlain) || (a == pressPlain && b == pressGlow));
  EXPECT_EQ(f.ZsCredits.caption, "150");
  EXPECT_EQ(FormatCredits(7), "07");
}

TEST_F(MenuTest, PreviewIsSizedCentredAndLoops) {
  std::vector<GameRow> rows;
  for (int k = 0; k < 4; ++k) rows.push_back(MakeGame(k, "GR1", 10 - k));
  WriteCatalogue(rows);
  WriteCalc("");
  MakeVideo("GAME00", 352, 288);
  MakeVideo("GAME01", 320, 240);
  MakeVideo("GAME02", 200, 258);
  MakeVideo("GAME03", 200, 259);
  TDbgFrm& f = Start();
  RunIn();
  struct Case {
    QRect want;
  } cases[] = {{QRect(2, 15, 330, 256)},
               {QRect(7, 23, 320, 240)},
               {QRect(67, 14, 200, 258)},
               {QRect(67, 15, 200, 256)}};
  for (int slot = 1; slot <= 4; ++slot) {
    if (slot > 1) Press(208);
    loop_.Advance(8 * 50 + 60);  // the preview opens 8 ticks after the highlight rests
    EXPECT_EQ(f.Mavic.DisplayRect(), cases[slot - 1].want) << "slot " << slot;
    EXPECT_EQ(f.Panel1.frame.size(), cases[slot - 1].want.size());
  }
  // Stepping 5 frames a tick loops within 6 frames of the end: positions stay in range and the
  // picture keeps changing for a minute.
  std::int64_t maxPos = 0, restarts = 0, last = 0;
  for (int i = 0; i < 1200; ++i) {
    loop_.Advance(50);
    maxPos = std::max(maxPos, f.Mavic.Position());
    if (f.Mavic.Position() < last) ++restarts;
    last = f.Mavic.Position();
  }
  EXPECT_LE(maxPos, 39);
  EXPECT_GE(restarts, 100);
}

TEST_F(MenuTest, PreviewOpensWhenTheCountReachesTwoAndStepsOnlyWhileShown) {
  WriteGamesInUse(2);
  WriteCalc("");
  MakeVideo("GAME00", 320, 240);
  TDbgFrm& f = Start();
  loop_.Advance(1990);  // just before the first preview-clock tick
  ASSERT_EQ(f.PreviewCountdown, 10);
  // Ticks 1..7 count down to 3; the eighth reaches 2 and opens the file.
  for (int tick = 1; tick <= 7; ++tick) {
    loop_.Advance(50);
    EXPECT_EQ(f.Mavic.GetMode(), VideoPlayer::Mode::kNotReady) << "tick " << tick;
  }
  loop_.Advance(50);
  EXPECT_EQ(f.PreviewCountdown, 2);
  EXPECT_NE(f.Mavic.GetMode(), VideoPlayer::Mode::kNotReady);
  EXPECT_EQ(f.Mavic.Position(), 0);
  loop_.Advance(50);
  EXPECT_EQ(f.Mavic.Position(), 5);
  f.Hide();  // covered: not stepped
  loop_.Advance(500);
  EXPECT_EQ(f.Mavic.Position(), 5);
  f.Show();
  loop_.Advance(50);
  EXPECT_EQ(f.Mavic.Position(), 10);
  const std::string status = f.StatusJson({});
  EXPECT_NE(status.find("\"preview\":{\"file\":"), std::string::npos) << status;
  EXPECT_NE(status.find("\"position\":10,\"length\":40,\"rect\":[7,23,320,240]"), std::string::npos)
      << status;
}

TEST_F(MenuTest, MissingPreviewLeavesThePanelBlackAndAttractGoesOn) {
  WriteGamesInUse(12);
  WriteCalc("");
  TDbgFrm& f = Start();
  RunIn();
  loop_.Advance(1000);
  EXPECT_TRUE(f.Panel1.frame.isNull());
  const QImage panel = Region(f.Panel1.rect);
  EXPECT_EQ(panel.pixelColor(170, 150), QColor(Qt::black));
  // Attract: 46 message-timer ticks (36.8 s) without input move the highlight one slot down,
  // then every 16 ticks (12.8 s); from slot 10 the page turns. The timer's ticks during the
  // start-up wait came as one, at 3 s, so the 46th is at 3.2 s + 44 x 0.8 s.
  const std::int64_t t0 = loop_.NowMs();
  while (f.CurSlot == 1 && loop_.NowMs() - t0 < 60000) loop_.Advance(10);
  EXPECT_EQ(f.CurSlot, 2);
  EXPECT_GE(loop_.NowMs(), 3200 + 44 * 800);
  EXPECT_LE(loop_.NowMs(), 3200 + 44 * 800 + 60);
  loop_.Advance(12800 * 8 + 400);
  EXPECT_EQ(f.CurSlot, 10);
  loop_.Advance(12800);
  EXPECT_EQ(f.CurSlot, 1);
  EXPECT_EQ(f.PageOffset, 10);
}

TEST_F(MenuTest, AttractStaysStillInServiceMode) {
  WriteGamesInUse(12);
  WriteCalc("");
  TDbgFrm& f = Start();
  RunIn();
  f.ServiceMode = 10;
  loop_.Advance(120000);
  EXPECT_EQ(f.CurSlot, 1);
  EXPECT_EQ(f.PageOffset, 0);
}

TEST_F(MenuTest, LoadingShowsTheRightPlayerBadge) {
  std::vector<GameRow> rows{MakeGame(0, "GR1", 10, 1), MakeGame(1, "GR1", 5, 2)};
  WriteCatalogue(rows);
  WriteCalc("");
  TDbgFrm& f = Start();
  RunIn();
  SkinObject* player = f.Ske.FindObject(f.Ske.RootObject(), "PLAYER");
  ASSERT_NE(player, nullptr);
  const QRect badge = player->Rect();
  f.Panel1.visible = false;  // a launch hides the preview panel over the badge
  f.LoadState = 1;
  loop_.Advance(320);
  EXPECT_TRUE(player->Visible());
  const QImage one = Region(badge);
  EXPECT_EQ(one, Picture("player.png", QRect(60, 0, 60, 50)));  // crossed-out 2P
  Press(208);                                                   // the two-player game
  f.LoadState = 1;
  f.Panel1.visible = false;
  loop_.Advance(320);
  EXPECT_EQ(Region(badge), Picture("player.png", QRect(0, 0, 60, 50)));
}

}  // namespace
}  // namespace cs::test

int main(int argc, char** argv) { return cs::test::RunAll(argc, argv); }
