// powercut_bench: a cabinet that loses power again and again.
//
// One cabinet root for every trial. A trial starts the panel simulator and the shell (which
// launches the emulator stand-in), feeds coins and a customer's game through the simulator, and
// at a random moment (seeded; the seed is printed, POWERCUT_SEED replays a run) kills the
// shell's whole process group, the stand-in and the simulator with SIGKILL, as a power cut
// would. The moments are spread over the start-up, coins on the menu, the game's launch, the
// player's start (the charge), the game until it is over, and the exit.
//
// After each cut: CALC.INI loads and holds sane counters, PARAMS2.DAT opens, passes
// PRAGMA integrity_check and every row reads, and the next start reaches startupDone. The
// beeps are heard through an ALSA file device in the shell's HOME that writes every tone into a
// file of its own; a tone is played only after the counters it reports are saved, so per trial:
//   coins counted    = iSysCounter after - before           <= coin presses sent
//   credits charged  = credits before + coins counted - credits after   (1 coin = 1 credit)
//   beeps heard      <= coins counted + credits charged     (a cut tone counts as heard)
//   plays counted    within one of the credits charged      (the play is counted after the
//                                                            charge is saved)
// One figure a line, "powercut: <name>: <value> <unit>"; exit status 1 on any failure.
#include <signal.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "catalogue/catalogue_db.h"
#include "platform/profile_file.h"
#include "real_cabinet.h"

using namespace cs;
using namespace cs::bench;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

void Figure(const char* name, const std::string& value, const char* unit) {
  std::printf("powercut: %s: %s %s\n", name, value.c_str(), unit);
  std::fflush(stdout);
}
void Figure(const char* name, long long value, const char* unit) {
  Figure(name, std::to_string(value), unit);
}

// Where a trial's cut falls; the driver enters them in this order.
enum Phase { kStartUp, kMenu, kLaunch, kCharge, kPlaying, kExit, kPhases };
const char* const kPhaseNames[kPhases] = {"start-up", "menu",    "game launch",
                                          "charge",   "playing", "exit"};
// How long after entering its phase a cut may fall (ms): about the phase's length, so that
// every part of it is hit.
constexpr int kPhaseSpanMs[kPhases] = {2500, 4000, 3000, 1500, 5000, 2500};

struct Counters {
  bool readable = false;
  long long credits = 0, sys = 0, user = 0;
};

// CALC.INI as the shell's next start reads it; readable only when every counter is there as a
// number (a missing file or key would silently restart a counter at its default).
Counters ReadCounters(const fs::path& calc) {
  Counters c;
  std::error_code ec;
  if (!fs::is_regular_file(calc, ec)) return c;
  const ProfileFile f = ProfileFile::Load(calc);
  constexpr std::int32_t kMissing = INT32_MIN;
  const auto credits = f.ReadInteger("DUZER", "iCredits", kMissing);
  const auto sys = f.ReadInteger("DUZER", "iSysCounter", kMissing);
  const auto user = f.ReadInteger("DUZER", "iUserCounter", kMissing);
  const auto price = f.ReadInteger("DUZER", "iCoinCredits", kMissing);
  if (credits == kMissing || sys == kMissing || user == kMissing || price != 3) return c;
  c.readable = true;
  c.credits = credits;
  c.sys = sys;
  c.user = user;
  return c;
}

// The catalogue opens, passes its integrity check and every row reads; the play total.
std::optional<long long> CheckCatalogue(const fs::path& file, std::size_t* rowsOut,
                                        std::string* why) {
  auto db = CatalogueDb::Open(file, why);
  if (!db) return std::nullopt;
  std::string result;
  char* err = nullptr;
  sqlite3_exec(
      db->Handle(), "PRAGMA integrity_check",
      [](void* out, int n, char** values, char**) {
        auto* s = static_cast<std::string*>(out);
        for (int i = 0; i < n; ++i) *s += values[i] ? values[i] : "";
        return 0;
      },
      &result, &err);
  if (err) {
    *why = err;
    sqlite3_free(err);
    return std::nullopt;
  }
  if (result != "ok") {
    *why = "integrity_check: " + result;
    return std::nullopt;
  }
  const auto rows = db->ReadAllGames(why);
  if (!rows) return std::nullopt;
  long long plays = 0;
  for (const GameRow& r : *rows) plays += r.CREDITS.value_or(0);
  *rowsOut = rows->size();
  return plays;
}

int CountFiles(const fs::path& dir) {
  int n = 0;
  std::error_code ec;
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) ++n;
  return n;
}

void ClearDir(const fs::path& dir) {
  std::error_code ec;
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    fs::remove(it->path(), ec);
  }
}

struct Trial {
  Control ctl;
  Child sim, shell;
  Clock::time_point killAt = Clock::time_point::max();
  Phase phase = kStartUp;
  bool cut = false;
  int coinsSent = 0;
  std::mt19937_64* rng = nullptr;
  Phase target = kStartUp;

  explicit Trial(const fs::path& root) : ctl(root) {}

  void Enter(Phase p) {
    phase = p;
    if (p == target) {
      std::uniform_int_distribution<int> d(0, kPhaseSpanMs[p]);
      killAt = Clock::now() + std::chrono::milliseconds(d(*rng));
    }
  }
  // The cut, if its moment has come: false means the trial's driving stops here.
  bool Due() {
    if (cut) return false;
    if (Clock::now() < killAt && !Interrupted()) return true;
    Cut();
    return false;
  }
  void Cut() {
    if (cut) return;
    shell.Kill();  // its group, and the stand-in in its own group, in one sweep
    sim.Kill();
    cut = true;
  }
  bool Wait(std::chrono::milliseconds d) {
    const auto end = Clock::now() + d;
    while (Clock::now() < end) {
      if (!Due()) return false;
      std::this_thread::sleep_for(std::min<Clock::duration>(end - Clock::now(), 10ms));
    }
    return Due();
  }
  bool WaitFor(const std::string& key, const std::string& value, std::chrono::milliseconds limit) {
    const auto end = Clock::now() + limit;
    while (Due()) {
      if (ctl.Field(Status(), key) == value) return true;
      if (Clock::now() >= end) return false;
      std::this_thread::sleep_for(20ms);
    }
    return false;
  }
  std::string Status() { return ctl.Status(1000); }
  bool Press(const std::string& what) {
    if (!Due()) return false;
    if (what.rfind("press COIN", 0) == 0) ++coinsSent;
    return sim.Send(what);
  }
};

}  // namespace

int main(int argc, char** argv) {
  ArgsWithoutBenchmarkFlags(argc, argv);  // bench/run-all's flags do not apply here
  SetUpProcess();
  int trials = 200;
  if (const char* e = std::getenv("POWERCUT_TRIALS")) trials = std::max(1, std::atoi(e));
  std::uint64_t seed = static_cast<std::uint64_t>(::time(nullptr)) ^ ::getpid();
  if (const char* e = std::getenv("POWERCUT_SEED")) seed = std::strtoull(e, nullptr, 10);
  std::mt19937_64 rng(seed);
  const bool verbose = std::getenv("POWERCUT_VERBOSE") != nullptr;
  const auto wallStart = Clock::now();
  Figure("seed", std::to_string(seed), "");

  const fs::path build = BuildDir();
  TempDir tmp("cs-powercut");
  if (tmp.path().empty()) return 1;
  const fs::path root = tmp.path() / "cabinet";
  const CabinetPaths paths{root};
  if (!MakeDemoRoot(build, root, /*previews=*/false)) {
    std::fprintf(stderr, "powercut_bench: coinshell-demo failed (built in %s?)\n", build.c_str());
    return 1;
  }
  {
    // One coin, one credit; the balance starts empty.
    ProfileFile calc = ProfileFile::Load(paths.calc());
    calc.WriteInteger("DUZER", "iCoinCredits", 3);
    calc.WriteInteger("DUZER", "iParCredits", 0);
    calc.WriteInteger("DUZER", "iCredits", 0);
    if (!calc.Save()) return 1;
  }
  const fs::path home = tmp.path() / "home", beeps = tmp.path() / "beeps";
  fs::create_directories(home);
  fs::create_directories(beeps);
  {
    std::ofstream rc(home / ".asoundrc");
    rc << "pcm.!default {\n  type file\n  slave.pcm \"null\"\n  file \""
       << (beeps / "beep.raw").string() << "\"\n  format \"raw\"\n  truncate false\n}\n";
  }
  const SharedFrameName shmName("/cs-powercut-" + std::to_string(::getpid()));
  const std::string& shm = shmName.str();
  const fs::path simOut = tmp.path() / "panelsim.out";
  const fs::path shellErr = tmp.path() / "shell.stderr";
  const Env shellEnv = {
      {"COINSHELL_SHM", shm}, {"COINSHELL_STANDIN_PLAY_MS", "1500"}, {"HOME", home.string()}};

  std::size_t rows0 = 0;
  std::string why;
  Counters before = ReadCounters(paths.calc());
  auto plays = CheckCatalogue(paths.catalogue(), &rows0, &why);
  if (!before.readable || !plays) {
    std::fprintf(stderr, "powercut_bench: the demo cabinet does not read: %s\n", why.c_str());
    return 1;
  }

  long long coinsSent = 0, coinsCounted = 0, beepsHeard = 0, coinsLost = 0, charges = 0;
  long long playsCounted = 0, playsMissed = 0;
  int calcBad = 0, catalogueBad = 0, hung = 0, bookBad = 0;
  int kills[kPhases] = {};
  std::vector<std::string> problems;
  auto problem = [&](int t, const std::string& what) {
    if (problems.size() < 200) problems.push_back("trial " + std::to_string(t) + ": " + what);
  };

  // The trials, and one more start at the end that must come up and quit cleanly.
  for (int t = 0; t <= trials && !Interrupted(); ++t) {
    ClearDir(beeps);
    std::error_code ec;
    fs::remove(shellErr, ec);  // each start's own diagnostics
    Trial tr(root);
    tr.rng = &rng;
    const bool last = t == trials;
    tr.target = last ? kPhases
                     : static_cast<Phase>(std::uniform_int_distribution<int>(0, kPhases - 1)(rng));
    if (!StartPanelSim(build, root, 50, simOut, &tr.sim) ||
        !StartShell(build, root, shellEnv, shellErr, &tr.shell)) {
      problem(t, "a program did not start");
      ++hung;
      break;
    }
    tr.Enter(kStartUp);
    // Coins dropped in while the cabinet comes up (played once the shell opens the port).
    const int early = std::uniform_int_distribution<int>(0, 2)(rng);
    for (int i = 0; i < early; ++i) tr.Press("press COIN1 120"), tr.Press("wait 250");
    const auto startedAt = Clock::now();
    bool up = false;
    while (tr.Due()) {
      if (tr.ctl.Field(tr.Status(), "startupDone") == "true") {
        up = true;
        break;
      }
      if (Clock::now() - startedAt > 60s || !tr.shell.Running()) break;
      std::this_thread::sleep_for(20ms);
    }
    if (!tr.cut && !up) {
      ++hung;
      // What the hung start was doing, for whoever looks into it: its status reply (empty when
      // the control socket does not answer), its state and kernel wait, and its diagnostics.
      std::string state;
      {
        std::ifstream st("/proc/" + std::to_string(tr.shell.pid()) + "/wchan");
        std::getline(st, state);
      }
      const ProcSample ps = Sample(tr.shell.pid());
      std::string ended = "still running";
      if (const auto st = tr.shell.Wait(0ms)) {
        ended = WIFSIGNALED(*st) ? "killed by signal " + std::to_string(WTERMSIG(*st))
                                 : "ended with exit status " + std::to_string(WEXITSTATUS(*st));
      }
      problem(t, "the start did not reach startupDone (" + ended + "); wchan " + state +
                     ", threads " + std::to_string(ps.threads) + ", children " +
                     std::to_string(ps.children) + ", status " + tr.Status().substr(0, 400));
      std::ifstream in(shellErr);
      for (std::string l; std::getline(in, l);) problem(t, "  shell: " + l);
      tr.Cut();
    }
    if (up && tr.Due()) {
      tr.Enter(kMenu);
      const int k = std::uniform_int_distribution<int>(1, 3)(rng);
      for (int i = 0; i < k && tr.Press("press COIN1 120"); ++i) tr.Wait(400ms);
      // A start needs credit and more than 30 preview-clock ticks on the menu.
      const auto menuSince = Clock::now();
      while (tr.Due() && std::atoll(tr.ctl.Field(tr.Status(), "IdleTicks").c_str()) <= 30 &&
             Clock::now() - menuSince < 20s) {
        tr.Wait(50ms);
      }
      if (std::atoll(tr.ctl.Field(tr.Status(), "iCredits").c_str()) < 1) tr.Wait(1s);
      if (tr.Due() && tr.Press("press P1_START 150")) {
        tr.Enter(kLaunch);
        if (tr.WaitFor("EmulatorRunning", "true", 15s) && tr.WaitFor("PlayState", "2", 20s) &&
            tr.WaitFor("ForwardStage", "2", 10s)) {
          tr.Enter(kCharge);
          const std::string creditsBefore = tr.ctl.Field(tr.Status(), "iCredits");
          tr.Press("press P1_START 150");
          for (int i = 0; i < 100 && tr.Due(); ++i) {
            if (tr.ctl.Field(tr.Status(), "iCredits") != creditsBefore) break;
            tr.Wait(20ms);
          }
          if (tr.Due()) {
            tr.Enter(kPlaying);
            if (std::uniform_int_distribution<int>(0, 1)(rng)) tr.Press("press COIN1 120");
            for (int i = 0; i < 20 && tr.Due() && tr.ctl.Field(tr.Status(), "PlayState") == "3";
                 ++i) {
              tr.Press("press P1_B1 100");
              tr.Wait(400ms);
            }
            if (tr.Due()) {
              tr.Enter(kExit);
              for (int i = 0; i < 30 && tr.Due() && tr.ctl.Field(tr.Status(), "LoadState") != "0";
                   ++i) {
                tr.Press("press EXIT 150");
                tr.Wait(600ms);
              }
            }
          }
        }
      }
    }
    if (last) {
      // The closing start: it came up; it ends on request.
      if (up && tr.ctl.Request("quit").value_or("") == "ok\n") {
        tr.shell.Wait(20s);
      }
      tr.shell.Kill();
      tr.sim.Kill();
      break;
    }
    kills[tr.phase] += 1;
    tr.Cut();
    if (verbose) {
      std::fprintf(stderr, "trial %d: aimed at %s, cut during %s after %.1f s, %d coins sent\n", t,
                   kPhaseNames[tr.target], kPhaseNames[tr.phase],
                   std::chrono::duration<double>(Clock::now() - startedAt).count(), tr.coinsSent);
    }
    ReapOrphans();

    // What the cut left behind.
    coinsSent += tr.coinsSent;
    const Counters after = ReadCounters(paths.calc());
    std::size_t rows = 0;
    const auto playsNow = CheckCatalogue(paths.catalogue(), &rows, &why);
    const int heard = CountFiles(beeps);
    beepsHeard += heard;
    if (!after.readable) {
      ++calcBad;
      problem(t, "CALC.INI does not read");
      continue;  // the next trial compares with the last readable one
    }
    if (!playsNow || rows != rows0) {
      ++catalogueBad;
      problem(t, "PARAMS2.DAT: " + (playsNow ? "rows " + std::to_string(rows) : why));
    }
    const long long counted = after.sys - before.sys;
    const long long charged = before.credits + counted - after.credits;
    coinsCounted += counted;
    charges += charged;
    if (heard > counted + charged) {
      coinsLost += heard - (counted + charged);
      problem(t, std::to_string(heard) + " beeps, " + std::to_string(counted) + " coins and " +
                     std::to_string(charged) + " charges counted");
    }
    bool bookOk = counted >= 0 && counted <= tr.coinsSent && after.user - before.user == counted &&
                  charged >= 0 && charged <= 1 && after.credits >= 0;
    if (playsNow && plays) {
      const long long p = *playsNow - *plays;
      playsCounted += p;
      if (p == charged - 1) ++playsMissed;
      bookOk = bookOk && (p == charged || p == charged - 1);
      plays = playsNow;
    }
    if (!bookOk) {
      ++bookBad;
      problem(t, "book-keeping: " + std::to_string(tr.coinsSent) + " coins sent, " +
                     std::to_string(counted) + " counted, " + std::to_string(charged) +
                     " charged, credits " + std::to_string(before.credits) + " -> " +
                     std::to_string(after.credits));
    }
    before = after;
  }

  const bool interrupted = Interrupted();
  char wall[32];
  std::snprintf(wall, sizeof wall, "%.0f",
                std::chrono::duration<double>(Clock::now() - wallStart).count());
  Figure("trials", trials, "trials");
  for (int p = 0; p < kPhases; ++p) {
    const std::string name = std::string("kills during ") + kPhaseNames[p];
    Figure(name.c_str(), kills[p], "kills");
  }
  Figure("coins sent", coinsSent, "coins");
  Figure("coins counted", coinsCounted, "coins");
  Figure("credits charged", charges, "credits");
  Figure("plays counted", playsCounted, "plays");
  Figure("plays lost to a cut between charge and count", playsMissed, "plays");
  Figure("beeps heard", beepsHeard, "beeps");
  Figure("coins lost", coinsLost, "coins");
  Figure("CALC.INI unreadable", calcBad, "trials");
  Figure("PARAMS2.DAT damaged", catalogueBad, "trials");
  Figure("book-keeping off", bookBad, "trials");
  Figure("starts that hung", hung, "starts");
  Figure("wall time", wall, "s");
  for (const auto& p : problems) std::fprintf(stderr, "powercut_bench: %s\n", p.c_str());
  const bool failed = interrupted || coinsLost != 0 || calcBad != 0 || catalogueBad != 0 ||
                      bookBad != 0 || hung != 0;
  if (failed) {
    std::ifstream in(shellErr);
    std::vector<std::string> lines;
    for (std::string l; std::getline(in, l);) lines.push_back(l);
    for (std::size_t i = lines.size() > 20 ? lines.size() - 20 : 0; i < lines.size(); ++i) {
      std::fprintf(stderr, "  shell: %s\n", lines[i].c_str());
    }
  }
  return failed ? 1 : 0;
}
