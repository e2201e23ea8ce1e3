#include "skin/skin_engine.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "platform/log.h"
#include "platform/virtual_event_loop.h"
#include "skin_fixture.h"

namespace cs {
namespace {

using test::kBackground;
using test::kLit;
using test::kNormal;
using test::kRed;

class SkinEngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetLogSink([this](const std::string& line) { log_.push_back(line); });
    engine_.OnCustomAction = [this](int n) {
      actions_.emplace_back(loop_.NowMs(), n);
      if (on_action_) on_action_(n);
    };
  }
  void TearDown() override { SetLogSink({}); }

  void Load(const std::string& ini) {
    ASSERT_TRUE(engine_.Load(folder_.Write("skin.ini", ini))) << engine_.LastError();
  }
  SkinObject* Find(const char* name) { return engine_.FindObject(engine_.RootObject(), name); }
  std::uint32_t Pixel(int x, int y) const { return engine_.Canvas().pixel(x, y) & 0xFFFFFF; }
  // Every pixel of the object's rectangle has this colour.
  bool Solid(const SkinObject* o, std::uint32_t rgb) const {
    for (int y = o->Top(); y < o->Top() + o->Height(); ++y) {
      for (int x = o->Left(); x < o->Left() + o->Width(); ++x) {
        if (Pixel(x, y) != rgb) return false;
      }
    }
    return true;
  }
  using Actions = std::vector<std::pair<std::int64_t, int>>;

  test::SkinFolder folder_;
  VirtualEventLoop loop_;
  SkinEngine engine_{loop_};
  Actions actions_;
  std::function<void(int)> on_action_;
  std::vector<std::string> log_;
};

TEST_F(SkinEngineTest, TwoStepHoverScriptDrawsAtOnceAndActsOnTheNextTick) {
  Load(test::kBaseSkin);
  SkinObject* a = Find("A");
  EXPECT_TRUE(Solid(a, kNormal));
  engine_.RunHoverEvent(a, false);
  EXPECT_TRUE(Solid(a, kLit));
  EXPECT_TRUE(actions_.empty());
  loop_.Advance(9);
  EXPECT_TRUE(actions_.empty());
  loop_.Advance(1);
  EXPECT_EQ(actions_, (Actions{{10, 1}}));
  EXPECT_FALSE(engine_.ScriptsRunning());
}

TEST_F(SkinEngineTest, ActionsStepOnTheSharedTenMillisecondTick) {
  Load(test::kBaseSkin);
  engine_.RunScript(Find("A"), "action(1);ACTION(2);Action(3)");
  loop_.Advance(5);
  // A script started between ticks runs its first command at once and joins the tick phase.
  engine_.RunScript(Find("B"), "action(8);action(9)");
  loop_.Advance(100);
  EXPECT_EQ(actions_, (Actions{{0, 1}, {5, 8}, {10, 2}, {10, 9}, {20, 3}}));
  // The tick stops with the last script: a new one starts a full interval.
  loop_.Advance(3);
  engine_.RunScript(Find("A"), "action(4);action(5)");
  loop_.Advance(100);
  EXPECT_EQ(actions_.back(), (std::pair<std::int64_t, int>{118, 5}));
}

TEST_F(SkinEngineTest, FadeCrossFadesAtEveryTickAndTheNextStepFollowsItsEnd) {
  Load(test::kBaseSkin);
  SkinObject* a = Find("A");
  engine_.RunScript(a, "FadeImage(btn,30,0,59,19,100);action(7)");
  EXPECT_TRUE(Solid(a, kNormal));
  loop_.Advance(50);
  EXPECT_TRUE(Solid(a, 0x006464));  // half of 0x00C800 and half of 0x0000C8
  loop_.Advance(25);                // the tick at 70: 70 % of the way
  EXPECT_EQ(Pixel(a->Left(), a->Top()), 0x003C8Bu);
  loop_.Advance(25);
  EXPECT_TRUE(Solid(a, kLit));
  EXPECT_TRUE(actions_.empty());
  loop_.Advance(10);
  EXPECT_EQ(actions_, (Actions{{110, 7}}));
}

TEST_F(SkinEngineTest, NewScriptEndsTheRunningStepAndTheNextThenDropsTheRest) {
  Load(test::kBaseSkin);
  SkinObject* a = Find("A");
  std::uint32_t seen_in_action = 0;
  on_action_ = [&](int) { seen_in_action = Pixel(a->Left(), a->Top()); };
  engine_.RunScript(a,
                    "FadeImage(btn,30,0,59,19,200);action(5);ChangeImage(red,0,0,29,19);action(6)");
  loop_.Advance(50);
  engine_.RunScript(a, "ChangeImage(btn,0,0,29,19)");
  EXPECT_EQ(actions_, (Actions{{50, 5}}));
  EXPECT_EQ(seen_in_action, kLit);  // the fade had jumped to its end before the action
  EXPECT_TRUE(Solid(a, kNormal));
  loop_.Advance(1000);
  EXPECT_EQ(actions_.size(), 1u);
  EXPECT_TRUE(Solid(a, kNormal));

  // Between steps: a leave right after a hover still raises the hover's action, at once.
  actions_.clear();
  engine_.RunHoverEvent(a, false);
  engine_.RunLeaveEvent(a, false);
  EXPECT_EQ(actions_, (Actions{{loop_.NowMs(), 1}}));
  EXPECT_TRUE(Solid(a, kNormal));
  EXPECT_FALSE(engine_.ScriptsRunning());

  // Empty text, or text without a valid command, does nothing: the running script goes on.
  actions_.clear();
  engine_.RunScript(a, "action(1);action(2)");
  engine_.RunScript(a, "");
  engine_.RunScript(a, "nonsense");
  loop_.Advance(10);
  EXPECT_EQ(actions_.size(), 2u);
}

TEST_F(SkinEngineTest, FindObjectIgnoresCaseAndSearchesOnlyTheSubtree) {
  Load(test::kBaseSkin);
  SkinObject* root = engine_.RootObject();
  ASSERT_NE(root, nullptr);
  EXPECT_EQ(root->Name(), "BACK");
  EXPECT_EQ(engine_.FindObject(root, "back"), root);
  SkinObject* a = engine_.FindObject(root, "a");
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(engine_.FindObject(a, "A"), a);
  SkinObject* a1 = engine_.FindObject(root, "a1");
  ASSERT_NE(a1, nullptr);
  EXPECT_EQ(a1->Parent(), a);
  EXPECT_EQ(engine_.FindObject(a, "A1"), a1);
  EXPECT_EQ(engine_.FindObject(a, "B"), nullptr);
  EXPECT_EQ(engine_.FindObject(engine_.FindObject(root, "B"), "A1"), nullptr);
  EXPECT_EQ(engine_.FindObject(root, "nothing"), nullptr);
  EXPECT_EQ(engine_.FindObject(nullptr, "A"), nullptr);
  ASSERT_EQ(root->Children().size(), 3u);
  EXPECT_EQ(root->Children()[1]->Name(), "B");
}

TEST_F(SkinEngineTest, HiddenObjectsAreNotDrawnAndIgnoreScripts) {
  Load(test::kBaseSkin);
  SkinObject* c = Find("C");
  EXPECT_FALSE(c->Visible());
  EXPECT_TRUE(Solid(c, kBackground));
  engine_.RunHoverEvent(c, false);
  EXPECT_TRUE(Solid(c, kBackground));
  EXPECT_TRUE(actions_.empty());
  engine_.ExecuteCommand(c, "ChangeImage(btn,0,0,29,19)");  // taken, not drawn
  EXPECT_TRUE(Solid(c, kBackground));
  engine_.ShowObject(c, true);
  EXPECT_TRUE(Solid(c, kNormal));

  // Hiding a parent hides its children and stops their scripts without running the rest.
  SkinObject* a = Find("A");
  SkinObject* a1 = Find("A1");
  engine_.RunHoverEvent(a, false);
  engine_.ShowObject(a, false);
  EXPECT_FALSE(a1->Visible());
  EXPECT_TRUE(Solid(a, kBackground));
  EXPECT_TRUE(Solid(a1, kBackground));
  loop_.Advance(100);
  EXPECT_TRUE(actions_.empty());
  // A recursive event skips the hidden branch and reaches the shown objects.
  engine_.RunHoverEvent(engine_.RootObject(), true);  // B at once, C (now shown) at the tick
  loop_.Advance(100);
  EXPECT_EQ(actions_, (Actions{{100, 2}, {110, 3}}));
  engine_.ShowObject(a, true);
  EXPECT_TRUE(Solid(a, kLit));  // the image its hover script set
  EXPECT_TRUE(Solid(a1, kRed));
}

constexpr const char* kTextSkin = R"([Images]
btn=btn.png
[BACK]
Kind=form
Width=640
Height=480
Child=T,P
[T]
Image=btn,0,0,29,19
Left=10
Top=10
Width=120
Height=30
Text=WWW
FontSize=20
FontStyle=bold
TextColor=#FF0000
DisabledTextColor=#FFFF00
LeaveEvent=ChangeImage(btn,30,0,59,19)
[P]
Image=btn,25,0,59,19
Left=100
Top=100
Width=10
Height=10
Child=Q
[Q]
Image=btn,50,10,69,29
Left=200
Top=200
Width=20
Height=20
)";

int CountColour(const QImage& img, QRect r, std::uint32_t rgb) {
  int n = 0;
  for (int y = r.top(); y <= r.bottom(); ++y) {
    for (int x = r.left(); x <= r.right(); ++x) n += (img.pixel(x, y) & 0xFFFFFF) == rgb;
  }
  return n;
}

TEST_F(SkinEngineTest, ImagesAreUnscaledAtTheTopLeftAndClippedToTheObject) {
  Load(kTextSkin);
  // P shows btn from x 25: five normal columns, then lit ones, cut at its 10 x 10.
  EXPECT_EQ(Pixel(100, 100), kNormal);
  EXPECT_EQ(Pixel(104, 109), kNormal);
  EXPECT_EQ(Pixel(105, 100), kLit);
  EXPECT_EQ(Pixel(109, 109), kLit);
  EXPECT_EQ(Pixel(110, 100), 0u);  // outside P: nothing draws there (no background image)
  // Q's rectangle reaches past the picture's right and bottom: those parts are not drawn.
  EXPECT_EQ(Pixel(200, 200), kLit);
  EXPECT_EQ(Pixel(209, 209), kLit);
  EXPECT_EQ(Pixel(210, 200), 0u);
  EXPECT_EQ(Pixel(200, 210), 0u);
  // T's 30 x 20 image fills only part of its 120 x 30 rectangle.
  EXPECT_EQ(Pixel(12, 12), kNormal);
  EXPECT_EQ(Pixel(45, 35), 0u);
}

TEST_F(SkinEngineTest, TextColoursAndExecuteCommandWithoutText) {
  Load(kTextSkin);
  SkinObject* t = Find("T");
  const QRect left_part(t->Left(), t->Top(), 30, 20);  // where the image lies
  EXPECT_GT(CountColour(engine_.Canvas(), t->Rect(), 0xFF0000), 10);
  // The caption starts 4 pixels in, vertically centred.
  EXPECT_EQ(CountColour(engine_.Canvas(), QRect(10, 10, 4, 30), 0xFF0000), 0);

  t->SetTextEnabled(false);
  EXPECT_GT(CountColour(engine_.Canvas(), t->Rect(), 0xFF0000), 10);  // nothing drawn yet
  engine_.RunLeaveEvent(t, false);  // an image step redraws with the caption
  EXPECT_EQ(CountColour(engine_.Canvas(), t->Rect(), 0xFF0000), 0);
  EXPECT_GT(CountColour(engine_.Canvas(), t->Rect(), 0xFFFF00), 10);
  EXPECT_LT(CountColour(engine_.Canvas(), left_part, kLit), 600);

  engine_.ExecuteCommand(t, "ChangeImage(btn,0,0,29,19)");
  EXPECT_EQ(CountColour(engine_.Canvas(), left_part, kNormal), 600);
  EXPECT_EQ(CountColour(engine_.Canvas(), t->Rect(), 0xFFFF00), 0);

  const QImage before = engine_.Canvas().copy();
  engine_.ExecuteCommand(t, "action(3);FadeImage(btn,30,0,59,19,50)");
  EXPECT_TRUE(actions_.empty());
  EXPECT_EQ(engine_.Canvas(), before);
  EXPECT_FALSE(engine_.ScriptsRunning());

  // RepaintSkin draws the captions again.
  engine_.RepaintSkin();
  EXPECT_GT(CountColour(engine_.Canvas(), t->Rect(), 0xFFFF00), 10);
}

TEST_F(SkinEngineTest, HandlersMayRunScriptsOrReload) {
  Load(test::kBaseSkin);
  SkinObject* a = Find("A");
  // The handler's script on the same object is the newest: it holds.
  on_action_ = [&](int n) {
    if (n == 1) engine_.RunScript(a, "ChangeImage(btn,30,0,59,19)");
  };
  engine_.RunScript(a, "action(1);ChangeImage(red,0,0,29,19);action(9)");
  loop_.Advance(100);
  EXPECT_TRUE(Solid(a, kLit));
  EXPECT_EQ(actions_, (Actions{{0, 1}}));

  // A handler that restarts its own action is cut off, not recursed without end.
  actions_.clear();
  on_action_ = [&](int n) {
    if (n == 2) engine_.RunScript(a, "action(2)");
  };
  engine_.RunScript(a, "action(2)");
  EXPECT_EQ(actions_.size(), 16u);

  // Reloading inside a handler: until the handler returns, the old skin's objects still exist
  // and every engine call ignores them; the new skin is drawn and its scripts run.
  actions_.clear();
  on_action_ = [&](int n) {
    if (n != 1) return;
    const std::uint64_t generation = engine_.Generation();
    Load(test::kBaseSkin);
    EXPECT_NE(engine_.Generation(), generation);
    EXPECT_EQ(engine_.FindObject(a, "A"), nullptr);
    engine_.RunScript(a, "action(4)");
    engine_.ShowObject(a, false);
    engine_.RunScript(Find("B"), "action(5)");
  };
  const std::int64_t t0 = loop_.NowMs();
  engine_.RunHoverEvent(engine_.RootObject(), true);  // A's hover raises 1 at the next tick
  loop_.Advance(100);
  EXPECT_EQ(actions_, (Actions{{t0, 11}, {t0, 2}, {t0 + 10, 1}, {t0 + 10, 5}}));
  EXPECT_TRUE(Solid(Find("A"), kNormal));
  EXPECT_FALSE(engine_.ScriptsRunning());
}

TEST_F(SkinEngineTest, LoadFailuresLeaveNoSkin) {
  Load(test::kBaseSkin);
  EXPECT_FALSE(engine_.Load(folder_.Path("missing.ini")));
  EXPECT_NE(engine_.LastError().find("missing.ini"), std::string::npos);
  EXPECT_EQ(engine_.RootObject(), nullptr);
  EXPECT_EQ(Pixel(20, 20), 0u);

  const std::string bad =
      folder_.Write("bad.ini", "[BACK]\nLeft=0\n[X]\nKind=form\n[Y]\nKind=form\n");
  EXPECT_FALSE(engine_.Load(bad));
  EXPECT_NE(engine_.LastError().find("bad.ini:6: a second object has Kind=form"), std::string::npos)
      << engine_.LastError();

  // A picture that cannot be read: the skin loads, the object draws nothing, the log says why.
  folder_.Write("broken.png", "not a picture");
  log_.clear();
  Load("[Images]\nbg=broken.png\n[BACK]\nKind=form\nImage=bg,0,0,639,479\nWidth=640\nHeight=480\n");
  EXPECT_EQ(Pixel(20, 20), 0u);
  ASSERT_FALSE(log_.empty());
  EXPECT_NE(log_[0].find("cannot be read"), std::string::npos) << log_[0];
  // Picture files are found without regard to case.
  Load("[Images]\nbg=BG.PNG\n[BACK]\nKind=form\nImage=bg,0,0,639,479\nWidth=640\nHeight=480\n");
  EXPECT_EQ(Pixel(20, 20), kBackground);
}

}  // namespace
}  // namespace cs
