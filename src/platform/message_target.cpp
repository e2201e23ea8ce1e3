#include "platform/message_target.h"

namespace cs {

MessageTarget::MessageTarget(EventLoop& loop)
    : loop_(loop), alive_(std::make_shared<Alive>(Alive{this})) {}

MessageTarget::~MessageTarget() { alive_->target = nullptr; }

void MessageTarget::PostMessage(std::uint32_t msg, std::int32_t wParam, std::int32_t lParam) {
  std::weak_ptr<Alive> weak = alive_;
  const Message m{msg, wParam, lParam};
  loop_.Post([weak, m] {
    if (auto a = weak.lock(); a && a->target) a->target->WndProc(m);
  });
}

Form::Form(EventLoop& loop, std::string className)
    : MessageTarget(loop), class_name_(std::move(className)) {}

void Form::Show() {
  if (visible_) return;
  visible_ = true;
  OnShow();
}

void Form::Hide() {
  if (!visible_) return;
  visible_ = false;
  OnHide();
}

void Form::ShowModal() {
  Show();
  loop().RunUntil([this] { return !visible_; });
}

}  // namespace cs
