#pragma once
// The queue both event-loop backends share: posted tasks (thread-safe, FIFO) and one-shot timers
// ordered by due time, then by scheduling order.
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <utility>

#include "platform/event_loop.h"

namespace cs::detail {

class EventQueue {
 public:
  // Any thread.
  void Post(EventLoop::Task task) {
    std::lock_guard lock(mutex_);
    posted_.push_back(std::move(task));
  }
  bool HasPosted() const {
    std::lock_guard lock(mutex_);
    return !posted_.empty();
  }
  // Main thread: takes the oldest posted task, if any.
  std::optional<EventLoop::Task> TakePosted() {
    std::lock_guard lock(mutex_);
    if (posted_.empty()) return std::nullopt;
    EventLoop::Task t = std::move(posted_.front());
    posted_.pop_front();
    return t;
  }

  // Main thread only below.
  EventLoop::TimerId Schedule(std::int64_t dueMs, EventLoop::Task task) {
    const EventLoop::TimerId id = ++last_id_;
    timers_.emplace(Key{dueMs, id}, std::move(task));
    return id;
  }
  void Cancel(EventLoop::TimerId id) {
    for (auto it = timers_.begin(); it != timers_.end(); ++it) {
      if (it->first.id == id) {
        timers_.erase(it);
        return;
      }
    }
  }
  std::optional<std::int64_t> NextDue() const {
    if (timers_.empty()) return std::nullopt;
    return timers_.begin()->first.due;
  }
  // Takes the earliest timer if it is due at nowMs.
  std::optional<EventLoop::Task> TakeDue(std::int64_t nowMs) {
    if (timers_.empty() || timers_.begin()->first.due > nowMs) return std::nullopt;
    EventLoop::Task t = std::move(timers_.begin()->second);
    timers_.erase(timers_.begin());
    return t;
  }

 private:
  struct Key {
    std::int64_t due;
    EventLoop::TimerId id;
    bool operator<(const Key& o) const { return due != o.due ? due < o.due : id < o.id; }
  };
  mutable std::mutex mutex_;
  std::deque<EventLoop::Task> posted_;
  std::map<Key, EventLoop::Task> timers_;
  EventLoop::TimerId last_id_ = 0;
};

}  // namespace cs::detail
