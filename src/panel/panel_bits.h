#pragma once
// The control panel's wire format and bit table.
//
// The controller reports all switches as a 32-bit input word, framed as STX, the word's four
// bytes (least significant first), ETX. In the word a cleared bit means pressed; in the key masks
// sent to the emulator a set bit means pressed. Bits 12 to 22 repeat bits 0 to 10 for player 2.
#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace cs {

inline constexpr std::uint8_t kStx = 0x02;
inline constexpr std::uint8_t kEtx = 0x03;
inline constexpr std::size_t kFrameSize = 6;
inline constexpr std::uint32_t kIdleWord = 0xFFFFFFFF;  // nothing pressed

// Panel codes (keyboard key codes for keys, plus the service and video-mode codes).
inline constexpr std::int32_t kNoCode = 0;
inline constexpr std::int32_t kCodeExit = 1;
inline constexpr std::int32_t kCodeStart1 = 2;
inline constexpr std::int32_t kCodeStart2 = 3;
inline constexpr std::int32_t kCodeCoin1 = 6;
inline constexpr std::int32_t kCodeCoin2 = 7;
inline constexpr std::int32_t kCodeUp = 200;
inline constexpr std::int32_t kCodeLeft = 203;
inline constexpr std::int32_t kCodeRight = 205;
inline constexpr std::int32_t kCodeDown = 208;
inline constexpr std::int32_t kCodeService = 500;
inline constexpr std::int32_t kCodeVideoMode = 510;
inline constexpr std::int32_t kCodeServiceInGame = 600;

// lParam of WM_PANEL_INPUT: a held input repeated in every frame, or a one-time event.
inline constexpr std::int32_t kHeld = 50;
inline constexpr std::int32_t kEvent = 0;
// wParam of WM_PANEL_COMMAND when the reader sends it (the emulator uses 200).
inline constexpr std::int32_t kCommandFromPanel = 100;

// The bits whose change makes the reader restate the mask, and the bits the mask carries
// (directions, buttons and service of both players; never coins, starts, exit, video mode).
inline constexpr std::uint32_t kMaskChangeBits = 0x8FFFFFFC;
inline constexpr std::uint32_t kMaskForwardBits = 0x007FCFFC;

struct PanelSwitch {
  std::int32_t code;         // kNoCode: not wired
  std::string_view name;     // the simulator's and the docs' name; empty when not wired
  std::string_view control;  // what it is on the panel
};

inline constexpr std::array<PanelSwitch, 32> kPanelSwitches = {{
    {kCodeCoin1, "COIN1", "coin 1"},
    {kCodeStart1, "P1_START", "player-1 start"},
    {kCodeUp, "P1_UP", "player-1 up"},
    {kCodeDown, "P1_DOWN", "player-1 down"},
    {kCodeLeft, "P1_LEFT", "player-1 left"},
    {kCodeRight, "P1_RIGHT", "player-1 right"},
    {29, "P1_B1", "player-1 button 1"},
    {56, "P1_B2", "player-1 button 2"},
    {57, "P1_B3", "player-1 button 3"},
    {42, "P1_B4", "player-1 button 4"},
    {44, "P1_B5", "player-1 button 5"},
    {kCodeService, "SERVICE", "service"},
    {kCodeCoin2, "COIN2", "coin 2"},
    {kCodeStart2, "P2_START", "player-2 start"},
    {19, "P2_UP", "player-2 up"},
    {33, "P2_DOWN", "player-2 down"},
    {32, "P2_LEFT", "player-2 left"},
    {34, "P2_RIGHT", "player-2 right"},
    {30, "P2_B1", "player-2 button 1"},
    {31, "P2_B2", "player-2 button 2"},
    {16, "P2_B3", "player-2 button 3"},
    {17, "P2_B4", "player-2 button 4"},
    {18, "P2_B5", "player-2 button 5"},
    {kCodeExit, "EXIT", "exit"},
    {kNoCode, "", "not wired"},
    {kNoCode, "", "not wired"},
    {kCodeVideoMode, "VIDEO_MODE", "video mode"},
    {kNoCode, "", "not wired"},
    {kNoCode, "", "not wired"},
    {kNoCode, "", "not wired"},
    {kNoCode, "", "not wired"},
    {kNoCode, "", "not wired"},
}};

// A switch's bit by its name (COIN1, P1_UP...), or BIT0..BIT31 for any bit; case ignored.
std::optional<int> PanelBitByName(std::string_view name);

// The input word with exactly the switches of `pressed` (bit i set = switch i pressed) down.
constexpr std::uint32_t WordOfPressed(std::uint32_t pressed) { return ~pressed; }

// The six bytes the controller sends for a word.
constexpr std::array<std::uint8_t, kFrameSize> EncodeFrame(std::uint32_t word) {
  return {kStx,
          static_cast<std::uint8_t>(word),
          static_cast<std::uint8_t>(word >> 8),
          static_cast<std::uint8_t>(word >> 16),
          static_cast<std::uint8_t>(word >> 24),
          kEtx};
}

}  // namespace cs
