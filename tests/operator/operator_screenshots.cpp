// operator_screenshots OUTDIR: the operator screens in their main states as PNG pictures, from
// the built skins and a small catalogue, for judging them by eye as the cabinet shows them.
#include <QGuiApplication>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "catalogue/catalogue_db.h"
#include "operator/operator_screens.h"
#include "platform/virtual_event_loop.h"

namespace fs = std::filesystem;
using namespace cs;

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QGuiApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: operator_screenshots OUTDIR\n");
    return 2;
  }
  const fs::path out = argv[1];
  fs::create_directories(out);
  const char* bin = std::getenv("COINSHELL_BINARY_DIR");
  const fs::path skins = fs::path(bin ? bin : ".") / "skins";
  const fs::path scratch = fs::temp_directory_path() / "cs-operator-screenshots";
  fs::remove_all(scratch);
  fs::create_directories(scratch);
  {
    auto db = CatalogueDb::Create(scratch / "PARAMS2.DAT");
    const char* inUse[] = {"Asteroid Miner", "Castle Crusher", "Dungeon Dash",
                           "Galaxy Raiders", "Neon Ninja",     "Pixel Punchers",
                           "Bubble Pop",     "Tank Command",   "Turbo Outlaws"};
    const char* spare[] = {"Jet Set Jumper", "Jungle Rumble", "Karate Kings",
                           "Knight Quest",   "Laser Lords",   "Zap Zone"};
    std::vector<GameRow> rows;
    int k = 0;
    for (const char* t : inUse) {
      rows.push_back({"g" + std::to_string(k), t, "GR1", 5 + 13 * k % 97, 0, 1});
      ++k;
    }
    for (const char* t : spare) {
      rows.push_back({"g" + std::to_string(k), t, "GR2", k % 4, 0, 1});
      ++k;
    }
    std::string error;
    if (!db || !db->UpsertGames(rows, &error)) {
      std::fprintf(stderr, "catalogue: %s\n", error.c_str());
      return 1;
    }
  }
  VirtualEventLoop loop;
  OperatorConfig config{skins, scratch / "PARAMS2.DAT", "null"};
  OperatorScreens s(loop, config);
  loop.Advance(1000);
  const auto save = [&](const char* name) {
    loop.Advance(400);
    const fs::path file = out / name;
    if (!s.Front()->Screenshot().save(QString::fromStdString(file.string()), "PNG")) {
      std::fprintf(stderr, "cannot write %s\n", file.c_str());
      std::exit(1);
    }
    std::printf("%s\n", file.c_str());
  };
  const auto press = [&](OperatorScreen& f, int code) {
    f.PostMessage(WM_PANEL_INPUT, code, 50);
    loop.Advance(300);
  };

  TFrmTest& t = s.FrmTest;
  t.iCoinCredits = 3;
  t.iCredits = 12;
  t.iVolume = 8;
  t.ShowCoinCredits();
  t.ShowVolume();
  t.iUserCounter = 1234;
  t.iUpdate = 1;
  t.iUpdatePer = 2;
  t.Show();
  save("test-credits.png");
  press(t, 208);
  press(t, 205);
  save("test-volume.png");
  press(t, 208);
  save("test-settings.png");
  for (int i = 0; i < 4; ++i) press(t, 208);
  save("test-factory-defaults.png");

  TFrmSet& set = s.FrmSet;
  set.iUpdate = 2;
  set.iUpdatePer = 3;
  set.iUserCounter = 1234;
  set.ZsCredits.caption = Format08(1234);
  set.ShowUpdate();
  set.ShowPeriod();
  set.Show();
  save("settings-update.png");
  press(set, 208);
  press(set, 208);
  press(set, 33);
  press(set, 33);
  save("settings-manual-selection.png");
  press(set, 34);
  press(set, 33);
  save("settings-available-list.png");
  press(set, 208);
  save("settings-reset.png");
  set.Hide();

  s.FrmInp.Show();
  save("inputs-idle.png");
  for (int code : {2, 29, 208, 19}) s.FrmInp.PostMessage(WM_PANEL_INPUT, code, 50);
  loop.Advance(20);
  {
    const fs::path file = out / "inputs-lit.png";
    loop.Advance(150);
    s.FrmInp.Screenshot().save(QString::fromStdString(file.string()), "PNG");
    std::printf("%s\n", file.c_str());
  }
  s.FrmInp.Hide();
  s.FrmTestMon.Show();
  save("monitor.png");
  s.FrmTestMon.Hide();
  t.Hide();
  fs::remove_all(scratch);
  return 0;
}
