#include "standin_log.h"

#include <cstdio>

#include "gamelink/emulator_records.h"

namespace cs::standin {

namespace {

std::string Rect(const Rect32& r) {
  return "[" + std::to_string(r.left) + "," + std::to_string(r.top) + "," +
         std::to_string(r.right) + "," + std::to_string(r.bottom) + "]";
}

std::string Pair(const std::array<std::int32_t, 2>& p) {
  return "[" + std::to_string(p[0]) + "," + std::to_string(p[1]) + "]";
}

std::string MessageName(std::uint32_t msg) {
  if (msg == WM_EMULATOR_STATUS) return "WM_EMULATOR_STATUS";
  if (msg == WM_PANEL_COMMAND) return "WM_PANEL_COMMAND";
  return std::to_string(msg);
}

}  // namespace

std::string JsonString(std::string_view s) {
  std::string out = "\"";
  for (unsigned char c : s) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c == '\n') {
      out += "\\n";
    } else if (c < 0x20 || c >= 0x7F) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04x", c);
      out += buf;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

std::string Hex(std::span<const std::uint8_t> bytes) {
  static const char* digits = "0123456789abcdef";
  std::string out;
  out.reserve(bytes.size() * 2);
  for (std::uint8_t b : bytes) {
    out += digits[b >> 4];
    out += digits[b & 15];
  }
  return out;
}

std::string RecordLine(std::int64_t ms, std::string_view slot, std::span<const std::uint8_t> bytes,
                       bool truncated) {
  std::string line = "{\"ms\":" + std::to_string(ms) + ",\"slot\":" + JsonString(slot) +
                     ",\"bytes\":" + std::to_string(bytes.size());
  if (slot == kKeySlotName && bytes.size() == kKeyRecordSize && !truncated) {
    line += ",\"mask\":" + std::to_string(DecodeKeyRecord(bytes.first<kKeyRecordSize>()));
  } else if (slot == kCheckSlotName && bytes.size() == CheckRecord::kSize && !truncated) {
    const CheckRecord r = CheckRecord::Decode(bytes.first<CheckRecord::kSize>());
    line += ",\"Command\":" + std::to_string(r.Command) +
            ",\"CheckWord\":" + std::to_string(r.CheckWord) + ",\"CaptureDC\":[";
    for (int i = 0; i < kRegionCount; ++i) {
      line += (i ? "," : "") + std::to_string(r.CaptureDC(i));
    }
    line += "],\"PreviewWnd\":" + std::to_string(r.PreviewWnd) + ",\"Regions\":[";
    for (int i = 0; i < kRegionCount; ++i) line += (i ? "," : "") + Rect(r.Region(i));
    line += "],\"PreviewRect\":" + Rect(r.PreviewRect) + ",\"OffX\":" + std::to_string(r.OffX) +
            ",\"OffY\":" + std::to_string(r.OffY) +
            ",\"PreviewWidth\":" + std::to_string(r.PreviewWidth) +
            ",\"PreviewHeight\":" + std::to_string(r.PreviewHeight) +
            ",\"StartUpTime\":" + std::to_string(r.StartUpTime);
  } else if (slot == kDlgSlotName && bytes.size() == DlgRecord::kSize && !truncated) {
    const DlgRecord r = DlgRecord::Decode(bytes.first<DlgRecord::kSize>());
    line += ",\"Command\":" + std::to_string(r.Command) + ",\"Slot1Place\":" + Pair(r.Slot1Place) +
            ",\"Slot2Place\":" + Pair(r.Slot2Place) +
            ",\"Slot1Text\":" + JsonString(r.Slot1String()) +
            ",\"Slot2Text\":" + JsonString(r.Slot2String());
  } else {
    line += ",\"malformed\":true";
  }
  return line + ",\"hex\":\"" + Hex(bytes) + "\"}";
}

std::string PostedLine(std::int64_t ms, const Message& m, bool delivered) {
  return "{\"ms\":" + std::to_string(ms) + ",\"posted\":" + JsonString(MessageName(m.msg)) +
         ",\"wParam\":" + std::to_string(m.wParam) + ",\"lParam\":" + std::to_string(m.lParam) +
         ",\"delivered\":" + (delivered ? "true" : "false") + "}";
}

}  // namespace cs::standin
