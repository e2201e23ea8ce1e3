// coinshell-demo: builds a complete demo cabinet root.
//   coinshell-demo --out DIR [--force] [--no-previews] [--standin PATH]
// DIR gets the drive map (dosdevices/c: with windows, qd and shell, dosdevices/d:, run), the game
// catalogue c:\qd\PARAMS2.DAT with sixty invented games, forty of them in use, and a CALC.INI
// with a few credits whose last rotation is today (so the first start shows these games).
// Most games get a preview video c:\qd\<NAMEFILE>.AVI of an invented game (about 6 s, MPEG-4,
// 320 x 240 or 352 x 288); every seventh has none, as on a real cabinet where some are missing.
// With --standin, the emulator stand-in becomes c:\qd\qd.exe (a link) and writes every game's
// check files (NAMEFILE.xy and t1..t7.bmp) into c:\shell, the shell's directory.
// A non-empty DIR is refused unless --force, which replaces only the files written here.
#include <sys/wait.h>

#include <QGuiApplication>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

#include "catalogue/catalogue_db.h"
#include "demo_games.h"
#include "fake_game_art.h"
#include "platform/clock.h"
#include "platform/drive_map.h"
#include "platform/process.h"
#include "platform/profile_file.h"

namespace {

namespace fs = std::filesystem;

int Usage() {
  std::fprintf(stderr,
               "usage: coinshell-demo --out DIR [--force] [--no-previews] [--standin PATH]\n");
  return 2;
}

int Fail(const std::string& text) {
  std::fprintf(stderr, "coinshell-demo: %s\n", text.c_str());
  return 1;
}

bool WriteCounters(const fs::path& file, const cs::Date& today, std::string* error) {
  cs::ProfileFile ini = cs::ProfileFile::Load(file);
  const struct {
    const char* key;
    std::int32_t value;
  } keys[] = {{"iSysCounter", 214}, {"iUserCounter", 38}, {"iCredits", 3},
              {"iCoinCredits", 3},  {"iParCredits", 0},   {"iKhz15", 0},
              {"iVolume", 5},       {"iUpdate", 1},       {"iUpdatePer", 1}};
  for (const auto& k : keys) ini.WriteInteger("DUZER", k.key, k.value);
  ini.WriteString("DUZER", "DtUpdate", today.ToShortString());
  ini.WriteInteger("DUZER", "iUpLevel", cs::demo::kDemoUpLevel);
  return ini.Save(error);
}

}  // namespace

int main(int argc, char** argv) {
  std::string out;
  bool force = false, previews = true;
  std::string standin;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--out" && i + 1 < argc) {
      out = argv[++i];
    } else if (a == "--force") {
      force = true;
    } else if (a == "--no-previews") {
      previews = false;
    } else if (a == "--standin" && i + 1 < argc) {
      standin = argv[++i];
    } else {
      return Usage();
    }
  }
  if (out.empty()) return Usage();

  const fs::path root = fs::absolute(out);
  std::error_code ec;
  if (fs::exists(root, ec)) {
    if (!fs::is_directory(root, ec)) return Fail(root.string() + " is not a directory");
    if (!fs::is_empty(root, ec) && !force) {
      return Fail(root.string() + " is not empty (--force writes the demo over it)");
    }
  }
  const cs::DriveMap map(root);
  if (!map.CreateSkeleton()) return Fail("cannot create the folders of " + root.string());
  for (const char* dir : {"c:\\shell", "d:\\"}) {
    fs::create_directories(*map.Resolve(dir), ec);
    if (ec) return Fail("cannot create " + map.Resolve(dir)->string() + ": " + ec.message());
  }

  const fs::path catalogue = *map.Resolve("c:\\qd\\PARAMS2.DAT");
  for (const char* suffix : {"", "-wal", "-shm", "-journal"}) {
    fs::remove(catalogue.string() + suffix, ec);
  }
  std::string error;
  auto db = cs::CatalogueDb::Create(catalogue, &error);
  if (!db || !db->UpsertGames(cs::demo::DemoGames(), &error)) return Fail(error);
  db.reset();

  if (!WriteCounters(*map.Resolve("c:\\windows\\CALC.INI"), cs::SystemClock().Today(), &error)) {
    return Fail("CALC.INI: " + error);
  }
  if (!standin.empty()) {
    const fs::path program = fs::absolute(standin);
    const fs::path exe = *map.Resolve("c:\\qd\\qd.exe");
    fs::remove(exe, ec);
    fs::create_symlink(program, exe, ec);
    if (ec) return Fail("cannot link " + exe.string() + ": " + ec.message());
    const fs::path shellDir = *map.Resolve("c:\\shell");
    for (const cs::GameRow& g : cs::demo::DemoGames()) {
      cs::SpawnRequest r{
          program, {"--make-check-files", g.NAMEFILE, shellDir.string()}, {}, {}, true};
      const auto pid = cs::SpawnDetached(r);
      int status = 0;
      if (!pid || ::waitpid(*pid, &status, 0) != *pid || !WIFEXITED(status) ||
          WEXITSTATUS(status) != 0) {
        return Fail("the stand-in could not write the check files of " + g.NAMEFILE);
      }
    }
  }
  int made = 0;
  if (previews) {
    // The pictures need fonts, so a (headless) GUI application.
    if (!std::getenv("DISPLAY") && !std::getenv("QT_QPA_PLATFORM")) {
      setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    int qargc = 1;
    QGuiApplication app(qargc, argv);
    int k = 0;
    for (const cs::GameRow& g : cs::demo::DemoGames()) {
      if (k++ % 7 == 6) continue;
      const bool big = k % 2 == 0;
      const auto file = map.Resolve("c:\\qd\\" + g.NAMEFILE + ".AVI");
      if (!cs::fakegame::WritePreview(file->string(), g.NAMEFILE,
                                      QString::fromStdString(g.NAMEGAME.value_or(g.NAMEFILE)),
                                      big ? 352 : 320, big ? 288 : 240, 150, &error)) {
        return Fail(error);
      }
      ++made;
    }
  }
  std::printf("demo cabinet in %s: 60 games, 40 in use, 3 credits, %d previews\n", root.c_str(),
              made);
  return 0;
}
