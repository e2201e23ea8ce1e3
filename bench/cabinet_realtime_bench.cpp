// cabinet_realtime_bench: the cabinet in real time with the real programs.
//
// The shell (offscreen, --tvout=off) on a demo cabinet with its looping AVI previews, the panel
// simulator at the line's full rate (320 frames a second) and the emulator stand-in. The bench
// plays customers through the simulator's stdin for REALTIME_SECONDS (default 600): coins,
// a start on the menu, the player's start inside the game (the charge), play until the game is
// over, the exit; every fifth game (from the second) a service visit that leaves the menu
// unchanged. Every ~10 s it samples the shell: resident memory, descriptors, threads, child
// processes and zombies.
//
// At the end the simulator is stopped, the shell's frame and byte counts are held against the
// simulator's, and after a "quit" the counters in CALC.INI, the play counts in PARAMS2.DAT and
// the beeps (an ALSA file device in the shell's HOME, one file per tone) against what the script
// did. One figure a line, "realtime: <name>: <value> <unit>"; exit status 1 on a lost frame or
// byte, a leak beyond the bounds below, a zombie, a counter mismatch or a script step that did
// not happen.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "platform/profile_file.h"
#include "real_cabinet.h"

using namespace cs;
using namespace cs::bench;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

// Bounds between the sample at one minute (previews, fonts, skins and the first game's code
// paths warmed up) and the end, both on the menu.
// - Memory: 8 MiB. One leaked preview picture (352 x 288 RGB32, 400 KB) a game, or 8 bytes a
//   panel frame (192,000 frames in ten minutes, 1.5 MB), stays under it only in part; a per-tick
//   leak of a decoded frame passes it within a minute. Below 8 MiB the allocator's own arenas
//   (glibc keeps freed memory of each thread's arena) move the figure by a few MiB run to run.
// - Descriptors: 2. The sample may land while a control connection is being answered or the
//   catalogue has its journal open; anything left open a game adds one per game.
// - Threads: 2. Qt and FFmpeg start worker threads on demand and keep a few.
constexpr long kRssGrowthBoundKb = 8 * 1024;
constexpr int kFdGrowthBound = 2;
constexpr int kThreadGrowthBound = 2;

constexpr int kBeepBytes = 11025 * 100 / 1000 * 2;  // 100 ms, 8-bit stereo at 11025 Hz

void Figure(const char* name, const std::string& value, const char* unit) {
  std::printf("realtime: %s: %s %s\n", name, value.c_str(), unit);
  std::fflush(stdout);
}
void Figure(const char* name, long long value, const char* unit) {
  Figure(name, std::to_string(value), unit);
}

struct Run {
  fs::path build;
  fs::path root;
  Child sim, shell;
  Control ctl{fs::path()};
  Clock::time_point t0;
  Clock::time_point nextSample;
  std::vector<std::pair<double, ProcSample>> samples;
  std::optional<ProcSample> atMinute;
  std::optional<ProcSample> afterStartUp;  // the baseline of a run shorter than a minute
  int maxZombies = 0, maxChildren = 0;
  std::string failure;

  double Elapsed() const { return std::chrono::duration<double>(Clock::now() - t0).count(); }

  void MaybeSample() {
    if (Clock::now() < nextSample) return;
    nextSample += 10s;
    const ProcSample s = Sample(shell.pid());
    samples.emplace_back(Elapsed(), s);
    maxChildren = std::max(maxChildren, s.children);
    // A zombie exists for a moment between a stand-in's end and the shell's reaping of it
    // (the end message); one still there at the next sample is left behind.
    if (s.zombies > 0 && samples.size() >= 2 && samples[samples.size() - 2].second.zombies > 0) {
      maxZombies = std::max(maxZombies, s.zombies);
    }
    if (!atMinute && Elapsed() >= 60 && ctl.Field("EmulatorRunning") == "false" &&
        ctl.Field("LoadState") == "0") {
      atMinute = s;
      Figure("minute sample taken at", static_cast<long long>(Elapsed()), "s");
    }
  }
  bool Wait(std::chrono::milliseconds d) {
    const auto end = Clock::now() + d;
    while (Clock::now() < end) {
      if (Interrupted()) return false;
      MaybeSample();
      Nap(std::min<std::chrono::milliseconds>(
          50ms, std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now())));
    }
    return true;
  }
  // Until the status shows key = value; a failure names the step.
  bool WaitFor(const char* step, const std::string& key, const std::string& value,
               std::chrono::milliseconds limit) {
    const auto end = Clock::now() + limit;
    for (;;) {
      if (ctl.Field(key) == value) return true;
      if (Clock::now() >= end || Interrupted()) break;
      Wait(50ms);
    }
    failure = std::string(step) + ": " + key + " did not become " + value + " (status " +
              ctl.Status() + ")";
    return false;
  }
  bool Panel(const std::string& line) {
    if (sim.Send(line)) return true;
    failure = "the panel simulator took no command";
    return false;
  }
};

// The end of the shell's diagnostics, for a failed run (the temporary root goes with the bench).
void ShowTail(const fs::path& file) {
  std::ifstream in(file);
  std::vector<std::string> lines;
  for (std::string l; std::getline(in, l);) lines.push_back(l);
  const std::size_t from = lines.size() > 30 ? lines.size() - 30 : 0;
  for (std::size_t i = from; i < lines.size(); ++i) {
    std::fprintf(stderr, "  shell: %s\n", lines[i].c_str());
  }
}

// Tones heard (one file each) and those that did not play whole.
int Count(const fs::path& dir, long* partial, std::string* sizes) {
  int n = 0;
  std::error_code ec;
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    ++n;
    const auto size = fs::file_size(it->path(), ec);
    if (size != static_cast<std::uintmax_t>(kBeepBytes)) {
      ++*partial;
      if (sizes->size() < 200) *sizes += " " + std::to_string(size);
    }
  }
  return n;
}

}  // namespace

int main(int argc, char** argv) {
  ArgsWithoutBenchmarkFlags(argc, argv);  // bench/run-all's flags do not apply here
  SetUpProcess();
  long seconds = 600;
  if (const char* e = std::getenv("REALTIME_SECONDS")) seconds = std::max(30L, std::atol(e));
  const auto wallStart = Clock::now();

  // The directory outlives the programs: they are killed (r's destructor) before it is removed.
  TempDir tmp("cs-realtime");
  Run r;
  r.build = BuildDir();
  if (tmp.path().empty()) {
    std::fprintf(stderr, "cabinet_realtime_bench: no temporary directory\n");
    return 1;
  }
  r.root = tmp.path() / "cabinet";
  const CabinetPaths paths{r.root};
  r.ctl = Control(r.root);
  if (!MakeDemoRoot(r.build, r.root, /*previews=*/true)) {
    std::fprintf(stderr, "cabinet_realtime_bench: coinshell-demo failed (built in %s?)\n",
                 r.build.c_str());
    return 1;
  }
  // One coin, one credit.
  {
    ProfileFile calc = ProfileFile::Load(paths.calc());
    calc.WriteInteger("DUZER", "iCoinCredits", 3);
    calc.WriteInteger("DUZER", "iParCredits", 0);
    std::string why;
    if (!calc.Save(&why)) {
      std::fprintf(stderr, "cabinet_realtime_bench: CALC.INI: %s\n", why.c_str());
      return 1;
    }
  }
  const fs::path home = tmp.path() / "home", beeps = tmp.path() / "beeps";
  fs::create_directories(home);
  fs::create_directories(beeps);
  {
    // ALSA's default device writes each tone into a file of its own (truncate false numbers
    // them) over the null device.
    std::FILE* f = std::fopen((home / ".asoundrc").c_str(), "w");
    if (!f) return 1;
    std::fprintf(f,
                 "pcm.!default {\n  type file\n  slave.pcm \"null\"\n  file \"%s\"\n"
                 "  format \"raw\"\n  truncate false\n}\n",
                 (beeps / "beep.raw").c_str());
    std::fclose(f);
  }
  const auto playsBefore = TotalPlays(paths.catalogue());
  const fs::path simOut = tmp.path() / "panelsim.out";
  const fs::path shellErr = tmp.path() / "shell.stderr";
  if (!StartPanelSim(r.build, r.root, 320, simOut, &r.sim)) {
    std::fprintf(stderr, "cabinet_realtime_bench: the panel simulator did not start\n");
    return 1;
  }
  const SharedFrameName shmName("/cs-realtime-" + std::to_string(::getpid()));
  const std::string& shm = shmName.str();
  if (!StartShell(
          r.build, r.root,
          {{"COINSHELL_SHM", shm}, {"COINSHELL_STANDIN_PLAY_MS", "3000"}, {"HOME", home.string()}},
          shellErr, &r.shell)) {
    std::fprintf(stderr, "cabinet_realtime_bench: the shell did not start\n");
    return 1;
  }
  r.t0 = Clock::now();
  r.nextSample = r.t0;
  if (!r.WaitFor("start-up", "startupDone", "true", 60s)) {
    std::fprintf(stderr, "cabinet_realtime_bench: %s\n", r.failure.c_str());
    return 1;
  }
  r.afterStartUp = Sample(r.shell.pid());
  const long long credits0 = r.ctl.Number("iCredits"), sys0 = r.ctl.Number("iSysCounter"),
                  user0 = r.ctl.Number("iUserCounter");
  long long credits = credits0;
  int coins = 0, charges = 0, games = 0, services = 0;

  // One customer after another until the time is up.
  bool ok = true;
  for (int cycle = 0; ok && r.Elapsed() < static_cast<double>(seconds); ++cycle) {
    if (cycle % 5 == 1) {
      // The service menu and straight out of it again: the highlight is moved onto EXIT (item
      // 8; the menu keeps its item from the last visit, and items 6 and 7 would clear the
      // credits or restore the defaults) and selected. Its items step on every frame that shows
      // a stick held, so while it is open the simulator sends frames only on a change: one
      // press, one step.
      ok = r.Panel("rate 0") && r.Panel("press SERVICE 60") &&
           r.WaitFor("service", "ServiceMode", "10", 10s) && r.Wait(800ms);
      for (int i = 0; ok && i < 10; ++i) {
        const long long item = r.ctl.Number("CurItem");  // the service menu's own field
        if (item == 8) break;
        ok = r.Panel(item >= 1 && item <= 4 ? "press P1_UP 60" : "press P1_DOWN 60") &&
             r.Wait(400ms);
      }
      ok = ok && r.ctl.Number("CurItem") == 8 && r.Panel("press P1_START 60") &&
           r.WaitFor("service exit", "ServiceMode", "0", 10s) && r.Panel("rate 320") &&
           r.Wait(500ms);
      if (!ok && r.failure.empty()) r.failure = "service: the highlight did not reach EXIT";
      if (!ok) break;
      ++services;
    }
    const int k = 1 + cycle % 3;
    for (int i = 0; ok && i < k; ++i) {
      ok = r.Panel("press COIN1 150") && r.Wait(350ms);
      ++coins;
      ++credits;
    }
    ok = ok && r.WaitFor("coins", "iCredits", std::to_string(credits), 10s);
    // A start needs more than 30 preview-clock ticks on the menu.
    for (int i = 0; ok && r.ctl.Number("IdleTicks") <= 30; ++i) {
      if (i > 300) {
        r.failure = "menu: the preview clock does not run";
        ok = false;
      }
      ok = ok && r.Wait(50ms);
    }
    ok = ok && r.Panel("press P1_START 150") &&
         r.WaitFor("launch", "EmulatorRunning", "true", 15s) &&
         r.WaitFor("prompt", "PlayState", "2", 30s) &&
         r.WaitFor("forwarding", "ForwardStage", "2", 10s) && r.Panel("press P1_START 150");
    if (!ok) break;
    ++charges;
    --credits;
    ok = r.WaitFor("charge", "iCredits", std::to_string(credits), 10s);
    // The player plays until the game is over and the prompt is back.
    for (int i = 0; ok && i < 25 && r.ctl.Field("PlayState") != "2"; ++i) {
      ok = r.Panel("press P1_B1 100") && r.Wait(2s);
    }
    ok = ok && r.WaitFor("game over", "PlayState", "2", 10s) && r.Panel("press EXIT 150") &&
         r.WaitFor("exit", "LoadState", "0", 15s) &&
         r.WaitFor("back on the menu", "EmulatorRunning", "false", 10s) && r.Wait(1s);
    if (ok) ++games;
  }
  r.nextSample = Clock::now();
  r.MaybeSample();
  const ProcSample atEnd = r.samples.back().second;
  const double runSeconds = r.Elapsed();

  // The line's two ends: the simulator falls silent (no change, no idle frames) and the shell
  // takes what is still on the way; then it is stopped. (A pseudo-terminal drops what its slave
  // has not read when the master closes, which is not the shell's loss.)
  r.Panel("rate 0");
  Nap(1s);
  r.sim.Signal(SIGTERM);
  r.sim.Wait(10s);
  const auto sent = ReadSimCounts(simOut);
  long long bytesSeen = -1, framesSeen = -1;
  for (int still = 0, i = 0; i < 100 && still < 5; ++i) {
    const long long b = r.ctl.Number("panelBytes");
    still = b == bytesSeen ? still + 1 : 0;
    bytesSeen = b;
    Nap(200ms);
  }
  framesSeen = r.ctl.Number("panelFrames");

  const bool quitOk = r.ctl.Request("quit").value_or("") == "ok\n";
  const auto st = r.shell.Wait(30s);
  const bool shellEnded = st.has_value();
  const ProfileFile calc = ProfileFile::Load(paths.calc());
  const long long creditsFile = calc.ReadInteger("DUZER", "iCredits", -1);
  const long long sysFile = calc.ReadInteger("DUZER", "iSysCounter", -1);
  const long long userFile = calc.ReadInteger("DUZER", "iUserCounter", -1);
  const auto playsAfter = TotalPlays(paths.catalogue());
  long partialBeeps = 0;
  std::string partialSizes;
  const int beepsHeard = Count(beeps, &partialBeeps, &partialSizes);
  r.shell.Kill();
  r.sim.Kill();
  ReapOrphans();

  const long long framesSent = sent ? static_cast<long long>(sent->frames) : -1;
  const long long bytesSent = sent ? static_cast<long long>(sent->bytes) : -1;
  const long long framesLost = framesSent - framesSeen;
  const long long bytesLost = (bytesSent - bytesSeen) + (sent ? sent->lost : 0);
  const ProcSample base = r.atMinute.value_or(*r.afterStartUp);
  const long rssGrowth = atEnd.rssKb - base.rssKb;
  const int fdGrowth = atEnd.fds - base.fds;
  const int threadGrowth = atEnd.threads - base.threads;
  const bool countersOk = creditsFile == credits && sysFile == sys0 + coins &&
                          userFile == user0 + coins && playsBefore && playsAfter &&
                          *playsAfter == *playsBefore + charges;
  const bool beepsOk = beepsHeard == coins + charges && partialBeeps == 0;

  char buf[64];
  std::snprintf(buf, sizeof buf, "%.0f", runSeconds);
  Figure("run time", buf, "s");
  Figure("frames sent", framesSent, "frames");
  Figure("frames decoded", framesSeen, "frames");
  Figure("frames lost", framesLost, "frames");
  Figure("bytes sent", bytesSent, "bytes");
  Figure("bytes lost", bytesLost, "bytes");
  Figure("RSS at 1 min", base.rssKb, "KiB");
  Figure("RSS at the end", atEnd.rssKb, "KiB");
  Figure("RSS growth", rssGrowth, "KiB");
  long peak = 0;
  for (const auto& [t, s] : r.samples) peak = std::max(peak, s.rssKb);
  Figure("RSS peak", peak, "KiB");
  Figure("descriptors at 1 min", base.fds, "fds");
  Figure("descriptor growth", fdGrowth, "fds");
  Figure("threads at 1 min", base.threads, "threads");
  Figure("thread growth", threadGrowth, "threads");
  Figure("child processes (most seen)", r.maxChildren, "processes");
  Figure("zombies", r.maxZombies + atEnd.zombies, "processes");
  Figure("samples", static_cast<long long>(r.samples.size()), "samples");
  Figure("coins", coins, "coins");
  Figure("games played", games, "games");
  Figure("service visits", services, "visits");
  Figure("beeps heard", beepsHeard, "beeps");
  Figure("counters as scripted", countersOk ? "yes" : "no", "");
  Figure("beeps as scripted", beepsOk ? "yes" : "no", "");
  std::snprintf(buf, sizeof buf, "%.0f",
                std::chrono::duration<double>(Clock::now() - wallStart).count());
  Figure("wall time", buf, "s");

  bool failed = false;
  auto fail = [&](const std::string& why) {
    std::fprintf(stderr, "cabinet_realtime_bench: %s\n", why.c_str());
    failed = true;
  };
  if (!r.failure.empty()) fail("script step failed: " + r.failure);
  if (Interrupted()) fail("interrupted");
  if (!sent) fail("the panel simulator printed no counts");
  if (framesLost != 0 || bytesLost != 0) fail("the line lost frames or bytes");
  if (rssGrowth > kRssGrowthBoundKb) fail("resident memory grew beyond the bound");
  if (fdGrowth > kFdGrowthBound) fail("descriptors grew beyond the bound");
  if (threadGrowth > kThreadGrowthBound) fail("threads grew beyond the bound");
  if (r.maxZombies + atEnd.zombies > 0) fail("a zombie stayed");
  if (!quitOk || !shellEnded) fail("the shell did not quit on request");
  if (!countersOk) {
    fail("counters: CALC.INI iCredits " + std::to_string(creditsFile) + " (scripted " +
         std::to_string(credits) + "), iSysCounter " + std::to_string(sysFile) + " (" +
         std::to_string(sys0 + coins) + "), iUserCounter " + std::to_string(userFile) + " (" +
         std::to_string(user0 + coins) + "), plays " +
         std::to_string(playsAfter.value_or(-1) - playsBefore.value_or(0)) + " (" +
         std::to_string(charges) + ")");
  }
  if (!beepsOk) {
    fail("beeps: " + std::to_string(beepsHeard) + " heard (" + std::to_string(partialBeeps) +
         " not whole:" + partialSizes + " bytes), " + std::to_string(coins + charges) +
         " scripted");
  }
  (void)credits0;
  if (failed) ShowTail(shellErr);
  return failed ? 1 : 0;
}
