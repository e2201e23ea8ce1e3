// coinshell-tvout: what the TV-out engine would do to a card, before a monitor is plugged in.
//
//   coinshell-tvout cards
//   coinshell-tvout simulate --card NAME --mode WxHxBPP --standard PAL|NTSC
//                            [--no-interlace] [--positive-sync] [--odd-even-vsync]
//   coinshell-tvout detect --card NAME [--card NAME]... [--pci 0|1|2]
//
// Only the simulated card is used: this tool never touches real hardware.
#include <cstdio>
#include <string>
#include <string_view>

#include "tvout/detect_report.h"
#include "tvout/simulate_report.h"

namespace {

int Usage() {
  std::fputs(
      "usage: coinshell-tvout cards\n"
      "       coinshell-tvout simulate --card NAME --mode WxHxBPP --standard PAL|NTSC\n"
      "                                [--no-interlace] [--positive-sync] [--odd-even-vsync]\n"
      "       coinshell-tvout detect --card NAME [--card NAME]... [--pci 0|1|2]\n",
      stderr);
  return 2;
}

int Fail(const std::string& text, int code) {
  std::fprintf(stderr, "coinshell-tvout: %s\n", text.c_str());
  return code;
}

// Several cards are named in PCI slot order; the first is the primary VGA.
int Detect(int argc, char** argv) {
  using namespace cs::tvout;
  DetectRequest req;
  for (int i = 2; i < argc; ++i) {
    const std::string_view arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == "--card" && hasValue) {
      const auto id = CardByName(argv[++i]);
      if (!id)
        return Fail(std::string("unknown card '") + argv[i] + "' (see: coinshell-tvout cards)", 2);
      req.cards.push_back(*id);
    } else if (arg == "--pci" && hasValue) {
      const std::string_view m = argv[++i];
      if (m != "0" && m != "1" && m != "2") return Fail("--pci takes 0, 1 or 2", 2);
      req.pciMechanism = m[0] - '0';
    } else {
      return Usage();
    }
  }
  if (req.cards.empty()) return Usage();
  const DetectResult r = DetectCards(req);
  if (!r.json) return Fail(r.error, 2);
  std::printf("%s\n", r.json->c_str());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace cs::tvout;
  if (argc < 2) return Usage();
  const std::string_view command = argv[1];
  if (command == "cards" && argc == 2) {
    std::fputs(CardsText().c_str(), stdout);
    return 0;
  }
  if (command == "detect") return Detect(argc, argv);
  if (command != "simulate") return Usage();

  SimulateRequest req;
  bool haveCard = false, haveMode = false, haveStandard = false;
  for (int i = 2; i < argc; ++i) {
    const std::string_view arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == "--card" && hasValue) {
      const auto id = CardByName(argv[++i]);
      if (!id)
        return Fail(std::string("unknown card '") + argv[i] + "' (see: coinshell-tvout cards)", 2);
      req.card = *id;
      haveCard = true;
    } else if (arg == "--mode" && hasValue) {
      const auto mode = ParseDisplayMode(argv[++i]);
      if (!mode) return Fail(std::string("bad mode '") + argv[i] + "': expected WxHxBPP", 2);
      req.mode = *mode;
      haveMode = true;
    } else if (arg == "--standard" && hasValue) {
      const std::string_view s = argv[++i];
      if (s == "PAL") {
        req.standardCode = 99;
      } else if (s == "NTSC") {
        req.standardCode = 100;
      } else {
        return Fail(std::string("bad standard '") + argv[i] + "': PAL or NTSC", 2);
      }
      haveStandard = true;
    } else if (arg == "--no-interlace") {
      req.noInterlace = true;
    } else if (arg == "--positive-sync") {
      req.positiveSync = true;
    } else if (arg == "--odd-even-vsync") {
      req.oddEvenVsync = true;
    } else {
      return Usage();
    }
  }
  if (!haveCard || !haveMode || !haveStandard) return Usage();
  const SimulateResult r = Simulate(req);
  if (!r.json) return Fail(r.error, 1);
  std::printf("%s\n", r.json->c_str());
  return 0;
}
