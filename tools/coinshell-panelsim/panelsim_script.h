#pragma once
// The panel simulator's command language (docs/panel.md), one command a line:
//   press NAME... [MS]    press the switches, hold them MS ms (default 100), release them
//   hold NAME... [MS]     press the switches and leave them pressed; then wait MS ms (default 0)
//   release [NAME...]     release the named switches, or all
//   wait MS               wait
//   raw HEX...            put bytes on the line as they stand ("02 fe ff ff ff 03", "02feff")
//   rate N                idle frames per second, 0 = send only when a switch changes (max 320)
//   quit                  end the simulator
// Names are the panel's switch names (COIN1, P1_UP, ... VIDEO_MODE) or BIT0..BIT31, any case.
// '#' starts a comment. Scripts are outside input: every number is range-checked.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace cs::panelsim {

inline constexpr int kMaxWaitMs = 3'600'000;  // one hour
inline constexpr int kMaxRate = 320;          // frames per second the line can carry
inline constexpr std::size_t kMaxRawBytes = 4096;
inline constexpr std::size_t kMaxLineLength = 16384;

struct Command {
  enum class Kind { kPress, kHold, kRelease, kWait, kRaw, kRate, kQuit };
  Kind kind = Kind::kWait;
  std::uint32_t switches = 0;  // bit i set = switch i (press, hold, release; release: 0 = all)
  int ms = 0;                  // press: how long; hold, wait: the wait; rate: frames per second
  std::vector<std::uint8_t> bytes;  // raw
  int line = 0;
};

// Parses one line; appends its command (none for a blank or comment line). False with a message
// ("line 3: unknown switch 'COIN3'") when the line is not a command.
bool ParseLine(std::string_view text, int lineNo, std::vector<Command>* out, std::string* error);

struct Script {
  std::vector<Command> commands;
  std::string error;  // empty when every line parsed
};

// Parses a whole script; stops at the first bad line.
Script ParseScript(std::string_view text);

}  // namespace cs::panelsim
