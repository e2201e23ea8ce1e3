// Start-up of the main window on a 2,000-game catalogue (virtual time: the design's fixed waits
// cost nothing, so the figure is start-up minus its waits) and FillPage on 10,000 games.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <QGuiApplication>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "catalogue/catalogue_db.h"
#include "frontend/main_window.h"
#include "platform/virtual_event_loop.h"

namespace fs = std::filesystem;

namespace {

fs::path MakeRoot(int games, int inUse) {
  const fs::path root = fs::temp_directory_path() /
                        ("cs-bench-fe-" + std::to_string(::getpid()) + "-" + std::to_string(games));
  fs::remove_all(root);
  cs::DriveMap(root).CreateSkeleton();
  std::vector<cs::GameRow> rows;
  for (int k = 0; k < games; ++k) {
    char name[16], title[32];
    std::snprintf(name, sizeof name, "G%05d", k);
    std::snprintf(title, sizeof title, "Game %05d", (k * 7919) % games);
    cs::GameRow r;
    r.NAMEFILE = name;
    r.NAMEGAME = title;
    r.GROUP = k < inUse ? "GR1" : "GR2";
    r.CREDITS = (k * 31) % 500;
    r.COINS = 0;
    r.Nrplayer = 1 + k % 2;
    rows.push_back(r);
  }
  auto db = cs::CatalogueDb::Create(root / "dosdevices/c:/qd/PARAMS2.DAT");
  db->UpsertGames(rows);
  std::ofstream(root / "dosdevices/c:/windows/CALC.INI") << "[DUZER]\niUpdate=2\niCredits=3\n";
  return root;
}

cs::MainWindowConfig Config(const fs::path& root) {
  cs::MainWindowConfig c;
  c.map = cs::DriveMap(root);
  c.skinIni = fs::path(COINSHELL_BUILD_SKINS_DIR) / "menu/menu.ini";
  c.pcmDevice = "null";
  c.mixerDevice = "null";
  c.startPanelReader = false;
  c.startAuxPrograms = false;
  return c;
}

void BM_StartupToDone(benchmark::State& state) {
  const fs::path root = MakeRoot(2000, 40);
  for (auto _ : state) {
    cs::VirtualEventLoop loop;
    cs::TDbgFrm frm(loop, Config(root));
    frm.FormCreate();
    if (!frm.StartupDone()) state.SkipWithError("start-up failed");
  }
  fs::remove_all(root);
}
BENCHMARK(BM_StartupToDone)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(20)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);

void BM_FillPage(benchmark::State& state) {
  const fs::path root = MakeRoot(10000, static_cast<int>(state.range(0)));
  cs::VirtualEventLoop loop;
  cs::TDbgFrm frm(loop, Config(root));
  frm.FormCreate();
  int page = 0;
  for (auto _ : state) {
    frm.PageOffset = (page++ % 5) * 10;
    frm.FillPage();
  }
  fs::remove_all(root);
}
BENCHMARK(BM_FillPage)->Arg(40)->Arg(5000)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QGuiApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  return 0;
}
