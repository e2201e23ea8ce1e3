#pragma once
// The test backend: a virtual clock that moves only through Advance(), Sleep() and the nested
// loop. Posts may come from any thread (a real reader thread in a test); everything else is the
// test's own thread, which plays the main thread.
#include <chrono>
#include <condition_variable>

#include "platform/event_loop.h"
#include "platform/event_queue_private.h"

namespace cs {

class VirtualEventLoop final : public EventLoop {
 public:
  explicit VirtualEventLoop(Date startDate = Date{2026, 1, 1}, double startTimeOfDay = 0.5)
      : clock_(startDate, startTimeOfDay) {}

  const Clock& clock() const override { return clock_; }
  VirtualClock& virtual_clock() { return clock_; }

  void Post(Task task) override;
  TimerId Schedule(std::int64_t delayMs, Task task) override;
  void Cancel(TimerId id) override { queue_.Cancel(id); }
  // Moves virtual time at once; nothing is dispatched.
  void Sleep(int ms) override { clock_.AdvanceBy(ms < 0 ? 0 : ms); }
  // Dispatches posted work and, when none is left, jumps to the next timer. Throws
  // std::logic_error when nothing is left to dispatch and done() is still false: a nested loop
  // that can never end is a fault of the test, not a hang.
  void RunUntil(const std::function<bool()>& done) override;

  // Runs everything posted and every timer due up to now + ms, in order, then sets the clock to
  // now + ms (or later, if a handler slept past it).
  void Advance(std::int64_t ms);
  // Runs posted work only, at the current time.
  void DrainPosted();
  // Real time: waits until some thread has posted work (for tests with real threads). Returns
  // whether work is waiting.
  bool WaitForPosted(std::chrono::milliseconds timeout);

 private:
  bool DispatchOne(std::int64_t limitMs);

  VirtualClock clock_;
  detail::EventQueue queue_;
  std::mutex wait_mutex_;
  std::condition_variable posted_cv_;
};

}  // namespace cs
