#include "platform/qt_event_loop.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QObject>
#include <QTimer>
#include <chrono>
#include <thread>

namespace cs {

QtEventLoop::QtEventLoop() : context_(std::make_unique<QObject>()) {
  timer_ = new QTimer(context_.get());
  timer_->setSingleShot(true);
  timer_->setTimerType(Qt::PreciseTimer);
  QObject::connect(timer_, &QTimer::timeout, context_.get(), [this] { Pump(); });
}

QtEventLoop::~QtEventLoop() = default;

void QtEventLoop::Post(Task task) {
  queue_.Post(std::move(task));
  // Queued invocation is thread-safe and wakes the main thread's loop.
  QMetaObject::invokeMethod(
      context_.get(), [this] { Pump(); }, Qt::QueuedConnection);
}

EventLoop::TimerId QtEventLoop::Schedule(std::int64_t delayMs, Task task) {
  const TimerId id = queue_.Schedule(clock_.NowMs() + (delayMs < 0 ? 0 : delayMs), std::move(task));
  Rearm();
  return id;
}

void QtEventLoop::Cancel(TimerId id) {
  queue_.Cancel(id);
  Rearm();
}

void QtEventLoop::Sleep(int ms) {
  // A real block of the main thread, as designed: nothing is dispatched meanwhile.
  if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void QtEventLoop::RunUntil(const std::function<bool()>& done) {
  QEventLoop nested;
  while (!done()) {
    Pump();
    if (done()) break;
    nested.processEvents(QEventLoop::WaitForMoreEvents);
  }
}

void QtEventLoop::Pump() {
  ++pump_depth_;
  // Posted work first, then one due timer at a time, so posts made by a timer's handler run
  // before the next timer.
  for (;;) {
    if (auto t = queue_.TakePosted()) {
      (*t)();
      continue;
    }
    if (auto t = queue_.TakeDue(clock_.NowMs())) {
      (*t)();
      continue;
    }
    break;
  }
  --pump_depth_;
  Rearm();
}

void QtEventLoop::Rearm() {
  const auto due = queue_.NextDue();
  if (!due) {
    timer_->stop();
    return;
  }
  const std::int64_t wait = *due - clock_.NowMs();
  timer_->start(static_cast<int>(wait < 0 ? 0 : wait));
}

}  // namespace cs
