#pragma once
// Timers of the screens, on an EventLoop. Main thread only.
//
// Timer: the forms' ordinary timer.
//   - enabling a disabled timer starts a full interval; disabling cancels the pending tick;
//   - changing the interval of an enabled timer restarts it with the new interval; setting the
//     same value again changes nothing; setting it to 0 stops ticks until it is non-zero again;
//   - ticks are periodic from the moment it was (re)started and keep that phase; periods that
//     pass while the main thread is blocked make one late tick, not one per period (a handler
//     that blocks for longer than the interval gets one more tick as soon as it returns).
//
// ThreadTimer: the preview clock's kind. Each interval starts after the previous handler has
// ended, so the real period is the interval plus the handler's time. Changing the interval inside
// the handler sets the next interval.
#include <functional>

#include "platform/event_loop.h"

namespace cs {

class Timer final {
 public:
  using Handler = std::function<void()>;

  Timer(EventLoop& loop, int intervalMs, bool enabled, Handler onTimer = {});
  ~Timer();
  Timer(const Timer&) = delete;
  Timer& operator=(const Timer&) = delete;

  void SetEnabled(bool on);
  bool Enabled() const { return enabled_; }
  void SetInterval(int ms);
  int Interval() const { return interval_; }
  void SetHandler(Handler h) { handler_ = std::move(h); }

 private:
  void Arm(std::int64_t dueMs);
  void Disarm();
  void Fire();

  EventLoop& loop_;
  int interval_;
  bool enabled_ = false;
  Handler handler_;
  EventLoop::TimerId pending_ = 0;
  std::int64_t due_ = 0;
};

class ThreadTimer final {
 public:
  using Handler = std::function<void()>;

  ThreadTimer(EventLoop& loop, int intervalMs, bool enabled, Handler onTimer = {});
  ~ThreadTimer();
  ThreadTimer(const ThreadTimer&) = delete;
  ThreadTimer& operator=(const ThreadTimer&) = delete;

  void SetEnabled(bool on);
  bool Enabled() const { return enabled_; }
  // Outside the handler: restarts the wait when enabled and the value changes.
  // Inside the handler: becomes the next interval.
  void SetInterval(int ms);
  int Interval() const { return interval_; }
  void SetHandler(Handler h) { handler_ = std::move(h); }

 private:
  void Arm();
  void Fire();

  EventLoop& loop_;
  int interval_;
  bool enabled_ = false;
  bool in_handler_ = false;
  Handler handler_;
  EventLoop::TimerId pending_ = 0;
};

}  // namespace cs
