#pragma once
// Helpers shared by the panel tests: words from switch names, and readable records of what the
// reader posts ("in(6,0)" for WM_PANEL_INPUT, "cmd(200)" for WM_PANEL_COMMAND from the panel).
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "panel/panel_bits.h"
#include "panel/panel_decoder.h"
#include "platform/message_target.h"

namespace cs::testing {

// The input word with the named switches pressed.
inline std::uint32_t Press(std::initializer_list<std::string_view> names) {
  std::uint32_t pressed = 0;
  for (std::string_view n : names) {
    const auto bit = PanelBitByName(n);
    EXPECT_TRUE(bit.has_value()) << n;
    if (bit) pressed |= 1u << *bit;
  }
  return WordOfPressed(pressed);
}

inline std::string Describe(std::uint32_t msg, std::int32_t wParam, std::int32_t lParam) {
  if (msg == WM_PANEL_INPUT) {
    return "in(" + std::to_string(wParam) + "," + std::to_string(lParam) + ")";
  }
  if (msg == WM_PANEL_COMMAND && wParam == kCommandFromPanel) {
    return "cmd(" + std::to_string(lParam) + ")";
  }
  return "msg(" + std::to_string(msg) + "," + std::to_string(wParam) + "," +
         std::to_string(lParam) + ")";
}

inline std::string DescribeMask(std::uint32_t mask) {
  char buf[24];
  std::snprintf(buf, sizeof buf, "mask(%08X)", mask);
  return buf;
}

// Records what one frame (or many) produced.
class RecordingSink final : public PanelSink {
 public:
  std::vector<std::string> events;
  void Post(std::uint32_t msg, std::int32_t wParam, std::int32_t lParam) override {
    events.push_back(Describe(msg, wParam, lParam));
  }
  void SendMask(std::uint32_t mask) override { events.push_back(DescribeMask(mask)); }
  // The events since the last call, space separated.
  std::string Take() {
    std::string s;
    for (const auto& e : events) s += (s.empty() ? "" : " ") + e;
    events.clear();
    return s;
  }
};

// A window that records its messages.
class RecordingWindow final : public MessageTarget {
 public:
  using MessageTarget::MessageTarget;
  std::vector<std::string> got;

 protected:
  void WndProc(const Message& m) override { got.push_back(Describe(m.msg, m.wParam, m.lParam)); }
};

}  // namespace cs::testing
