// Fuzz target: the engine on register state and a video BIOS it cannot trust. Byte 0 picks the
// card, byte 1 the settings, byte 2 the desktop mode; then (selector, value) pairs overwrite
// registers, ATI block and synthesiser registers, or bytes of the BIOS clock tables. The apply,
// the centering and the evaluation must stay defined whatever the values.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/log.h"
#include "tvout/display_mode.h"
#include "tvout/signal_evaluator.h"
#include "tvout/simulated_card.h"
#include "tvout/simulated_display_driver.h"
#include "tvout/video_engine.h"

using namespace cs::tvout;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const bool quiet = [] {
    cs::SetLogSink([](const std::string&) {});
    return true;
  }();
  (void)quiet;
  if (size < 3) return 0;
  const auto& all = Personalities();
  const Personality& p = all[data[0] % all.size()];
  SimulatedCard card(p.id);
  SimulatedDisplayDriver driver(card);
  const auto& modes = CommonModes();
  driver.SetMode(modes[data[2] % modes.size()]);  // a mode the card refuses leaves its state

  const std::uint8_t flags = data[1];
  VideoEngine engine(card, &driver);
  engine.settings.Chipset = (flags & 0x80) ? static_cast<std::uint8_t>(data[2]) : p.chipset;
  engine.settings.Model = p.model;
  engine.settings.IOBase = card.AtiIoBase();
  LoadStandard(&engine.settings, (flags & 0x01) ? kStandardNtsc : kStandardPal);
  engine.settings.TVModeOn = 1;
  engine.settings.Interlaced = (flags >> 1) & 0x01;
  engine.settings.Polarity = (flags & 0x04) ? 0xF3 : 0x33;
  engine.settings.OddOrEvenSyncSize = (flags >> 3) & 0x01;

  for (std::size_t i = 3; i + 1 < size; i += 2) {
    const std::uint8_t sel = data[i];
    const std::uint8_t v = data[i + 1];
    switch (sel >> 5) {
      case 0:
        card.SetReg(Bank::kCrtc, static_cast<std::uint8_t>(sel & 0x1F), v);
        break;
      case 1:
        card.SetReg(Bank::kCrtc, static_cast<std::uint8_t>(0x20 + (sel & 0x1F) * 3), v);
        break;
      case 2:
        card.SetReg(Bank::kSeq, static_cast<std::uint8_t>(sel & 0x1F), v);
        break;
      case 3:
        card.SetReg((sel & 0x10) ? Bank::kOak : Bank::kGfx, static_cast<std::uint8_t>(sel & 0x0F),
                    v);
        break;
      case 4:
        card.SetAtiBlock8(static_cast<std::uint8_t>((sel & 0x1F) * 8 % 0x100 + (v & 0x07)), v);
        break;
      case 5:
        card.SetAtiPll(static_cast<std::uint8_t>(sel & 0x1F), v);
        break;
      case 6:
        card.WritePhysical(0xC0300u + (sel & 0x1Fu), {v});  // the clock table
        break;
      default:
        if (sel & 0x10) {
          card.SetMisc(v);
        } else {
          card.WritePhysical(0xC0040u + (sel & 0x0Fu) * 2u, {v});  // ROM table pointers
        }
        break;
    }
  }
  engine.ReadAtiClockInfo();
  engine.ApplyTVTimings();
  engine.ShiftRight();
  engine.ScrollDown();
  engine.ShiftLeft();
  engine.ScrollUp();
  engine.ProgramAtiFifo();
  (void)EvaluateSignal(card);
  (void)ParseDisplayMode(std::string(reinterpret_cast<const char*>(data), size > 16 ? 16 : size));
  return 0;
}
