#pragma once
// A window's message side: posted messages (msg, wParam, lParam) dispatched in posting order on
// the main thread. Any thread may post; a message posted to a target that has been destroyed
// before dispatch is dropped.
#include <cstdint>
#include <memory>
#include <string>

#include "platform/event_loop.h"

namespace cs {

struct Message {
  std::uint32_t msg = 0;
  std::int32_t wParam = 0;
  std::int32_t lParam = 0;
};

// Window messages of the cabinet (values as on the design's platform: WM_USER = 0x400).
inline constexpr std::uint32_t WM_USER = 0x400;
inline constexpr std::uint32_t WM_PANEL_COMMAND = WM_USER + 100;    // 0x464
inline constexpr std::uint32_t WM_PANEL_INPUT = WM_USER + 400;      // 0x590
inline constexpr std::uint32_t WM_EMULATOR_STATUS = WM_USER + 500;  // 0x5F4

class MessageTarget {
 public:
  explicit MessageTarget(EventLoop& loop);
  virtual ~MessageTarget();
  MessageTarget(const MessageTarget&) = delete;
  MessageTarget& operator=(const MessageTarget&) = delete;

  // Any thread.
  void PostMessage(std::uint32_t msg, std::int32_t wParam, std::int32_t lParam);

  EventLoop& loop() const { return loop_; }

 protected:
  // Main thread: one posted message.
  virtual void WndProc(const Message& m) = 0;

 private:
  struct Alive {
    MessageTarget* target;
  };
  EventLoop& loop_;
  std::shared_ptr<Alive> alive_;
};

// A screen: a message target with a class name and a visible state. Showing modally runs a
// nested loop until the form hides; posted messages keep flowing meanwhile.
class Form : public MessageTarget {
 public:
  Form(EventLoop& loop, std::string className);

  const std::string& ClassName() const { return class_name_; }
  bool Visible() const { return visible_; }
  void Show();
  void Hide();
  void ShowModal();

 protected:
  // Called after the visible state changed.
  virtual void OnShow() {}
  virtual void OnHide() {}

 private:
  std::string class_name_;
  bool visible_ = false;
};

}  // namespace cs
