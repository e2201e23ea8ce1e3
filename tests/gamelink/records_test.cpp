// The three mailslot records byte by byte: every field at its offset (tables written from the
// protocol, not from the code), reserved bytes carried, texts cut and terminated.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "gamelink/emulator_records.h"
#include "gamelink_test_util.h"

namespace cs {
namespace {

using testing::Word;

std::vector<std::uint8_t> Bytes(const auto& array) {
  return std::vector<std::uint8_t>(array.begin(), array.end());
}

struct CheckField {
  const char* name;
  std::size_t offset;
  std::function<void(CheckRecord&, std::uint32_t)> set;
};

// Offsets of the check-settings record, one 32-bit word each.
const std::vector<CheckField>& CheckFields() {
  static const std::vector<CheckField> fields = {
      {"Command", 0,
       [](CheckRecord& r, std::uint32_t v) { r.Command = static_cast<std::int32_t>(v); }},
      {"CheckWord", 4,
       [](CheckRecord& r, std::uint32_t v) { r.CheckWord = static_cast<std::int32_t>(v); }},
      {"CaptureDC1", 32, [](CheckRecord& r, std::uint32_t v) { r.CaptureDC1 = v; }},
      {"CaptureDC2", 36, [](CheckRecord& r, std::uint32_t v) { r.CaptureDC2 = v; }},
      {"CaptureDC3", 40, [](CheckRecord& r, std::uint32_t v) { r.CaptureDC3 = v; }},
      {"CaptureDC4", 44, [](CheckRecord& r, std::uint32_t v) { r.CaptureDC4 = v; }},
      {"CaptureDC5", 48, [](CheckRecord& r, std::uint32_t v) { r.CaptureDC5 = v; }},
      {"CaptureDC6", 52, [](CheckRecord& r, std::uint32_t v) { r.CaptureDC6 = v; }},
      {"PreviewWnd", 56, [](CheckRecord& r, std::uint32_t v) { r.PreviewWnd = v; }},
      {"Region1.left", 60,
       [](CheckRecord& r, std::uint32_t v) { r.Region1.left = static_cast<std::int32_t>(v); }},
      {"Region1.top", 64,
       [](CheckRecord& r, std::uint32_t v) { r.Region1.top = static_cast<std::int32_t>(v); }},
      {"Region1.right", 68,
       [](CheckRecord& r, std::uint32_t v) { r.Region1.right = static_cast<std::int32_t>(v); }},
      {"Region1.bottom", 72,
       [](CheckRecord& r, std::uint32_t v) { r.Region1.bottom = static_cast<std::int32_t>(v); }},
      {"Region2.left", 76,
       [](CheckRecord& r, std::uint32_t v) { r.Region2.left = static_cast<std::int32_t>(v); }},
      {"Region3.left", 92,
       [](CheckRecord& r, std::uint32_t v) { r.Region3.left = static_cast<std::int32_t>(v); }},
      {"Region4.left", 108,
       [](CheckRecord& r, std::uint32_t v) { r.Region4.left = static_cast<std::int32_t>(v); }},
      {"Region5.left", 124,
       [](CheckRecord& r, std::uint32_t v) { r.Region5.left = static_cast<std::int32_t>(v); }},
      {"Region6.left", 140,
       [](CheckRecord& r, std::uint32_t v) { r.Region6.left = static_cast<std::int32_t>(v); }},
      {"Region6.bottom", 152,
       [](CheckRecord& r, std::uint32_t v) { r.Region6.bottom = static_cast<std::int32_t>(v); }},
      {"PreviewRect.left", 156,
       [](CheckRecord& r, std::uint32_t v) { r.PreviewRect.left = static_cast<std::int32_t>(v); }},
      {"PreviewRect.bottom", 168,
       [](CheckRecord& r, std::uint32_t v) {
         r.PreviewRect.bottom = static_cast<std::int32_t>(v);
       }},
      {"OffX", 172, [](CheckRecord& r, std::uint32_t v) { r.OffX = static_cast<std::int32_t>(v); }},
      {"OffY", 176, [](CheckRecord& r, std::uint32_t v) { r.OffY = static_cast<std::int32_t>(v); }},
      {"PreviewWidth", 180,
       [](CheckRecord& r, std::uint32_t v) { r.PreviewWidth = static_cast<std::int32_t>(v); }},
      {"PreviewHeight", 184,
       [](CheckRecord& r, std::uint32_t v) { r.PreviewHeight = static_cast<std::int32_t>(v); }},
      {"StartUpTime", 188,
       [](CheckRecord& r, std::uint32_t v) { r.StartUpTime = static_cast<std::int32_t>(v); }},
      {"CaptureDC8", 196, [](CheckRecord& r, std::uint32_t v) { r.CaptureDC8 = v; }},
      {"Region8.left", 200,
       [](CheckRecord& r, std::uint32_t v) { r.Region8.left = static_cast<std::int32_t>(v); }},
      {"Region8.top", 204,
       [](CheckRecord& r, std::uint32_t v) { r.Region8.top = static_cast<std::int32_t>(v); }},
      {"Region8.right", 208,
       [](CheckRecord& r, std::uint32_t v) { r.Region8.right = static_cast<std::int32_t>(v); }},
      {"Region8.bottom", 212,
       [](CheckRecord& r, std::uint32_t v) { r.Region8.bottom = static_cast<std::int32_t>(v); }},
  };
  return fields;
}

TEST(CheckRecordLayout, EveryFieldSitsAtItsOffsetLittleEndianAndNowhereElse) {
  for (const auto& f : CheckFields()) {
    SCOPED_TRACE(f.name);
    CheckRecord r;
    const std::uint32_t v = 0x80000000u | (static_cast<std::uint32_t>(f.offset) << 8) | 0x5A;
    f.set(r, v);
    const auto bytes = Bytes(r.Encode());
    ASSERT_EQ(bytes.size(), 216u);
    EXPECT_EQ(Word(bytes, f.offset), v);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
      if (i >= f.offset && i < f.offset + 4) continue;
      ASSERT_EQ(bytes[i], 0) << "stray byte at " << i;
    }
    // And back.
    EXPECT_EQ(CheckRecord::Decode(r.Encode()), r);
  }
}

TEST(CheckRecordLayout, ReservedBytesAndRegionAccessorsAreCarried) {
  std::array<std::uint8_t, 216> in{};
  for (std::size_t i = 0; i < in.size(); ++i) in[i] = static_cast<std::uint8_t>(i * 7 + 1);
  const CheckRecord r = CheckRecord::Decode(in);
  EXPECT_EQ(r.Encode(), in) << "all 216 bytes, the reserved ones at 8..31 and 192..195 too";
  // Picture index 6 is "Bmp Start": region and handle number 8, at 200 and 196.
  EXPECT_EQ(r.Region(6).left, static_cast<std::int32_t>(Word(Bytes(in), 200)));
  EXPECT_EQ(r.CaptureDC(6), Word(Bytes(in), 196));
  EXPECT_EQ(r.Region(3).left, static_cast<std::int32_t>(Word(Bytes(in), 108)));
  EXPECT_EQ(r.CaptureDC(5), Word(Bytes(in), 52));
}

TEST(CheckRecordLayout, ShortOverlayKeepsThePreviousValuesBeyondWhatWasRead) {
  CheckRecord prev;
  prev.StartUpTime = 9;
  prev.Region1 = {1, 2, 3, 4};
  const auto bytes = testing::HandRecord(216, {{60, 40}, {64, 50}});
  const CheckRecord r = prev.Overlaid(std::span<const std::uint8_t>(bytes.data(), 66));
  EXPECT_EQ(r.Region1.left, 40);
  // top: bytes 64, 65 from the file (50, 0), 66, 67 from the previous value 2 (0, 0).
  EXPECT_EQ(r.Region1.top, 50);
  EXPECT_EQ(r.Region1.right, 3);
  EXPECT_EQ(r.StartUpTime, 9);
}

TEST(DlgRecordLayout, FieldsAtTheirOffsets) {
  DlgRecord r;
  r.Command = 1;
  r.Slot1Place = {0x11, 0x12};
  r.Slot2Place = {0x21, 0x22};
  r.SetSlot1Text("AB");
  r.SetSlot2Text("xyz");
  const auto expected = testing::HandRecord(
      448, {{0, 1}, {12, 0x11}, {16, 0x12}, {20, 0x21}, {24, 0x22}}, {{44, "AB"}, {145, "xyz"}});
  const auto got = Bytes(r.Encode());
  EXPECT_EQ(got, expected) << testing::FirstDifference(got, expected);
  EXPECT_EQ(DlgRecord::Decode(r.Encode()), r);
}

TEST(DlgRecordLayout, TextsAreCutToTheirFieldAndAlwaysTerminated) {
  struct Case {
    std::size_t length;
    std::size_t keptSlot1;
    std::size_t keptSlot2;
  };
  for (const Case c : {Case{0, 0, 0}, Case{99, 99, 99}, Case{100, 100, 100}, Case{101, 100, 101},
                       Case{302, 100, 302}, Case{303, 100, 302}, Case{5000, 100, 302}}) {
    SCOPED_TRACE(c.length);
    std::string text(c.length, 'a');
    for (std::size_t i = 0; i < text.size(); ++i) text[i] = static_cast<char>('a' + i % 26);
    DlgRecord r;
    r.Reserved28.fill(0xEE);  // neighbours must survive
    r.SetSlot1Text(text);
    r.SetSlot2Text(text);
    const auto b = Bytes(r.Encode());
    EXPECT_EQ(r.Slot1String(), text.substr(0, c.keptSlot1));
    EXPECT_EQ(r.Slot2String(), text.substr(0, c.keptSlot2));
    EXPECT_EQ(b[44 + c.keptSlot1], 0) << "slot 1 terminated";
    EXPECT_EQ(b[145 + c.keptSlot2], 0) << "slot 2 terminated";
    EXPECT_EQ(b[43], 0xEE) << "reserved bytes before slot 1 intact";
    // A shorter text after a longer one leaves no tail of the old one.
    r.SetSlot1Text("hi");
    const auto b2 = Bytes(r.Encode());
    for (std::size_t i = 46; i < 145; ++i) ASSERT_EQ(b2[i], 0) << i;
  }
}

TEST(DlgRecordLayout, AReceivedTextWithoutTerminatorStopsAtItsField) {
  std::array<std::uint8_t, 448> in{};
  for (std::size_t i = 44; i < 448; ++i) in[i] = 'x';
  const DlgRecord r = DlgRecord::Decode(in);
  EXPECT_EQ(r.Slot1String().size(), 101u);
  EXPECT_EQ(r.Slot2String().size(), 303u);
}

TEST(KeyRecord, LittleEndianFourBytes) {
  EXPECT_EQ(Bytes(EncodeKeyRecord(0x00800000u)), (std::vector<std::uint8_t>{0, 0, 0x80, 0}));
  EXPECT_EQ(Bytes(EncodeKeyRecord(0x2001u)), (std::vector<std::uint8_t>{1, 0x20, 0, 0}));
  const std::array<std::uint8_t, 4> b{0x78, 0x56, 0x34, 0x12};
  EXPECT_EQ(DecodeKeyRecord(b), 0x12345678u);
}

TEST(MainWindowTexts, AsTheWindowSendsThem) {
  EXPECT_EQ(StartPromptText(3), "Press P1 to Start\nany other to Exit\n  Credits: 3");
  EXPECT_EQ(StartPromptText(-2), "Press P1 to Start\nany other to Exit\n  Credits: -2");
  EXPECT_EQ(CreditsLineText(0), "Credits 0");
  EXPECT_EQ(CoinCreditText(12), "Credit 12");
}

}  // namespace
}  // namespace cs
