// One start-up rotation on a 10,000-game catalogue: open `Tb`, retire ten, rebuild iCoins,
// bring back ten, commit, write CALC.INI (RotateGames as start-up calls it). Target: at most
// 50 ms. Real files on the temporary directory's disk, so the commit's and CALC.INI's fsyncs
// are in the figure; closing the view afterwards (the shell's shutdown) is not. Cases: 40 and
// 5,000 games in use.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "catalogue/catalogue_db.h"
#include "catalogue/catalogue_view.h"
#include "frontend/counters.h"
#include "frontend/rotation.h"
#include "platform/clock.h"
#include "platform/drive_map.h"

namespace {

namespace fs = std::filesystem;

constexpr int kGames = 10000;

void BM_RotateGames(benchmark::State& state) {
  const int in_use = static_cast<int>(state.range(0));
  const fs::path root = fs::temp_directory_path() / ("cs-rotation-bench-" + std::to_string(in_use));
  fs::remove_all(root);
  const cs::DriveMap map(root);
  if (!map.CreateSkeleton()) std::abort();
  const fs::path file = *map.Resolve("c:\\qd\\PARAMS2.DAT");
  {
    std::vector<cs::GameRow> rows;
    const int step = kGames / in_use;
    for (int i = 0; i < kGames; ++i) {
      char name[9], title[15];
      std::snprintf(name, sizeof name, "g%05d", (i * 7919) % kGames);
      std::snprintf(title, sizeof title, "Title %05d", (i * 104729) % kGames);
      const bool used = i % step == 0 && i / step < in_use;
      rows.push_back({name, title, used ? "GR1" : "GR2", (i * 31) % 997, i % 7, 1});
    }
    auto db = cs::CatalogueDb::Create(file);
    if (!db || !db->UpsertGames(rows)) std::abort();
  }
  cs::VirtualClock clock(cs::Date{2026, 6, 1});
  cs::Counters counters;
  for (auto _ : state) {
    counters.DtUpdate = cs::Date{2000, 1, 1};  // due at every start
    auto tb = std::make_unique<cs::CatalogueView>(file);
    if (!cs::RotateGames(map, clock, &counters, tb.get())) {
      state.SkipWithError("rotation failed");
      break;
    }
    // Closing the view (the shell's shutdown) checkpoints the journal: not part of start-up.
    state.PauseTiming();
    tb.reset();
    state.ResumeTiming();
  }
  state.counters["iUpLevel"] = counters.iUpLevel;
  fs::remove_all(root);
}

BENCHMARK(BM_RotateGames)->Arg(40)->Arg(5000)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
