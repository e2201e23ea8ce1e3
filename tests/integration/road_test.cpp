// The whole road of a game with the real programs: the shell offscreen, the panel simulator on a
// pseudo-terminal as COM2, the emulator stand-in as c:\qd\qd.exe. A coin, a start from the menu,
// the prompt inside the game, a player start, game over and the prompt again, the exit, back on
// the menu; then CALC.INI, the catalogue's play count and the records the emulator received.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "catalogue/catalogue_db.h"
#include "platform/control_socket.h"
#include "platform/profile_file.h"

namespace cs {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

fs::path Bin(const std::string& rel) {
  const char* b = std::getenv("COINSHELL_BINARY_DIR");
  return fs::path(b ? b : "build/default") / rel;
}

// Starts a program with its stdin on a pipe (fd returned) and the environment given.
pid_t Start(const std::vector<std::string>& argv, const fs::path& cwd,
            const std::vector<std::pair<std::string, std::string>>& env, int* stdinFd) {
  int p[2] = {-1, -1};
  if (stdinFd && ::pipe(p) != 0) return -1;
  const pid_t pid = ::fork();
  if (pid == 0) {
    if (stdinFd) {
      ::dup2(p[0], 0);
      ::close(p[0]);
      ::close(p[1]);
    }
    const int devnull = ::open("/dev/null", O_WRONLY);
    ::dup2(devnull, 1);
    const char* errLog = std::getenv("CS_ROAD_STDERR");
    const int err = errLog ? ::open(errLog, O_WRONLY | O_CREAT | O_APPEND, 0600) : devnull;
    ::dup2(err, 2);
    if (::chdir(cwd.c_str()) != 0) ::_exit(127);
    for (const auto& [k, v] : env) ::setenv(k.c_str(), v.c_str(), 1);
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    ::execv(args[0], args.data());
    ::_exit(127);
  }
  if (stdinFd) {
    ::close(p[0]);
    *stdinFd = p[1];
  }
  return pid;
}

class RoadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() / ("cs-road-" + std::to_string(::getpid()));
    fs::remove_all(root_);
    const std::string cmd = "'" + Bin("tools/coinshell-demo/coinshell-demo").string() +
                            "' --out '" + root_.string() + "' --no-previews --standin '" +
                            Bin("tools/coinshell-standin/coinshell-standin").string() +
                            "' >/dev/null 2>&1";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
  }
  void TearDown() override {
    for (pid_t p : {shell_, sim_}) {
      if (p > 0) {
        ::kill(p, SIGKILL);
        ::waitpid(p, nullptr, 0);
      }
    }
    if (sim_in_ >= 0) ::close(sim_in_);
    fs::remove_all(root_);
  }
  std::string Status() {
    return ControlRequest(root_ / "run/control", "status", 5000).value_or("");
  }
  // The first value of a key in the status object.
  std::string Field(const std::string& key) {
    const std::string s = Status();
    const auto at = s.find("\"" + key + "\":");
    if (at == std::string::npos) return "";
    const auto from = at + key.size() + 3;
    return s.substr(from, s.find_first_of(",}", from) - from);
  }
  bool WaitFor(const std::string& key, const std::string& value, std::chrono::seconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
      if (Field(key) == value) return true;
      std::this_thread::sleep_for(50ms);
    }
    ADD_FAILURE() << "waited in vain for " << key << " = " << value << "; status: " << Status();
    return false;
  }
  void Panel(const std::string& line) {
    const std::string l = line + "\n";
    ASSERT_EQ(::write(sim_in_, l.data(), l.size()), static_cast<ssize_t>(l.size()));
  }

  fs::path root_;
  pid_t shell_ = -1, sim_ = -1;
  int sim_in_ = -1;
};

TEST_F(RoadTest, CoinStartPlayGameOverExitChargesOneCreditAndCountsOnePlay) {
  // The game the top-ten page shows first.
  std::string game;
  int playsBefore = -1;
  {
    auto db = CatalogueDb::Open(root_ / "dosdevices/c:/qd/PARAMS2.DAT");
    const auto rows = db->ReadAllGames();
    ASSERT_TRUE(rows);
    for (const GameRow& r : *rows) {
      if (r.GROUP != std::string("GR1")) continue;
      if (r.CREDITS.value_or(0) > playsBefore) {
        playsBefore = r.CREDITS.value_or(0);
        game = r.NAMEFILE;
      }
    }
  }
  const fs::path log = root_ / "run/standin.log";
  sim_ =
      Start({Bin("tools/coinshell-panelsim/coinshell-panelsim").string(), "--root", root_.string()},
            root_, {}, &sim_in_);
  for (int i = 0; i < 100 && !fs::is_symlink(root_ / "dosdevices/com2"); ++i) {
    std::this_thread::sleep_for(50ms);
  }
  ASSERT_TRUE(fs::is_symlink(root_ / "dosdevices/com2"));
  shell_ = Start({Bin("src/app/coinshell").string(), "--root", root_.string(), "--tvout=off"},
                 root_ / "dosdevices/c:/shell",
                 {{"QT_QPA_PLATFORM", "offscreen"},
                  {"COINSHELL_SKINS", Bin("skins").string()},
                  {"COINSHELL_SHM", "/cs-road-" + std::to_string(::getpid())},
                  {"COINSHELL_STANDIN_LOG", log.string()},
                  {"COINSHELL_STANDIN_PLAY_MS", "3000"}},
                 nullptr);
  ASSERT_TRUE(WaitFor("startupDone", "true", 30s));
  ASSERT_EQ(Field("panelReceiving"), "true");
  const int creditsBefore = std::stoi(Field("iCredits"));
  const int sysBefore = std::stoi(Field("iSysCounter"));

  Panel("press COIN1 150");
  ASSERT_TRUE(WaitFor("iCredits", std::to_string(creditsBefore + 1), 10s));
  // A start needs more than 30 preview-clock ticks on the menu; the clock runs from 2 s after
  // the start-up.
  std::this_thread::sleep_for(4500ms);
  Panel("press P1_START 150");
  ASSERT_TRUE(WaitFor("EmulatorRunning", "true", 10s));
  ASSERT_TRUE(WaitFor("PlayState", "2", 30s));
  ASSERT_TRUE(WaitFor("ForwardStage", "2", 10s));
  Panel("press P1_START 150");
  ASSERT_TRUE(WaitFor("iCredits", std::to_string(creditsBefore), 10s));
  // The player plays (a button now and then, so the cabinet does not take the game as left
  // alone) until the game is over and the prompt is back once the 15 s hold has run out.
  for (int i = 0; i < 15 && Field("PlayState") != "2"; ++i) {
    Panel("press P1_B1 100");
    std::this_thread::sleep_for(2000ms);
  }
  ASSERT_TRUE(WaitFor("PlayState", "2", 10s));
  Panel("press EXIT 150");
  ASSERT_TRUE(WaitFor("LoadState", "0", 15s));
  EXPECT_EQ(Field("EmulatorRunning"), "false");

  ASSERT_EQ(ControlRequest(root_ / "run/control", "quit", 5000).value_or(""), "ok\n");
  int st = 0;
  ASSERT_EQ(::waitpid(shell_, &st, 0), shell_);
  shell_ = -1;

  // One coin in, one credit charged: the balance is back where it was; the coin is counted.
  const ProfileFile calc = ProfileFile::Load(root_ / "dosdevices/c:/windows/CALC.INI");
  EXPECT_EQ(calc.ReadInteger("DUZER", "iCredits", -99), creditsBefore);
  EXPECT_EQ(calc.ReadInteger("DUZER", "iSysCounter", -99), sysBefore + 1);
  auto db = CatalogueDb::Open(root_ / "dosdevices/c:/qd/PARAMS2.DAT");
  const auto rows = db->ReadAllGames();
  ASSERT_TRUE(rows);
  for (const GameRow& r : *rows) {
    if (r.NAMEFILE == game) {
      EXPECT_EQ(r.CREDITS.value_or(-1), playsBefore + 1) << game;
    }
  }
  // The emulator saw the check settings, the prompt, a coin pulse, a start pulse and the exit.
  std::ifstream in(log);
  std::stringstream text;
  text << in.rdbuf();
  const std::string l = text.str();
  EXPECT_NE(l.find("\"slot\":\"MAMEINP\""), std::string::npos);
  EXPECT_NE(l.find("Press P1 to Start"), std::string::npos);
  EXPECT_NE(l.find("\"mask\":1,"), std::string::npos);
  EXPECT_NE(l.find("\"mask\":2,"), std::string::npos);
  EXPECT_NE(l.find("\"mask\":8388608,"), std::string::npos);
  EXPECT_NE(l.find("\"wParam\":2000"), std::string::npos);
  EXPECT_NE(l.find("\"wParam\":1000,\"lParam\":1000"), std::string::npos);
}

TEST_F(RoadTest, ServiceMenuFromThePanelChangesThePriceOnlyWhenLeft) {
  sim_ =
      Start({Bin("tools/coinshell-panelsim/coinshell-panelsim").string(), "--root", root_.string()},
            root_, {}, &sim_in_);
  for (int i = 0; i < 100 && !fs::is_symlink(root_ / "dosdevices/com2"); ++i) {
    std::this_thread::sleep_for(50ms);
  }
  shell_ = Start({Bin("src/app/coinshell").string(), "--root", root_.string(), "--tvout=off"},
                 root_ / "dosdevices/c:/shell",
                 {{"QT_QPA_PLATFORM", "offscreen"},
                  {"COINSHELL_SKINS", Bin("skins").string()},
                  {"COINSHELL_SHM", "/cs-road-" + std::to_string(::getpid())}},
                 nullptr);
  ASSERT_TRUE(WaitFor("startupDone", "true", 30s));
  const fs::path calcPath = root_ / "dosdevices/c:/windows/CALC.INI";
  const int priceBefore = ProfileFile::Load(calcPath).ReadInteger("DUZER", "iCoinCredits", -1);

  Panel("press SERVICE 60");
  ASSERT_TRUE(WaitFor("ServiceMode", "10", 10s));
  ASSERT_TRUE(WaitFor("front", "\"TFrmTest\"", 5s));
  Panel("press P1_RIGHT 60");  // CREDITS is the first item: the next price
  std::this_thread::sleep_for(800ms);
  const std::string inMenu = Field("iCoinCredits");  // the main window's own value
  EXPECT_EQ(std::stoi(inMenu), priceBefore);
  EXPECT_EQ(ProfileFile::Load(calcPath).ReadInteger("DUZER", "iCoinCredits", -1), priceBefore);
  Panel("press COIN1 150");  // not credited while a service screen is open
  std::this_thread::sleep_for(500ms);
  Panel("press P1_UP 60");  // up from CREDITS is EXIT
  std::this_thread::sleep_for(500ms);
  Panel("press P1_START 60");
  ASSERT_TRUE(WaitFor("ServiceMode", "0", 10s));
  const int priceAfter = ProfileFile::Load(calcPath).ReadInteger("DUZER", "iCoinCredits", -1);
  EXPECT_NE(priceAfter, priceBefore);
  EXPECT_EQ(std::stoi(Field("iCoinCredits")), priceAfter);
  EXPECT_EQ(ProfileFile::Load(calcPath).ReadInteger("DUZER", "iCredits", -1), 3);

  // A quit while a service screen is open ends the shell all the same (a shutdown or a restart
  // of the unit must not wait on the operator).
  Panel("press SERVICE 60");
  ASSERT_TRUE(WaitFor("front", "\"TFrmTest\"", 10s));
  ASSERT_EQ(ControlRequest(root_ / "run/control", "quit", 5000).value_or(""), "ok\n");
  int st = -1;
  pid_t ended = 0;
  for (int i = 0; i < 100 && ended == 0; ++i) {
    ended = ::waitpid(shell_, &st, WNOHANG);
    if (ended == 0) std::this_thread::sleep_for(100ms);
  }
  ASSERT_EQ(ended, shell_) << "the shell did not end within 10 s";
  shell_ = -1;
  EXPECT_TRUE(WIFEXITED(st) && WEXITSTATUS(st) == 0);
}

}  // namespace
}  // namespace cs
