// libFuzzer target: any text as a simulator script. What parses must be in range, and must play
// on the line model without running away.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "panel_line.h"
#include "panelsim_script.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace cs::panelsim;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  Script s = ParseScript(text);
  for (const Command& c : s.commands) {
    if (c.ms < 0 || c.ms > kMaxWaitMs || c.bytes.size() > kMaxRawBytes) __builtin_trap();
    if (c.kind == Command::Kind::kRate && c.ms > kMaxRate) __builtin_trap();
  }
  constexpr std::int64_t kT0 = 1'000'000'000;
  PanelLine line(10, kT0);
  ScriptPlayer player;
  player.Append(std::move(s.commands));
  std::int64_t now = kT0;
  std::vector<std::uint8_t> out;
  for (int step = 0; step < 2000 && !player.QuitRequested(); ++step) {
    std::int64_t wake = player.Run(now, &line);
    out.clear();
    wake = std::min(wake, line.Take(now, &out));
    if (wake == kNever) break;
    if (wake < now) __builtin_trap();
    now = wake > now ? wake : now + 1;
  }
  return 0;
}
