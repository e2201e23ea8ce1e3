// Timer and loop semantics on the virtual clock: every later timing rule depends on these.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "platform/message_target.h"
#include "platform/timer.h"
#include "platform/virtual_event_loop.h"

namespace cs {
namespace {

struct Trace {
  VirtualEventLoop& loop;
  std::vector<std::string> log;
  void Add(const std::string& what) { log.push_back(what + "@" + std::to_string(loop.NowMs())); }
};

TEST(TimerTest, EnableRestartsAndIntervalChangeRestarts) {
  VirtualEventLoop loop;
  Trace t{loop, {}};
  Timer timer(loop, 800, true, [&] { t.Add("tick"); });
  loop.Advance(500);
  timer.SetInterval(800);  // same value: no restart
  loop.Advance(400);       // 900: the 800 tick has fired
  timer.SetInterval(300);  // restart from 900
  loop.Advance(300);       // 1200
  timer.SetEnabled(false);
  loop.Advance(1000);
  timer.SetEnabled(true);  // 2200: a full interval again
  loop.Advance(299);
  loop.Advance(1);
  EXPECT_EQ(t.log, (std::vector<std::string>{"tick@800", "tick@1200", "tick@2500"}));
}

TEST(TimerTest, BlockingHandlerGetsOneLateTickThenPeriodResumes) {
  VirtualEventLoop loop;
  Trace t{loop, {}};
  bool slept = false;
  Timer timer(loop, 100, true, [&] {
    t.Add("tick");
    if (!slept) {
      slept = true;
      loop.Sleep(350);
    }
  });
  loop.Advance(700);
  EXPECT_EQ(t.log,
            (std::vector<std::string>{"tick@100", "tick@450", "tick@500", "tick@600", "tick@700"}));
}

TEST(TimerTest, TicksMissedWhileBlockedElsewhereComeOnceAndKeepThePhase) {
  VirtualEventLoop loop;
  Trace t{loop, {}};
  Timer timer(loop, 800, true, [&] { t.Add("tick"); });
  loop.Schedule(100, [&] { loop.Sleep(2900); });  // a start-up wait blocks the loop until 3000
  loop.Advance(4000);
  EXPECT_EQ(t.log, (std::vector<std::string>{"tick@3000", "tick@3200", "tick@4000"}));
}

TEST(TimerTest, HandlerDisablingItselfStops) {
  VirtualEventLoop loop;
  int n = 0;
  Timer* self = nullptr;
  Timer timer(loop, 600, false, [&] {
    ++n;
    self->SetEnabled(false);
  });
  self = &timer;
  timer.SetEnabled(true);
  loop.Advance(5000);
  EXPECT_EQ(n, 1);
  EXPECT_FALSE(timer.Enabled());
}

TEST(ThreadTimerTest, NextIntervalStartsAfterHandlerEnds) {
  VirtualEventLoop loop;
  Trace t{loop, {}};
  ThreadTimer* self = nullptr;
  ThreadTimer timer(loop, 2000, false, [&] {
    t.Add("tick");
    self->SetInterval(50);
    loop.Sleep(10);  // the handler's own time lengthens the period
  });
  self = &timer;
  timer.SetEnabled(true);
  loop.Advance(2125);
  EXPECT_EQ(t.log, (std::vector<std::string>{"tick@2000", "tick@2060", "tick@2120"}));
}

TEST(EventLoopTest, PostedWorkRunsInOrderBeforeDueTimers) {
  VirtualEventLoop loop;
  Trace t{loop, {}};
  loop.Schedule(0, [&] { t.Add("timer"); });
  loop.Post([&] {
    t.Add("a");
    loop.Post([&] { t.Add("c"); });
  });
  loop.Post([&] { t.Add("b"); });
  loop.Advance(0);
  EXPECT_EQ(t.log, (std::vector<std::string>{"a@0", "b@0", "c@0", "timer@0"}));
}

TEST(EventLoopTest, SleepInHandlerDelaysOthersWithoutDispatching) {
  VirtualEventLoop loop;
  Trace t{loop, {}};
  loop.Schedule(10, [&] {
    t.Add("sleeper");
    loop.Post([&] { t.Add("posted"); });
    loop.Sleep(3000);
    t.Add("woke");
  });
  loop.Schedule(20, [&] { t.Add("due-meanwhile"); });
  loop.Advance(5000);
  EXPECT_EQ(t.log, (std::vector<std::string>{"sleeper@10", "woke@3010", "posted@3010",
                                             "due-meanwhile@3010"}));
  EXPECT_EQ(loop.NowMs(), 5000);
}

class Recorder : public Form {
 public:
  Recorder(EventLoop& loop) : Form(loop, "TRecorder") {}
  std::vector<Message> got;

 protected:
  void WndProc(const Message& m) override {
    got.push_back(m);
    if (m.msg == 2) Hide();
  }
};

TEST(EventLoopTest, ModalShowKeepsMessagesFlowingUntilHidden) {
  VirtualEventLoop loop;
  Recorder form(loop);
  loop.Schedule(100, [&] { form.PostMessage(1, 7, 0); });
  loop.Schedule(250, [&] { form.PostMessage(2, 0, 0); });
  form.ShowModal();
  EXPECT_FALSE(form.Visible());
  ASSERT_EQ(form.got.size(), 2u);
  EXPECT_EQ(form.got[0].wParam, 7);
  EXPECT_EQ(loop.NowMs(), 250);
}

TEST(EventLoopTest, StarvedModalLoopThrowsInsteadOfHanging) {
  VirtualEventLoop loop;
  Recorder form(loop);
  EXPECT_THROW(form.ShowModal(), std::logic_error);
}

TEST(EventLoopTest, PostsFromAnotherThreadArriveInOrder) {
  VirtualEventLoop loop;
  Recorder form(loop);
  std::thread th([&] {
    for (int i = 0; i < 1000; ++i) form.PostMessage(1, i, 0);
  });
  th.join();
  loop.DrainPosted();
  ASSERT_EQ(form.got.size(), 1000u);
  for (int i = 0; i < 1000; ++i) ASSERT_EQ(form.got[i].wParam, i);
}

TEST(EventLoopTest, MessageToDestroyedTargetIsDropped) {
  VirtualEventLoop loop;
  auto form = std::make_unique<Recorder>(loop);
  form->PostMessage(1, 0, 0);
  form.reset();
  loop.DrainPosted();  // must not touch the destroyed form
  SUCCEED();
}

}  // namespace
}  // namespace cs
