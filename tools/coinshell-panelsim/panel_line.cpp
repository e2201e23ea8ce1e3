#include "panel_line.h"

#include <algorithm>

#include "panel/panel_bits.h"

namespace cs::panelsim {

namespace {
std::int64_t PeriodNs(int rate) { return rate > 0 ? 1'000'000'000LL / rate : kNever; }
}  // namespace

PanelLine::PanelLine(int rate, std::int64_t nowNs) : rate_(std::clamp(rate, 0, kMaxRate)) {
  wire_free_ = nowNs;
  if (rate_ > 0) next_idle_ = nowNs;  // the controller starts talking at once
}

void PanelLine::SetPressed(std::uint32_t pressed, std::int64_t nowNs) {
  if (pressed == pressed_) return;
  pressed_ = pressed;
  QueueFrame(nowNs);
}

void PanelLine::SetRate(int rate, std::int64_t nowNs) {
  rate_ = std::clamp(rate, 0, kMaxRate);
  next_idle_ = rate_ > 0 ? nowNs + PeriodNs(rate_) : kNever;
}

void PanelLine::QueueRaw(std::span<const std::uint8_t> bytes, std::int64_t nowNs) {
  QueueBytes(bytes, nowNs);
}

void PanelLine::QueueFrame(std::int64_t nowNs) {
  const auto f = EncodeFrame(WordOfPressed(pressed_));
  QueueBytes(f, nowNs);
  ++frames_;
  // The idle repetition counts from the last frame sent.
  if (rate_ > 0) next_idle_ = nowNs + PeriodNs(rate_);
}

void PanelLine::QueueBytes(std::span<const std::uint8_t> bytes, std::int64_t nowNs) {
  if (queue_.empty()) wire_free_ = std::max(wire_free_, nowNs);
  queue_.insert(queue_.end(), bytes.begin(), bytes.end());
}

std::int64_t PanelLine::Take(std::int64_t nowNs, std::vector<std::uint8_t>* out) {
  // An idle frame goes out when it is due and the line is free; a busy line delays it.
  if (next_idle_ <= nowNs && queue_.empty()) QueueFrame(std::max(next_idle_, nowNs - kByteNs));
  while (!queue_.empty() && wire_free_ <= nowNs) {
    out->push_back(queue_.front());
    queue_.pop_front();
    wire_free_ += kByteNs;
  }
  if (!queue_.empty()) return wire_free_;
  return std::max(next_idle_, wire_free_);
}

void ScriptPlayer::Append(std::vector<Command> commands) {
  for (auto& c : commands) commands_.push_back(std::move(c));
}

std::int64_t ScriptPlayer::Run(std::int64_t nowNs, PanelLine* line) {
  for (;;) {
    if (resume_ != 0) {
      if (nowNs < resume_) return resume_;
      resume_ = 0;
    }
    if (release_pending_) {
      line->SetPressed(line->Pressed() & ~release_, nowNs);
      release_pending_ = false;
    }
    if (quit_ || next_ == commands_.size()) return kNever;
    const Command& c = commands_[next_++];
    switch (c.kind) {
      case Command::Kind::kPress:
        line->SetPressed(line->Pressed() | c.switches, nowNs);
        release_ = c.switches;
        release_pending_ = true;
        resume_ = nowNs + std::int64_t{c.ms} * 1'000'000;
        break;
      case Command::Kind::kHold:
        line->SetPressed(line->Pressed() | c.switches, nowNs);
        if (c.ms > 0) resume_ = nowNs + std::int64_t{c.ms} * 1'000'000;
        break;
      case Command::Kind::kRelease:
        line->SetPressed(c.switches == 0 ? 0 : line->Pressed() & ~c.switches, nowNs);
        break;
      case Command::Kind::kWait:
        if (c.ms > 0) resume_ = nowNs + std::int64_t{c.ms} * 1'000'000;
        break;
      case Command::Kind::kRaw:
        line->QueueRaw(c.bytes, nowNs);
        break;
      case Command::Kind::kRate:
        line->SetRate(c.ms, nowNs);
        break;
      case Command::Kind::kQuit:
        quit_ = true;
        return kNever;
    }
  }
}

}  // namespace cs::panelsim
