#include "platform/timer.h"

#include <algorithm>

namespace cs {

Timer::Timer(EventLoop& loop, int intervalMs, bool enabled, Handler onTimer)
    : loop_(loop), interval_(intervalMs), handler_(std::move(onTimer)) {
  SetEnabled(enabled);
}

Timer::~Timer() { Disarm(); }

void Timer::SetEnabled(bool on) {
  if (on == enabled_) return;
  enabled_ = on;
  if (on) {
    Arm(loop_.NowMs() + interval_);
  } else {
    Disarm();
  }
}

void Timer::SetInterval(int ms) {
  if (ms == interval_) return;
  interval_ = ms;
  if (enabled_) {
    Disarm();
    Arm(loop_.NowMs() + interval_);
  }
}

void Timer::Arm(std::int64_t dueMs) {
  if (interval_ <= 0) return;
  due_ = dueMs;
  pending_ = loop_.Schedule(std::max<std::int64_t>(0, dueMs - loop_.NowMs()), [this] { Fire(); });
}

void Timer::Disarm() {
  if (pending_ != 0) loop_.Cancel(pending_);
  pending_ = 0;
}

void Timer::Fire() {
  pending_ = 0;
  if (!enabled_) return;
  const std::int64_t firedDue = due_;
  const std::int64_t dispatched = loop_.NowMs();
  if (handler_) handler_();
  // The handler may have disabled the timer, changed its interval (which re-armed it) or
  // re-enabled it; only a timer still waiting for its next period is re-armed here.
  if (!enabled_ || pending_ != 0 || interval_ <= 0) return;
  // The timer keeps its phase. Expiries while the loop was blocked before this dispatch were
  // one pending tick, the one just handled; an expiry during the handler leaves one more
  // pending, delivered as soon as the handler has returned.
  const std::int64_t now = loop_.NowMs();
  const std::int64_t next = firedDue + interval_ * ((dispatched - firedDue) / interval_ + 1);
  if (next <= now) {
    pending_ = loop_.Schedule(0, [this] { Fire(); });
    due_ = firedDue + interval_ * ((now - firedDue) / interval_);
  } else {
    Arm(next);
  }
}

ThreadTimer::ThreadTimer(EventLoop& loop, int intervalMs, bool enabled, Handler onTimer)
    : loop_(loop), interval_(intervalMs), handler_(std::move(onTimer)) {
  SetEnabled(enabled);
}

ThreadTimer::~ThreadTimer() {
  if (pending_ != 0) loop_.Cancel(pending_);
}

void ThreadTimer::SetEnabled(bool on) {
  if (on == enabled_) return;
  enabled_ = on;
  if (pending_ != 0) loop_.Cancel(pending_);
  pending_ = 0;
  if (on && !in_handler_) Arm();
}

void ThreadTimer::SetInterval(int ms) {
  if (ms == interval_) return;
  interval_ = ms;
  if (enabled_ && !in_handler_) {
    if (pending_ != 0) loop_.Cancel(pending_);
    pending_ = 0;
    Arm();
  }
}

void ThreadTimer::Arm() {
  pending_ = loop_.Schedule(std::max(0, interval_), [this] { Fire(); });
}

void ThreadTimer::Fire() {
  pending_ = 0;
  if (!enabled_) return;
  in_handler_ = true;
  if (handler_) handler_();
  in_handler_ = false;
  // The next wait starts now, after the handler has ended.
  if (enabled_ && pending_ == 0) Arm();
}

}  // namespace cs
