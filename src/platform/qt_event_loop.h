#pragma once
// The program's backend: the event loop of the running QGuiApplication / QApplication and the
// machine's clocks. Construct it on the main thread after the application object.
#include <memory>

#include "platform/event_loop.h"
#include "platform/event_queue_private.h"

class QTimer;
class QObject;

namespace cs {

class QtEventLoop final : public EventLoop {
 public:
  QtEventLoop();
  ~QtEventLoop() override;

  const Clock& clock() const override { return clock_; }
  void Post(Task task) override;
  TimerId Schedule(std::int64_t delayMs, Task task) override;
  void Cancel(TimerId id) override;
  void Sleep(int ms) override;
  void RunUntil(const std::function<bool()>& done) override;

 private:
  void Pump();
  void Rearm();

  SystemClock clock_;
  detail::EventQueue queue_;
  std::unique_ptr<QObject> context_;
  QTimer* timer_ = nullptr;  // owned by context_
  bool sleeping_ = false;
  int pump_depth_ = 0;
};

}  // namespace cs
