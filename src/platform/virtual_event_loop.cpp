#include "platform/virtual_event_loop.h"

#include <stdexcept>

namespace cs {

void VirtualEventLoop::Post(Task task) {
  queue_.Post(std::move(task));
  std::lock_guard lock(wait_mutex_);
  posted_cv_.notify_all();
}

EventLoop::TimerId VirtualEventLoop::Schedule(std::int64_t delayMs, Task task) {
  return queue_.Schedule(clock_.NowMs() + (delayMs < 0 ? 0 : delayMs), std::move(task));
}

bool VirtualEventLoop::DispatchOne(std::int64_t limitMs) {
  if (auto t = queue_.TakePosted()) {
    (*t)();
    return true;
  }
  const auto due = queue_.NextDue();
  if (!due || *due > limitMs) return false;
  clock_.AdvanceTo(*due);
  if (auto t = queue_.TakeDue(clock_.NowMs())) (*t)();
  return true;
}

void VirtualEventLoop::Advance(std::int64_t ms) {
  const std::int64_t target = clock_.NowMs() + (ms < 0 ? 0 : ms);
  while (DispatchOne(target)) {
  }
  clock_.AdvanceTo(target);
}

void VirtualEventLoop::DrainPosted() {
  while (auto t = queue_.TakePosted()) (*t)();
}

void VirtualEventLoop::RunUntil(const std::function<bool()>& done) {
  while (!done()) {
    if (!DispatchOne(INT64_MAX)) {
      throw std::logic_error("nested loop starved: nothing posted or scheduled can end it");
    }
  }
}

bool VirtualEventLoop::WaitForPosted(std::chrono::milliseconds timeout) {
  std::unique_lock lock(wait_mutex_);
  return posted_cv_.wait_for(lock, timeout, [this] { return queue_.HasPosted(); });
}

}  // namespace cs
