// coinshell-previews: writes a preview video (C:\QD\<NAMEFILE>.AVI) of an invented game for
// every game of a cabinet's catalogue that has none, for demo cabinets.
//   coinshell-previews --root DIR [--seconds N] [--size WxH] [--force]
#include <QGuiApplication>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "catalogue/catalogue_db.h"
#include "fake_game_art.h"
#include "platform/drive_map.h"
#include "platform/video_writer.h"

int main(int argc, char** argv) {
  std::string root;
  int seconds = 4, w = 352, h = 288;
  bool force = false;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--root" && i + 1 < argc) {
      root = argv[++i];
    } else if (a == "--seconds" && i + 1 < argc) {
      seconds = std::atoi(argv[++i]);
    } else if (a == "--size" && i + 1 < argc) {
      if (std::sscanf(argv[++i], "%dx%d", &w, &h) != 2) w = 0;
    } else if (a == "--force") {
      force = true;
    } else {
      w = 0;
    }
  }
  if (root.empty() || seconds < 1 || seconds > 60 || w < 16 || h < 16 || w > 1024 || h > 1024) {
    std::fprintf(stderr,
                 "usage: coinshell-previews --root DIR [--seconds 1..60] [--size WxH] [--force]\n");
    return 2;
  }
  if (!std::getenv("DISPLAY") && !std::getenv("QT_QPA_PLATFORM"))
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QGuiApplication app(argc, argv);
  const cs::DriveMap map(root);
  const auto dbPath = map.Resolve("c:\\qd\\PARAMS2.DAT");
  std::string err;
  auto db = dbPath ? cs::CatalogueDb::Open(*dbPath, &err) : nullptr;
  if (!db) {
    std::fprintf(stderr, "coinshell-previews: %s\n", err.c_str());
    return 1;
  }
  const auto rows = db->ReadAllGames(&err);
  if (!rows) {
    std::fprintf(stderr, "coinshell-previews: %s\n", err.c_str());
    return 1;
  }
  int made = 0;
  for (const cs::GameRow& r : *rows) {
    if (!cs::IsSafeNameFile(r.NAMEFILE)) continue;
    const auto file = map.Resolve("C:\\QD\\" + r.NAMEFILE + ".AVI");
    if (!file || (!force && std::filesystem::exists(*file))) continue;
    cs::VideoWriter vw;
    if (!vw.Open(*file, w, h, 25, &err)) {
      std::fprintf(stderr, "coinshell-previews: %s\n", err.c_str());
      return 1;
    }
    const auto look = cs::fakegame::LookOf(r.NAMEFILE);
    const QString title = QString::fromStdString(r.NAMEGAME.value_or(r.NAMEFILE));
    const int frames = seconds * 25;
    for (int i = 0; i < frames; ++i) {
      const auto phase =
          i < frames / 3 ? cs::fakegame::Phase::kAttract : cs::fakegame::Phase::kPlay;
      vw.Write(cs::fakegame::DrawFrame(look, title, phase, i, w, h, i * 10));
    }
    if (!vw.Close()) {
      std::fprintf(stderr, "coinshell-previews: cannot write %s\n", file->c_str());
      return 1;
    }
    ++made;
  }
  std::printf("%d previews written\n", made);
  return 0;
}
