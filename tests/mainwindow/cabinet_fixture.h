#pragma once
// A cabinet on a temporary root for the main window's tests: the drive map, a catalogue of
// generated games, an optional CALC.INI, the menu skin of the build, and the window itself on a
// virtual clock. No sound card: the beeper writes to ALSA's null device.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QGuiApplication>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "catalogue/catalogue_db.h"
#include "frontend/main_window.h"
#include "platform/log.h"
#include "platform/profile_file.h"
#include "platform/virtual_event_loop.h"

namespace cs::test {

namespace fs = std::filesystem;

inline fs::path MenuSkin() {
  const char* bin = std::getenv("COINSHELL_BINARY_DIR");
  return fs::path(bin ? bin : "build/default") / "skins/menu/menu.ini";
}

// Game k (0-based): NAMEFILE "GAMEkk", title "Title kk", CREDITS as given.
inline GameRow MakeGame(int k, const char* group, int credits, int players = 1) {
  char name[32], title[32];
  std::snprintf(name, sizeof name, "GAME%02d", k);
  std::snprintf(title, sizeof title, "Title %02d", k);
  GameRow r;
  r.NAMEFILE = name;
  r.NAMEGAME = title;
  r.GROUP = group;
  r.CREDITS = credits;
  r.COINS = 0;
  r.Nrplayer = players;
  return r;
}

class CabinetFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    root_ = fs::temp_directory_path() / ("cs-cab-" + std::to_string(::getpid()) + "-" +
                                         info->test_suite_name() + "-" + info->name());
    fs::remove_all(root_);
    map_ = std::make_unique<DriveMap>(root_);
    ASSERT_TRUE(map_->CreateSkeleton());
    ASSERT_TRUE(fs::exists(MenuSkin())) << "menu skin not built: " << MenuSkin();
  }
  void TearDown() override {
    frm_.reset();
    fs::remove_all(root_);
  }

  fs::path QdDir() const { return root_ / "dosdevices/c:/qd"; }
  fs::path CalcIni() const { return root_ / "dosdevices/c:/windows/CALC.INI"; }

  void WriteCatalogue(const std::vector<GameRow>& rows) {
    std::string err;
    auto db = CatalogueDb::Create(QdDir() / "PARAMS2.DAT", &err);
    ASSERT_TRUE(db) << err;
    ASSERT_TRUE(db->UpsertGames(rows, &err)) << err;
  }
  // n games in use with CREDITS 100 - k (game 0 most played).
  void WriteGamesInUse(int n) {
    std::vector<GameRow> rows;
    for (int k = 0; k < n; ++k) rows.push_back(MakeGame(k, "GR1", 100 - k));
    WriteCatalogue(rows);
  }
  // A CALC.INI that does not rotate (rotation off) unless the text says otherwise.
  void WriteCalc(const std::string& extraLines, bool rotationOff = true) {
    std::ofstream f(CalcIni());
    f << "[DUZER]\n" << (rotationOff ? "iUpdate=2\n" : "") << extraLines;
  }

  TDbgFrm& Start() {
    MainWindowConfig c;
    c.map = *map_;
    c.skinIni = MenuSkin();
    c.pcmDevice = "null";
    c.mixerDevice = "hw:CARD=NoSuchCard";
    c.startPanelReader = false;
    c.startAuxPrograms = false;
    c.startScreenCheck = false;
    c.startEndpoint = false;
    c.checkFilesDir = root_ / "dosdevices/c:/shell";
    c.tvout = tvout_;
    c.tvoutWidgets = false;
    fs::create_directories(c.checkFilesDir);
    frm_ = std::make_unique<TDbgFrm>(loop_, c);
    frm_->FormCreate();
    return *frm_;
  }
  std::string SlotText(int n) {
    SkinObject* o = frm_->Ske.FindObject(frm_->Ske.RootObject(), "BUT_" + std::to_string(n));
    return o ? o->Text() : "<missing>";
  }
  ProfileFile Calc() const { return ProfileFile::Load(CalcIni()); }

  VirtualEventLoop loop_{Date{2026, 12, 11}, 0.5};
  tvout::TvOutChoice tvout_{tvout::TvOutChoice::Kind::kOff};
  fs::path root_;
  std::unique_ptr<DriveMap> map_;
  std::unique_ptr<TDbgFrm> frm_;
};

// The tests need a QGuiApplication for fonts and pictures; offscreen, no window.
inline int RunAll(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QGuiApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}

}  // namespace cs::test
