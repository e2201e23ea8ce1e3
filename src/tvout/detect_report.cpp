#include "tvout/detect_report.h"

#include "platform/log.h"
#include "tvout/chipset_selection.h"
#include "tvout/json_writer_private.h"
#include "tvout/simulated_card.h"
#include "tvout/simulated_display_driver.h"
#include "tvout/video_engine.h"

namespace cs::tvout {

DetectResult DetectCards(const DetectRequest& req) {
  DetectResult result;
  if (req.cards.empty()) {
    result.error = "no card";
    return result;
  }
  if (req.pciMechanism < 0 || req.pciMechanism > 2) {
    result.error = "the PCI mechanism is 0, 1 or 2";
    return result;
  }
  constexpr int kFirstSlot = 9;
  CardOptions options;
  options.pciMechanism = req.pciMechanism;
  options.cardSlot = kFirstSlot;
  SimulatedCard card(req.cards[0], options);
  for (std::size_t k = 1; k < req.cards.size(); ++k) {
    const Personality& p = PersonalityFor(req.cards[k]);
    if (!p.pci) {
      result.error = std::string(p.name) +
                     " is not a PCI card: only the first card may be one of " + "the older bus";
      return result;
    }
    if (req.pciMechanism == 0) {
      result.error = "a second card needs a PCI bus";
      return result;
    }
    const auto base = static_cast<std::uint16_t>(0xD800 + 0x100 * k);
    card.AddPciFunction(kFirstSlot + static_cast<int>(k), PciFunctionFor(req.cards[k], base));
  }
  SimulatedDisplayDriver driver(card);
  if (const auto mode = DefaultDesktopMode(req.cards[0])) driver.SetMode(*mode);

  VideoEngine engine(card, &driver);
  ChipsetSelection selection(card, engine);
  std::vector<std::string> messages;
  SetMessageBoxHandler([&messages](const std::string& text) { messages.push_back(text); });
  card.ClearHazards();
  const std::uint64_t before = card.accessCount();
  selection.FillBrandList();
  selection.btnAutoDetectClick();
  SetMessageBoxHandler({});

  const EngineSettings& s = engine.settings;
  Json j;
  j.Open();
  j.Int("Chipset", s.Chipset);
  j.Int("Model", s.Model);
  j.Int("IOBase", s.IOBase);
  j.Int("PciMechanism", selection.detection.PciMechanism);
  j.String("brand", selection.BrandText());
  j.String("model", selection.ModelText());
  j.Int("port_accesses", static_cast<long long>(card.accessCount() - before));
  j.OpenArray("cards");
  for (CardId id : req.cards) j.String("", std::string(PersonalityFor(id).name));
  j.Close();
  j.OpenArray("messages");
  for (const auto& m : messages) j.String("", m);
  j.Close();
  j.OpenArray("hazards");
  for (const auto& h : card.hazards()) j.String("", h);
  j.Close();
  j.Close();
  result.json = j.str();
  return result;
}

}  // namespace cs::tvout
