// The page fill's table work: First() on `Tb` and 40 rows walked with Next(), reading NAMEGAME
// on each (page 4 of the menu walks 30 rows and reads 10; this reads all 40), on a 10,000-game
// catalogue. Target: at most 1 ms. Cases: 40, 5,000 and 10,000 games in use; the play-count
// order (top-ten page) and the title order (alphabetical pages); and the settings screen's list
// of available games.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "catalogue/catalogue_db.h"
#include "catalogue/catalogue_view.h"

namespace {

namespace fs = std::filesystem;

constexpr int kGames = 10000;

fs::path MakeCatalogue(int in_use) {
  const fs::path dir = fs::temp_directory_path() / ("cs-walk-bench-" + std::to_string(in_use));
  fs::remove_all(dir);
  fs::create_directories(dir);
  const fs::path file = dir / "PARAMS2.DAT";
  std::vector<cs::GameRow> rows;
  rows.reserve(kGames);
  // Spread the games in use evenly over both orders, as a real catalogue would.
  const int step = kGames / in_use;
  for (int i = 0; i < kGames; ++i) {
    char name[9], title[15];
    std::snprintf(name, sizeof name, "g%05d", (i * 7919) % kGames);
    std::snprintf(title, sizeof title, "Title %05d", (i * 104729) % kGames);
    const bool used = i % step == 0 && i / step < in_use;
    rows.push_back({name, title, used ? "GR1" : "GR2", (i * 31) % 997, i % 5, 1 + i % 2});
  }
  auto db = cs::CatalogueDb::Create(file);
  if (!db || !db->UpsertGames(rows)) std::abort();
  return file;
}

// The catalogues made so far, removed when the program ends.
struct Catalogues {
  std::map<int, fs::path> files;
  ~Catalogues() {
    std::error_code ec;
    for (const auto& [n, file] : files) fs::remove_all(file.parent_path(), ec);
  }
};

const fs::path& Catalogue(int in_use) {
  static Catalogues made;
  auto it = made.files.find(in_use);
  if (it == made.files.end()) it = made.files.emplace(in_use, MakeCatalogue(in_use)).first;
  return it->second;
}

void Walk40(benchmark::State& state, cs::CatalogueFilter filter, const char* index) {
  cs::CatalogueView tb(Catalogue(static_cast<int>(state.range(0))));
  tb.SetFilter(filter);
  tb.SetFiltered(true);
  tb.SetIndexName(index);
  if (!tb.Open()) {
    state.SkipWithError(tb.LastError().c_str());
    return;
  }
  std::size_t chars = 0;
  for (auto _ : state) {
    tb.First();
    for (int n = 0; n < 40; ++n) {
      if (!tb.Eof()) chars += tb.ReadText(cs::CatalogueField::NAMEGAME)->size();
      tb.Next();
    }
  }
  benchmark::DoNotOptimize(chars);
}

void BM_PageWalkTopTen(benchmark::State& state) {
  Walk40(state, cs::CatalogueFilter::kInUse, "iCredits");
}
void BM_PageWalkByTitle(benchmark::State& state) {
  Walk40(state, cs::CatalogueFilter::kInUse, "iNameGame");
}
void BM_AvailableListByTitle(benchmark::State& state) {
  Walk40(state, cs::CatalogueFilter::kAvailable, "iNameGame");
}

BENCHMARK(BM_PageWalkTopTen)->Arg(40)->Arg(5000)->Arg(10000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PageWalkByTitle)->Arg(40)->Arg(5000)->Arg(10000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_AvailableListByTitle)->Arg(40)->Arg(5000)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
