// One ApplyTVTimings per chipset personality on the simulated card, each after the driver's
// mode reset (as the TV-out window does it; the reset itself is not timed). Counters:
//   port_accesses  port reads and writes of one apply;
//   isa_bus_us     what they cost on an 8-bit ISA card (about 1 us per access): the time the
//                  apply blocks the user-interface thread on real hardware;
//   pci_bus_us     the same at about 0.25 us per access on PCI.
#include <benchmark/benchmark.h>

#include "platform/log.h"
#include "tvout/ati_clock.h"
#include "tvout/simulated_card.h"
#include "tvout/simulated_display_driver.h"
#include "tvout/video_engine.h"

namespace {

using namespace cs::tvout;

void BM_Apply(benchmark::State& state) {
  const Personality& p = Personalities()[static_cast<std::size_t>(state.range(0))];
  state.SetLabel(std::string(p.name));
  SimulatedCard card(p.id);
  SimulatedDisplayDriver driver(card);
  driver.SetMode(p.id == CardId::kIbmVga ? DisplayMode{640, 480, 4} : DisplayMode{640, 480, 8});
  VideoEngine engine(card, &driver);
  engine.settings.Chipset = p.chipset;
  engine.settings.Model = p.model;
  engine.settings.IOBase = card.AtiIoBase();
  if (p.family == Family::kAti) engine.ReadAtiClockInfo();
  LoadStandard(&engine.settings, kStandardPal);
  engine.settings.TVModeOn = 1;
  std::uint64_t accesses = 0;
  for (auto _ : state) {
    state.PauseTiming();
    driver.ResetDisplayMode();
    state.ResumeTiming();
    const std::uint64_t before = card.accessCount();
    engine.ApplyTVTimings();
    accesses = card.accessCount() - before;
  }
  state.counters["port_accesses"] = static_cast<double>(accesses);
  state.counters["isa_bus_us"] = static_cast<double>(accesses) * 1.0;
  state.counters["pci_bus_us"] = static_cast<double>(accesses) * 0.25;
}
BENCHMARK(BM_Apply)->DenseRange(0, 20)->Unit(benchmark::kMicrosecond);

void BM_AtiFifo(benchmark::State& state) {
  for (auto _ : state) {
    benchmark::DoNotOptimize(ComputeAtiFifo(1432, 31, 6300, 2, 123, 8, 8, 0, 0, 0));
  }
}
BENCHMARK(BM_AtiFifo);

}  // namespace

int main(int argc, char** argv) {
  cs::SetLogSink([](const std::string&) {});
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
