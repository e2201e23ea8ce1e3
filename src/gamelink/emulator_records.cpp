#include "gamelink/emulator_records.h"

#include <algorithm>
#include <cstring>

namespace cs {

namespace {

void Put32(std::uint8_t* b, std::size_t off, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b[off + i] = static_cast<std::uint8_t>(v >> (8 * i));
}
void Put32(std::uint8_t* b, std::size_t off, std::int32_t v) {
  Put32(b, off, static_cast<std::uint32_t>(v));
}
std::uint32_t GetU32(const std::uint8_t* b, std::size_t off) {
  return static_cast<std::uint32_t>(b[off]) | (static_cast<std::uint32_t>(b[off + 1]) << 8) |
         (static_cast<std::uint32_t>(b[off + 2]) << 16) |
         (static_cast<std::uint32_t>(b[off + 3]) << 24);
}
std::int32_t GetI32(const std::uint8_t* b, std::size_t off) {
  return static_cast<std::int32_t>(GetU32(b, off));
}
void PutRect(std::uint8_t* b, std::size_t off, const Rect32& r) {
  Put32(b, off, r.left);
  Put32(b, off + 4, r.top);
  Put32(b, off + 8, r.right);
  Put32(b, off + 12, r.bottom);
}
Rect32 GetRect(const std::uint8_t* b, std::size_t off) {
  return Rect32{GetI32(b, off), GetI32(b, off + 4), GetI32(b, off + 8), GetI32(b, off + 12)};
}
template <std::size_t N, typename T>
void PutBytes(std::uint8_t* b, std::size_t off, const std::array<T, N>& a) {
  static_assert(sizeof(T) == 1);
  std::memcpy(b + off, a.data(), N);
}
template <std::size_t N, typename T>
void GetBytes(const std::uint8_t* b, std::size_t off, std::array<T, N>& a) {
  static_assert(sizeof(T) == 1);
  std::memcpy(a.data(), b + off, N);
}

template <std::size_t N>
void SetText(std::array<char, N>& field, std::string_view text) {
  const std::size_t n = std::min(text.size(), N - 1);
  std::fill(field.begin(), field.end(), '\0');
  std::memcpy(field.data(), text.data(), n);
}
template <std::size_t N>
std::string TextOf(const std::array<char, N>& field) {
  const auto end = std::find(field.begin(), field.end(), '\0');
  return std::string(field.begin(), end);
}

}  // namespace

std::array<std::uint8_t, kKeyRecordSize> EncodeKeyRecord(std::uint32_t mask) {
  std::array<std::uint8_t, kKeyRecordSize> b{};
  Put32(b.data(), 0, mask);
  return b;
}

std::uint32_t DecodeKeyRecord(std::span<const std::uint8_t, kKeyRecordSize> bytes) {
  return GetU32(bytes.data(), 0);
}

Rect32& CheckRecord::Region(int i) {
  switch (i) {
    case 0:
      return Region1;
    case 1:
      return Region2;
    case 2:
      return Region3;
    case 3:
      return Region4;
    case 4:
      return Region5;
    case 5:
      return Region6;
    default:
      return Region8;
  }
}
const Rect32& CheckRecord::Region(int i) const { return const_cast<CheckRecord*>(this)->Region(i); }

std::uint32_t& CheckRecord::CaptureDC(int i) {
  switch (i) {
    case 0:
      return CaptureDC1;
    case 1:
      return CaptureDC2;
    case 2:
      return CaptureDC3;
    case 3:
      return CaptureDC4;
    case 4:
      return CaptureDC5;
    case 5:
      return CaptureDC6;
    default:
      return CaptureDC8;
  }
}
std::uint32_t CheckRecord::CaptureDC(int i) const {
  return const_cast<CheckRecord*>(this)->CaptureDC(i);
}

std::array<std::uint8_t, CheckRecord::kSize> CheckRecord::Encode() const {
  std::array<std::uint8_t, kSize> a{};
  std::uint8_t* b = a.data();
  Put32(b, 0, Command);
  Put32(b, 4, CheckWord);
  PutBytes(b, 8, Reserved8);
  Put32(b, 32, CaptureDC1);
  Put32(b, 36, CaptureDC2);
  Put32(b, 40, CaptureDC3);
  Put32(b, 44, CaptureDC4);
  Put32(b, 48, CaptureDC5);
  Put32(b, 52, CaptureDC6);
  Put32(b, 56, PreviewWnd);
  PutRect(b, 60, Region1);
  PutRect(b, 76, Region2);
  PutRect(b, 92, Region3);
  PutRect(b, 108, Region4);
  PutRect(b, 124, Region5);
  PutRect(b, 140, Region6);
  PutRect(b, 156, PreviewRect);
  Put32(b, 172, OffX);
  Put32(b, 176, OffY);
  Put32(b, 180, PreviewWidth);
  Put32(b, 184, PreviewHeight);
  Put32(b, 188, StartUpTime);
  PutBytes(b, 192, Reserved192);
  Put32(b, 196, CaptureDC8);
  PutRect(b, 200, Region8);
  return a;
}

CheckRecord CheckRecord::Decode(std::span<const std::uint8_t, kSize> bytes) {
  const std::uint8_t* b = bytes.data();
  CheckRecord r;
  r.Command = GetI32(b, 0);
  r.CheckWord = GetI32(b, 4);
  GetBytes(b, 8, r.Reserved8);
  r.CaptureDC1 = GetU32(b, 32);
  r.CaptureDC2 = GetU32(b, 36);
  r.CaptureDC3 = GetU32(b, 40);
  r.CaptureDC4 = GetU32(b, 44);
  r.CaptureDC5 = GetU32(b, 48);
  r.CaptureDC6 = GetU32(b, 52);
  r.PreviewWnd = GetU32(b, 56);
  r.Region1 = GetRect(b, 60);
  r.Region2 = GetRect(b, 76);
  r.Region3 = GetRect(b, 92);
  r.Region4 = GetRect(b, 108);
  r.Region5 = GetRect(b, 124);
  r.Region6 = GetRect(b, 140);
  r.PreviewRect = GetRect(b, 156);
  r.OffX = GetI32(b, 172);
  r.OffY = GetI32(b, 176);
  r.PreviewWidth = GetI32(b, 180);
  r.PreviewHeight = GetI32(b, 184);
  r.StartUpTime = GetI32(b, 188);
  GetBytes(b, 192, r.Reserved192);
  r.CaptureDC8 = GetU32(b, 196);
  r.Region8 = GetRect(b, 200);
  return r;
}

CheckRecord CheckRecord::Overlaid(std::span<const std::uint8_t> bytes) const {
  auto a = Encode();
  std::memcpy(a.data(), bytes.data(), std::min(bytes.size(), kSize));
  return Decode(a);
}

void DlgRecord::SetSlot1Text(std::string_view text) { SetText(Slot1Text, text); }
void DlgRecord::SetSlot2Text(std::string_view text) { SetText(Slot2Text, text); }
std::string DlgRecord::Slot1String() const { return TextOf(Slot1Text); }
std::string DlgRecord::Slot2String() const { return TextOf(Slot2Text); }

std::array<std::uint8_t, DlgRecord::kSize> DlgRecord::Encode() const {
  std::array<std::uint8_t, kSize> a{};
  std::uint8_t* b = a.data();
  Put32(b, 0, Command);
  PutBytes(b, 4, Reserved4);
  Put32(b, 12, Slot1Place[0]);
  Put32(b, 16, Slot1Place[1]);
  Put32(b, 20, Slot2Place[0]);
  Put32(b, 24, Slot2Place[1]);
  PutBytes(b, 28, Reserved28);
  PutBytes(b, 44, Slot1Text);
  PutBytes(b, 145, Slot2Text);
  return a;
}

DlgRecord DlgRecord::Decode(std::span<const std::uint8_t, kSize> bytes) {
  const std::uint8_t* b = bytes.data();
  DlgRecord r;
  r.Command = GetI32(b, 0);
  GetBytes(b, 4, r.Reserved4);
  r.Slot1Place = {GetI32(b, 12), GetI32(b, 16)};
  r.Slot2Place = {GetI32(b, 20), GetI32(b, 24)};
  GetBytes(b, 28, r.Reserved28);
  GetBytes(b, 44, r.Slot1Text);
  GetBytes(b, 145, r.Slot2Text);
  return r;
}

std::string StartPromptText(std::int32_t credits) {
  return std::string("Press P1 to Start\n") + "any other to Exit" + "\n" +
         "  Credits: " + std::to_string(credits);
}

std::string CreditsLineText(std::int32_t credits) { return "Credits " + std::to_string(credits); }

std::string CoinCreditText(std::int32_t credits) { return "Credit " + std::to_string(credits); }

}  // namespace cs
