#pragma once
// The three records the shell writes to the emulator's mailslots, with their exact byte layouts:
//   MAMEKEY: the 4-byte key record (the whole set of pressed panel switches);
//   MAMEINP: the 216-byte check-settings record, also the content of a game's ".xy" file;
//   MAMEDLG: the 448-byte message record with the two text slots drawn in the game's picture.
// All integers are 32-bit little-endian; texts are single-byte characters, NUL-terminated.
// Fields the shell gives no meaning (the reserved ones, CheckWord) are carried as stored.
//
// The structs hold the fields by name; Encode and Decode are the only places that know offsets.
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace cs {

// Mailslot names under the IPC directory.
inline constexpr std::string_view kKeySlotName = "MAMEKEY";
inline constexpr std::string_view kCheckSlotName = "MAMEINP";
inline constexpr std::string_view kDlgSlotName = "MAMEDLG";

// Key record.
inline constexpr std::size_t kKeyRecordSize = 4;
std::array<std::uint8_t, kKeyRecordSize> EncodeKeyRecord(std::uint32_t mask);
std::uint32_t DecodeKeyRecord(std::span<const std::uint8_t, kKeyRecordSize> bytes);

// Mask bits the main window sends.
inline constexpr std::uint32_t kMaskCoin1 = 0x1;
inline constexpr std::uint32_t kMaskStart1 = 0x2;
inline constexpr std::uint32_t kMaskService = 0x800;
inline constexpr std::uint32_t kMaskStart2 = 0x2000;
inline constexpr std::uint32_t kMaskExit = 0x800000;

struct Rect32 {
  std::int32_t left = 0, top = 0, right = 0, bottom = 0;
  friend bool operator==(const Rect32&, const Rect32&) = default;
};

// The seven compared regions, in picture order. Index 6 is "Bmp Start" (region and capture
// handle number 8 in the record); there is no region 7.
inline constexpr int kRegionCount = 7;
inline constexpr std::array<std::string_view, kRegionCount> kRegionNames = {
    "P1-B1", "P1-B2", "P1-B3", "P2-B1", "P2-B2", "P2.B3", "Bmp Start"};
inline constexpr int kStartRegion = 6;

struct CheckRecord {
  static constexpr std::size_t kSize = 216;

  std::int32_t Command = 0;                   // 0
  std::int32_t CheckWord = 0;                 // 4
  std::array<std::uint8_t, 24> Reserved8{};   // 8
  std::uint32_t CaptureDC1 = 0;               // 32
  std::uint32_t CaptureDC2 = 0;               // 36
  std::uint32_t CaptureDC3 = 0;               // 40
  std::uint32_t CaptureDC4 = 0;               // 44
  std::uint32_t CaptureDC5 = 0;               // 48
  std::uint32_t CaptureDC6 = 0;               // 52
  std::uint32_t PreviewWnd = 0;               // 56
  Rect32 Region1, Region2, Region3;           // 60, 76, 92
  Rect32 Region4, Region5, Region6;           // 108, 124, 140
  Rect32 PreviewRect;                         // 156
  std::int32_t OffX = 0;                      // 172
  std::int32_t OffY = 0;                      // 176
  std::int32_t PreviewWidth = 0;              // 180
  std::int32_t PreviewHeight = 0;             // 184
  std::int32_t StartUpTime = 0;               // 188
  std::array<std::uint8_t, 4> Reserved192{};  // 192
  std::uint32_t CaptureDC8 = 0;               // 196
  Rect32 Region8;                             // 200

  // By picture index 0..6 (kRegionNames).
  Rect32& Region(int i);
  const Rect32& Region(int i) const;
  std::uint32_t& CaptureDC(int i);
  std::uint32_t CaptureDC(int i) const;

  std::array<std::uint8_t, kSize> Encode() const;
  static CheckRecord Decode(std::span<const std::uint8_t, kSize> bytes);
  // The record with its first bytes.size() (at most kSize) bytes replaced: a short read keeps
  // the previous values where nothing was read.
  CheckRecord Overlaid(std::span<const std::uint8_t> bytes) const;

  friend bool operator==(const CheckRecord&, const CheckRecord&) = default;
};

struct DlgRecord {
  static constexpr std::size_t kSize = 448;
  static constexpr std::size_t kSlot1TextSize = 101;  // at most 100 characters and the NUL
  static constexpr std::size_t kSlot2TextSize = 303;

  std::int32_t Command = 0;                      // 0
  std::array<std::uint8_t, 8> Reserved4{};       // 4
  std::array<std::int32_t, 2> Slot1Place{};      // 12; (0, 0) = slot 1 not shown
  std::array<std::int32_t, 2> Slot2Place{};      // 20; (0, 0) = slot 2 not shown
  std::array<std::uint8_t, 16> Reserved28{};     // 28
  std::array<char, kSlot1TextSize> Slot1Text{};  // 44
  std::array<char, kSlot2TextSize> Slot2Text{};  // 145

  // Store a text: cut to the field's size less one, NUL-terminated, the rest of the field zero.
  void SetSlot1Text(std::string_view text);
  void SetSlot2Text(std::string_view text);
  // A slot's text up to its first NUL (or the whole field when a received record has none).
  std::string Slot1String() const;
  std::string Slot2String() const;

  std::array<std::uint8_t, kSize> Encode() const;
  static DlgRecord Decode(std::span<const std::uint8_t, kSize> bytes);

  friend bool operator==(const DlgRecord&, const DlgRecord&) = default;
};

// The texts of the main window, N being iCredits in decimal (a minus sign when negative).
// Slot 1, the in-game start prompt: "Press P1 to Start\nany other to Exit\n  Credits: " + N.
std::string StartPromptText(std::int32_t credits);
// Slot 2 after a charged start and as the periodic credits line: "Credits " + N.
std::string CreditsLineText(std::int32_t credits);
// Slot 2 after a coin during a game without the prompt condition: "Credit " + N.
std::string CoinCreditText(std::int32_t credits);

}  // namespace cs
