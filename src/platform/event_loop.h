#pragma once
// The main thread's event loop: posted work, one-shot timers, blocking waits and nested loops.
//
// Everything that decides in coinshell runs on the main thread, driven by posted messages and
// timers. Two backends implement this one interface:
//   - QtEventLoop (qt_event_loop.h): the program, on Qt's event loop and the wall clock;
//   - VirtualEventLoop (virtual_event_loop.h): tests, on a virtual clock that only moves when the
//     test advances it, so that a 73 s timing rule is checked in microseconds.
//
// Ordering rules shared by both backends (the design relies on them):
//   - posted work runs in the order it was posted, before any timer that is due (timers are the
//     lowest-priority messages, as on the design's platform);
//   - due timers fire in order of due time, then of scheduling;
//   - Sleep() blocks the main thread: nothing is dispatched while it waits, and what fell due
//     meanwhile runs after the sleeping handler returns.
#include <cstdint>
#include <functional>

#include "platform/clock.h"

namespace cs {

class EventLoop {
 public:
  using TimerId = std::uint64_t;
  using Task = std::function<void()>;

  virtual ~EventLoop() = default;

  // The loop's clock (monotonic milliseconds and the wall date/time of day).
  virtual const Clock& clock() const = 0;
  std::int64_t NowMs() const { return clock().NowMs(); }

  // Any thread: queue a task to run on the main thread. Tasks run in posting order.
  virtual void Post(Task task) = 0;

  // Main thread: run a task once, delayMs from now. Returns an id for Cancel (never 0).
  virtual TimerId Schedule(std::int64_t delayMs, Task task) = 0;
  // Main thread: cancel a scheduled task; unknown or already run ids are ignored.
  virtual void Cancel(TimerId id) = 0;

  // Main thread: block for ms milliseconds; posted work and timers wait.
  virtual void Sleep(int ms) = 0;

  // Main thread: a nested loop that dispatches posted work and timers until done() is true.
  // done() is tested before each dispatch. This is how a modal window runs.
  virtual void RunUntil(const std::function<bool()>& done) = 0;
};

}  // namespace cs
