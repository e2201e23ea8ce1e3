// A cabinet's whole day in virtual time: the real main window and operator screens on a
// VirtualEventLoop, on a real cabinet root in a temporary folder. Customers come and go with
// long idle stretches in between (the menu idles into attract mode), pay coins at the
// operator's price, and play games through a scripted emulator (its mailslots are real sockets,
// its window messages are posted to the window, the screen check's flags are set as its picture
// shows them). The operator visits the test menu a few times and changes the price now and then.
// In the middle of the day the cabinet is shut down and started again after midnight, when the
// rotation is due. The script keeps its own tally; at the end CALC.INI and PARAMS2.DAT, read
// back from disk, must hold exactly what the tally says. Resident memory, descriptors and
// threads are measured after a warm-up and at the end.
//
//   cabinet_day_bench [--seed N]        (CABINET_DAY_HOURS: virtual hours, default 24;
//                                        CABINET_DAY_LOG: a file for the shell's log lines)
//
// Prints "cabinet day: <figure>: <value> <unit>" lines; exit status 1 on any mismatch, on
// memory growth above kMaxRssGrowthMiB, or on any growth of descriptors or threads.
#include <malloc.h>
#include <unistd.h>

#include <QGuiApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "catalogue/catalogue_db.h"
#include "frontend/main_window.h"
#include "gamelink/emulator_records.h"
#include "operator/operator_screens.h"
#include "platform/log.h"
#include "platform/mailslot.h"
#include "platform/profile_file.h"
#include "platform/video_writer.h"
#include "platform/virtual_event_loop.h"

namespace cs::day {
namespace {

namespace fs = std::filesystem;
using Ms = std::int64_t;
constexpr Ms kSec = 1000, kMin = 60 * kSec, kHour = 60 * kMin;

// The resident memory the day may add after its first hour. The day's own data (tally, log
// counts, the catalogue's few hundred rows) is a few KiB; what may legitimately grow is the
// allocator's and the libraries' working state after the restart builds a second window
// (skin pictures, fonts, SQLite's page cache). A leak of one skin picture per game, or of a
// catalogue statement per page fill, would pass this bound within the day.
constexpr double kMaxRssGrowthMiB = 4.0;

std::vector<std::string> g_faults;

void Fault(const std::string& what) {
  if (g_faults.size() < 40) std::printf("cabinet day: fault: %s\n", what.c_str());
  g_faults.push_back(what);
  std::fflush(stdout);
}
void Expect(bool ok, const std::string& what) {
  if (!ok) Fault(what);
}
template <typename A, typename B>
void ExpectEq(const A& got, const B& want, const std::string& what) {
  if (!(got == want)) {
    std::string g, w;
    if constexpr (std::is_arithmetic_v<A>) {
      g = std::to_string(got);
      w = std::to_string(want);
    } else {
      g = "\"" + std::string(got) + "\"";
      w = "\"" + std::string(want) + "\"";
    }
    Fault(what + ": " + g + ", expected " + w);
  }
}

// Coins and credits of a price (iCoinCredits 1..5).
struct Price {
  int coins, credits;
};
Price PriceOf(int p) {
  switch (p) {
    case 1:
      return {3, 1};
    case 2:
      return {2, 1};
    case 4:
      return {1, 2};
    case 5:
      return {1, 3};
    default:
      return {1, 1};
  }
}
// The coins toward the next credit as CALC.INI keeps them: the price's step plus the coins paid.
int ParCreditsOf(int price, int pending) {
  return price == 1 ? -2 + pending : price == 2 ? -1 + pending : 0;
}

struct Game {
  std::string title, group;
  int credits = 0, coins = 0, players = 1;
};

// What the script did, counted by the script alone.
struct Tally {
  int coin1 = 0, coin2 = 0, credits = 0, sys = 0, user = 0, pending = 0, price = 2;
  int upLevel = 4;
  Date dtUpdate;
  int games = 0, startsP1 = 0, startsP2 = 0, roundsPlayed = 0, promptCoins = 0;
  int exitButton = 0, exitService = 0, exitAlone = 0, exitWalkAway = 0;
  int serviceVisits = 0, priceChanges = 0, restarts = 0, rotations = 0;
  std::map<std::string, Game> catalogue;  // by NAMEFILE

  void Coin(int code) {
    (code == 6 ? coin1 : coin2) += 1;
    pending += 1;
    const Price p = PriceOf(price);
    if (pending >= p.coins) {
      pending = 0;
      credits += p.credits;
      sys += 1;
      user += 1;
    }
  }
  // A new price: the coins already paid toward the next credit keep counting at it.
  void SetPrice(int p) {
    price = p;
    const Price n = PriceOf(p);
    while (pending >= n.coins) {
      pending -= n.coins;
      credits += n.credits;
      sys += 1;
      user += 1;
    }
  }
  std::string ByTitle(const std::string& title) const {
    for (const auto& [file, g] : catalogue) {
      if (g.title == title) return file;
    }
    return {};
  }
};

// The emulator's side of a game: its three mailslots, the messages it posts to the window, and
// the screen check's flags as its picture shows them (the check thread only ever sets a flag,
// 2 s after the launch, every 20 ms).
class Emulator {
 public:
  Emulator(VirtualEventLoop& loop, const DriveMap& map) : loop_(loop) {
    bound_ = key_.Bind(MailslotPath(map.IpcDir(), "MAMEKEY")) &&
             dlg_.Bind(MailslotPath(map.IpcDir(), "MAMEDLG")) &&
             inp_.Bind(MailslotPath(map.IpcDir(), "MAMEINP"));
  }
  bool Bound() const { return bound_; }

  void Start(TDbgFrm* frm, int players) {
    frm_ = frm;
    players_ = players;
    alive_ = true;
    loaded_ = exiting_ = p1_ = p2_ = false;
    coins_ = passes_ = 0;
    prev_mask_ = 0;
    const unsigned gen = ++gen_;
    Drain();
    const std::pair<Ms, int> progress[] = {{400, 5}, {1000, 30}, {1700, 62}, {2400, 95}};
    for (const auto& [at, w] : progress) {
      loop_.Schedule(at, [this, gen, w = w] {
        if (gen == gen_ && alive_) frm_->PostMessage(WM_EMULATOR_STATUS, w, 100);
      });
    }
    loop_.Schedule(2600, [this, gen] {
      if (gen == gen_ && alive_) frm_->PostMessage(WM_PANEL_COMMAND, 200, 0);
    });
    loop_.Schedule(2900, [this, gen] {
      if (gen == gen_) loaded_ = true;
    });
    loop_.Schedule(20, [this, gen] { Pass(gen); });
  }
  bool Alive() const { return alive_; }
  void GameOver(int player) { (player == 1 ? p1_ : p2_) = false; }
  // What the emulator's picture shows in each text slot now (empty: the slot is not shown).
  const std::string& Slot1() {
    ReadTexts();
    return slot1_;
  }
  const std::string& Slot2() {
    ReadTexts();
    return slot2_;
  }
  bool Playing(int player) {
    ReadKeys();
    return player == 1 ? p1_ : p2_;
  }
  int CheckRecords() const { return check_records_; }
  int Exits() const { return exits_; }

 private:
  void Drain() {
    std::uint8_t buf[512];
    while (key_.Receive(buf, sizeof buf, 0)) {
    }
    while (dlg_.Receive(buf, sizeof buf, 0)) {
    }
    while (inp_.Receive(buf, sizeof buf, 0)) {
    }
  }
  void Pass(unsigned gen) {
    if (gen != gen_ || !alive_) return;
    ReadKeys();
    ReadTexts();
    if (frm_->flags.Running()) {
      if (++passes_ > 100 && loaded_) {
        GameFlags& f = frm_->flags;
        if (!p1_) GameFlags::Set(f.MatchP1B1, true);
        if (!p2_) GameFlags::Set(f.MatchP2B1, true);
        if (!p1_ && !p2_) GameFlags::Set(f.MatchStart, true);
      }
    } else {
      passes_ = 0;
    }
    loop_.Schedule(20, [this, gen] { Pass(gen); });
  }
  void ReadKeys() {
    std::uint8_t b[64];
    while (auto r = key_.Receive(b, sizeof b, 0)) {
      if (r->length != 4) continue;
      const std::uint32_t mask = b[0] | b[1] << 8 | b[2] << 16 | std::uint32_t{b[3]} << 24;
      const std::uint32_t rise = mask & ~prev_mask_;
      prev_mask_ = mask;
      if (rise & 0x1) ++coins_;
      if ((rise & 0x2) && loaded_ && !p1_ && coins_ > 0) {
        --coins_;
        p1_ = true;
        frm_->PostMessage(WM_EMULATOR_STATUS, 2000, 1000);
      }
      if ((rise & 0x2000) && loaded_ && !p2_ && coins_ > 0 && players_ >= 2) {
        --coins_;
        p2_ = true;
        frm_->PostMessage(WM_EMULATOR_STATUS, 2001, 1000);
      }
      if ((rise & 0x800000) && !exiting_) {
        exiting_ = true;
        ++exits_;
        const unsigned gen = gen_;
        loop_.Schedule(500, [this, gen] {
          if (gen != gen_) return;
          frm_->PostMessage(WM_EMULATOR_STATUS, 1000, 1000);
          alive_ = false;
        });
      }
    }
  }
  void ReadTexts() {
    std::uint8_t b[DlgRecord::kSize];
    while (auto r = dlg_.Receive(b, sizeof b, 0)) {
      if (r->length != DlgRecord::kSize) continue;
      const DlgRecord d = DlgRecord::Decode(std::span<const std::uint8_t, DlgRecord::kSize>(b));
      const bool shown1 = d.Slot1Place[0] != 0 || d.Slot1Place[1] != 0;
      const bool shown2 = d.Slot2Place[0] != 0 || d.Slot2Place[1] != 0;
      slot1_ = shown1 ? d.Slot1String() : std::string();
      slot2_ = shown2 ? d.Slot2String() : std::string();
    }
    std::uint8_t c[CheckRecord::kSize];
    while (auto r = inp_.Receive(c, sizeof c, 0)) {
      if (r->length == CheckRecord::kSize) ++check_records_;
    }
  }

  VirtualEventLoop& loop_;
  MailslotServer key_, dlg_, inp_;
  bool bound_ = false;
  TDbgFrm* frm_ = nullptr;
  unsigned gen_ = 0;
  int players_ = 1;
  bool alive_ = false, loaded_ = false, exiting_ = false, p1_ = false, p2_ = false;
  int coins_ = 0, passes_ = 0, check_records_ = 0, exits_ = 0;
  std::uint32_t prev_mask_ = 0;
  std::string slot1_, slot2_;
};

struct Usage {
  double rssMiB = 0;
  int fds = 0, threads = 0;
  std::multiset<std::string> fdTargets;
};
// `skip`: a file not counted among the descriptors.
Usage Measure(const fs::path& skip) {
  malloc_trim(0);  // what the process holds, not what the allocator keeps cached
  Usage u;
  std::ifstream st("/proc/self/status");
  std::string line;
  while (std::getline(st, line)) {
    if (line.rfind("VmRSS:", 0) == 0) u.rssMiB = std::atof(line.c_str() + 6) / 1024.0;
    if (line.rfind("Threads:", 0) == 0) u.threads = std::atoi(line.c_str() + 8);
  }
  for (const auto& e : fs::directory_iterator("/proc/self/fd")) {
    std::error_code ec;
    const fs::path target = fs::read_symlink(e.path(), ec);
    if (!skip.empty() && target == skip) continue;
    ++u.fds;
    u.fdTargets.insert(target.string());
  }
  return u;
}

struct Options {
  std::uint64_t seed = 0;
  double hours = 24;
};

class Day {
 public:
  Day(const Options& o, fs::path skins)
      : opt_(o),
        skins_(std::move(skins)),
        rng_(o.seed),
        root_(fs::temp_directory_path() / ("cs-cabinet-day-" + std::to_string(::getpid()))),
        map_(root_),
        loop_(kStartDate, 1.0 - o.hours / 48.0) {}
  ~Day() {
    CloseCabinet();
    emu_.reset();
    reader_.reset();
    std::error_code ec;
    fs::remove_all(root_, ec);
  }

  int Run() {
    const auto wall0 = std::chrono::steady_clock::now();
    // CABINET_DAY_LOG=FILE keeps every log line of the day.
    if (const char* f = std::getenv("CABINET_DAY_LOG")) log_file_.open(f);
    SetLogSink([this](const std::string& line) {
      ++log_lines_;
      if (log_file_.is_open()) log_file_ << line << '\n';
      if (log_seen_.insert(line).second && log_seen_.size() <= 5) log_first_.push_back(line);
    });
    if (!MakeRoot()) return 1;
    emu_ = std::make_unique<Emulator>(loop_, map_);
    if (!emu_->Bound()) {
      Fault("the emulator's mailslots cannot be bound");
      return 1;
    }
    if (!Reader()) {
      Fault("PARAMS2.DAT cannot be opened");
      return 1;
    }
    OpenCabinet();
    if (!frm_->StartupDone()) {
      Fault("start-up did not finish");
      return 1;
    }
    Wait(5 * kSec);

    const Ms end = static_cast<Ms>(opt_.hours * kHour);
    const Ms midnight = end / 2;
    const Ms warm = std::min<Ms>(kHour, end / 4);
    const int gamesWanted = std::max(2, static_cast<int>(200 * opt_.hours / 24 + 0.5));
    int visitsLeft = std::max(1, static_cast<int>(6 * opt_.hours / 24 + 0.5));
    Ms nextVisit = Uniform(warm / 6, warm * 9 / 10);
    Ms nextCustomer = Uniform(0, 10 * kMin);
    std::optional<Usage> warmUsage;
    while (tally_.games < gamesWanted || loop_.NowMs() < end) {
      const Ms now = loop_.NowMs();
      if (now > 2 * end + 2 * kHour || g_faults.size() >= 40) {
        Fault("the day cannot go on: " + std::to_string(tally_.games) + " of " +
              std::to_string(gamesWanted) + " games played");
        break;
      }
      // The warm-up ends after the first hour, once a game and a service visit have opened
      // what they open at their first use (the settings menu's catalogue views among them).
      if (!warmUsage && now >= warm && tally_.games > 0 && tally_.serviceVisits > 0) {
        WaitIdleSounds();
        warmUsage = Measure(PreviewFile());
      }
      if (!tally_.restarts && now >= midnight - 8 * kMin) {
        RestartAcrossMidnight(midnight);
        continue;
      }
      if (visitsLeft > 0 && now >= nextVisit) {
        ServiceVisit(Chance(0.6));
        --visitsLeft;
        nextVisit =
            now + Uniform((end - now) / (visitsLeft + 1) / 2, (end - now) / (visitsLeft + 1));
        continue;
      }
      const bool nearMidnight = !tally_.restarts && now >= midnight - 25 * kMin;
      if (tally_.games < gamesWanted && now >= nextCustomer && !nearMidnight) {
        const int games = std::min(gamesWanted - tally_.games, static_cast<int>(Uniform(1, 3)));
        Customer(games);
        const int left = gamesWanted - tally_.games;
        const Ms busy = static_cast<Ms>(left * 2.3 * kMin);
        const Ms spare = std::max<Ms>(0, end - loop_.NowMs() - busy);
        const double sessions = std::max(1.0, left / 2.0);
        nextCustomer = loop_.NowMs() + static_cast<Ms>(spare / sessions * Real(0.2, 1.8));
        continue;
      }
      if (tally_.games >= gamesWanted && now >= end) break;
      // Nobody at the cabinet: the menu idles (attract mode) until the next event.
      Ms until = end;
      if (tally_.games < gamesWanted) until = std::min(until, std::max(nextCustomer, now + kSec));
      if (visitsLeft > 0) until = std::min(until, nextVisit);
      if (!tally_.restarts) until = std::min(until, midnight - 8 * kMin);
      if (!warmUsage && now < warm) until = std::min(until, warm);
      Idle(std::max<Ms>(until - now, kSec));
    }
    Expect(idle_attract_moves_ > 0, "the idle menu never moved into attract mode");
    WaitIdleSounds();
    const Usage endUsage = Measure(PreviewFile());
    const bool countersOk = CheckCountersOnDisk();
    const bool catalogueOk = CheckCatalogueOnDisk();
    CloseCabinet();
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - wall0).count();
    SetLogSink(nullptr);
    Report(warmUsage.value_or(endUsage), endUsage, countersOk, catalogueOk, wall);
    return g_faults.empty() ? 0 : 1;
  }

 private:
  static constexpr Date kStartDate{2026, 12, 11};

  // --- random choices -------------------------------------------------------------------------
  Ms Uniform(Ms lo, Ms hi) { return std::uniform_int_distribution<Ms>(lo, std::max(lo, hi))(rng_); }
  double Real(double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(rng_); }
  bool Chance(double p) { return Real(0, 1) < p; }

  // --- the cabinet root -----------------------------------------------------------------------
  fs::path QdDir() const { return root_ / "dosdevices/c:/qd"; }
  fs::path CalcIni() const { return root_ / "dosdevices/c:/windows/CALC.INI"; }

  bool MakeRoot() {
    fs::remove_all(root_);
    if (!map_.CreateSkeleton()) {
      Fault("cannot make the cabinet root " + root_.string());
      return false;
    }
    static const char* const kHead[] = {"Zor", "Kal", "Mip", "Tef", "Rho",
                                        "Van", "Quo", "Lux", "Dax", "Bel"};
    static const char* const kTail[] = {"ion", "ara", "ex", "ump", "ola"};
    std::vector<GameRow> rows;
    for (int k = 0; k < 50; ++k) {
      char file[16];
      std::snprintf(file, sizeof file, "GAME%02d", k);
      Game g;
      g.title =
          std::string(kHead[(k * 7) % 10]) + kTail[(k / 10 + k) % 5] + " " + std::to_string(k + 1);
      g.group = k < 30 ? "GR1" : "GR2";
      g.credits = static_cast<int>(Uniform(0, 400));
      g.coins = k < 30 ? 0 : static_cast<int>(Uniform(0, 3));  // below iUpLevel 4
      g.players = Chance(0.4) ? 2 : 1;
      tally_.catalogue[file] = g;
      GameRow r;
      r.NAMEFILE = file;
      r.NAMEGAME = g.title;
      r.GROUP = g.group;
      r.CREDITS = g.credits;
      r.COINS = g.coins;
      r.Nrplayer = g.players;
      rows.push_back(r);
    }
    std::string err;
    auto db = CatalogueDb::Create(QdDir() / "PARAMS2.DAT", &err);
    if (!db || !db->UpsertGames(rows, &err)) {
      Fault("cannot write PARAMS2.DAT: " + err);
      return false;
    }
    // A few games have a small preview, so the decoder runs on the idle menu too.
    for (const char* file : {"GAME00", "GAME03", "GAME11", "GAME17", "GAME24", "GAME35"}) {
      VideoWriter vw;
      if (!vw.Open(QdDir() / (std::string(file) + ".AVI"), 96, 72, 25, &err)) {
        Fault("cannot write a preview: " + err);
        return false;
      }
      for (int i = 0; i < 60; ++i) {
        QImage f(96, 72, QImage::Format_RGB32);
        f.fill(QColor((i * 4) % 256, 80, 160));
        vw.Write(f);
      }
      vw.Close();
    }
    // 2 coins a credit, a partly paid credit pending; rotation on, every 30 days, last rotated
    // 29 days before the first day: due on the second.
    tally_.price = 2;
    tally_.pending = 0;
    tally_.sys = 1520;
    tally_.user = 40;
    tally_.dtUpdate = Date::FromDaysSinceEpoch(kStartDate.DaysSinceEpoch() - 29);
    std::ofstream calc(CalcIni());
    calc << "[DUZER]\niSysCounter=" << tally_.sys << "\niUserCounter=" << tally_.user
         << "\niCredits=0\niCoinCredits=2\niParCredits=" << ParCreditsOf(2, 0)
         << "\niKhz15=0\niVolume=5\niUpdate=1\niUpdatePer=1\nDtUpdate="
         << tally_.dtUpdate.ToShortString() << "\niUpLevel=" << tally_.upLevel << "\n";
    return static_cast<bool>(calc.flush());
  }

  void OpenCabinet() {
    MainWindowConfig c;
    c.map = map_;
    c.skinIni = skins_ / "menu/menu.ini";
    c.pcmDevice = "null";
    c.mixerDevice = "hw:CARD=NoSuchCard";
    c.startPanelReader = false;
    c.startAuxPrograms = false;
    c.startScreenCheck = false;
    c.startEndpoint = false;
    c.checkFilesDir = root_ / "dosdevices/c:/shell";
    c.tvoutWidgets = false;
    fs::create_directories(c.checkFilesDir);
    frm_ = std::make_unique<TDbgFrm>(loop_, c);
    frm_->FormCreate();
    ops_ = std::make_unique<OperatorScreens>(
        loop_, OperatorConfig{skins_, QdDir() / "PARAMS2.DAT", "null"});
    frm_->Operators = ops_.get();
    test_item_ = set_item_ = 1;
  }
  void CloseCabinet() {
    if (!frm_) return;
    frm_->FormClose();
    frm_->Operators = nullptr;
    ops_.reset();
    frm_.reset();
  }
  // The preview the player holds open: it keeps the highlighted game's file open until the next
  // preview opens, so whether it is open depends only on where the highlight is.
  fs::path PreviewFile() const {
    if (!frm_ || frm_->Mavic.GetMode() == VideoPlayer::Mode::kNotReady) return {};
    return frm_->Map().Resolve(frm_->AviFileName).value_or(fs::path());
  }
  // The script's own reading of PARAMS2.DAT, one connection for the whole day: SQLite keeps the
  // descriptor of a closed connection while another connection of the process has the file
  // open, so a connection opened and closed mid-day would count as a descriptor the day added.
  CatalogueDb* Reader() {
    if (!reader_) reader_ = CatalogueDb::Open(QdDir() / "PARAMS2.DAT");
    return reader_.get();
  }
  void WaitIdleSounds() {
    if (frm_) frm_->MpSound.WaitIdle();
    if (ops_) ops_->FrmTest.MpSound.WaitIdle();
  }

  // --- the panel, as the reader posts it ------------------------------------------------------
  void Wait(Ms ms) { loop_.Advance(ms); }
  bool WaitFor(const std::function<bool()>& done, Ms limit, Ms step = 100) {
    for (Ms t = 0; t <= limit; t += step) {
      if (done()) return true;
      Wait(step);
    }
    return done();
  }
  // A held control: one frame's code; the reader zeroes its no-input counters with it.
  void Held(int code) {
    frm_->Keyb().NoInputTicks.store(0);
    frm_->Keyb().GameNoInputTicks.store(0);
    frm_->PostMessage(WM_PANEL_INPUT, code, 50);
  }
  void EventCode(int code) { frm_->PostMessage(WM_PANEL_INPUT, code, 0); }
  // A button while a game runs (1 exit, 2 and 3 the starts, or a direction).
  void InGame(int code) {
    frm_->Keyb().NoInputTicks.store(0);
    frm_->Keyb().GameNoInputTicks.store(0);
    frm_->PostMessage(WM_PANEL_COMMAND, 100, code);
    if (code >= 200) frm_->PostMessage(WM_PANEL_INPUT, code, 50);
  }
  void Coin() {
    const int code = Chance(0.5) ? 6 : 7;
    EventCode(code);
    tally_.Coin(code);
    Wait(Uniform(400, 1200));
    ExpectEq(frm_->iCredits, tally_.credits,
             "credits after a coin at price " + std::to_string(tally_.price));
  }
  // Coins for whole credits until the balance reaches `need`.
  void PayFor(int need) {
    while (tally_.credits < need) Coin();
  }
  std::string Highlighted() {
    SkinObject* o =
        frm_->Ske.FindObject(frm_->Ske.RootObject(), "BUT_" + std::to_string(frm_->CurSlot));
    return o ? o->Text() : std::string();
  }
  bool Idle() const { return !frm_->flags.Running() && frm_->LoadState == 0; }

  // --- the acts of the day --------------------------------------------------------------------
  void Idle(Ms ms) {
    const int before = frm_->CurSlot + 100 * frm_->PageOffset;
    Wait(ms);
    if (ms > kMin && frm_->CurSlot + 100 * frm_->PageOffset != before) ++idle_attract_moves_;
  }

  void Customer(int games) {
    Wait(Uniform(2, 20) * kSec);
    PayFor(1);
    for (int i = 0; i < games; ++i) {
      if (!PlayOneGame()) break;
      Wait(Uniform(2500, 8000));  // the start needs a pause after a game
    }
    // Now and then a customer pays a coin and walks away before the credit is complete.
    if (PriceOf(tally_.price).coins > 1 && Chance(0.08)) Coin();
  }

  bool PlayOneGame() {
    // Look around the menu, then settle on a game.
    for (int n = static_cast<int>(Uniform(0, 6)); n > 0; --n) {
      const double r = Real(0, 1);
      Held(r < 0.65 ? 208 : r < 0.8 ? 200 : r < 0.92 ? 205 : 203);
      Wait(Uniform(450, 1100));
    }
    for (int n = 0; n < 12 && Highlighted().rfind("  -->", 0) == 0; ++n) {
      Held(frm_->PageOffset == 40 ? 205 : 200);
      Wait(Uniform(450, 900));
    }
    const std::string shown = Highlighted();
    const std::string file = shown.size() > 1 ? tally_.ByTitle(shown.substr(1)) : std::string();
    if (file.empty() || tally_.catalogue[file].group != "GR1") {
      Fault("the highlighted slot shows no game in use: \"" + shown + "\"");
      return false;
    }
    Game& game = tally_.catalogue[file];
    PayFor(1);
    Held(2);
    Wait(100);
    if (!frm_->flags.Running()) {
      Fault("the start press did not launch " + file);
      return false;
    }
    emu_->Start(frm_.get(), game.players);
    ++tally_.games;
    if (!WaitFor([&] { return frm_->PlayState == 2; }, 15 * kSec)) {
      Fault("no start prompt in " + file);
    }
    Wait(200);
    ExpectEq(emu_->Slot1(), StartPromptText(tally_.credits), "the start prompt of " + file);
    if (Chance(0.1)) {
      Coin();
      ++tally_.promptCoins;
      ExpectEq(emu_->Slot1(), StartPromptText(tally_.credits), "the prompt after a coin");
    }
    bool ended = false;
    if (Chance(0.1)) {
      ++tally_.exitAlone;  // nobody takes the prompt: the cabinet ends the game
    } else {
      const int rounds = Chance(0.25) ? 2 : 1;
      for (int round = 0; round < rounds && !ended; ++round) ended = PlayRound(file, game);
      if (!ended) {
        const double r = Real(0, 1);
        Wait(Uniform(1000, 4000));
        if (r < 0.4) {
          InGame(1);
          ++tally_.exitButton;
        } else if (r < 0.65) {
          EventCode(600);
          Wait(Uniform(600, 1500));
          EventCode(600);
          ++tally_.exitService;
        } else {
          ++tally_.exitAlone;
        }
      }
    }
    if (!WaitFor([&] { return Idle() && !emu_->Alive(); }, 120 * kSec, 200)) {
      Fault("the game " + file + " did not end");
      return false;
    }
    ExpectEq(frm_->iCredits, tally_.credits, "credits after " + file);
    return true;
  }

  // One round at the prompt: player 1 starts, player 2 may join, they play, game over. True
  // when the players walked away and the cabinet ended the game itself.
  bool PlayRound(const std::string& file, Game& game) {
    if (!WaitFor([&] { return frm_->PlayState == 2 && frm_->Keyb().ForwardStage.load() == 2; },
                 10 * kSec)) {
      Fault("the prompt of " + file + " never forwarded the panel");
    }
    if (tally_.credits < 1) {
      PayFor(1);
      Wait(500);
    }
    Wait(Uniform(300, 2500));
    InGame(2);
    const bool started = WaitFor([&] { return emu_->Playing(1); }, 3 * kSec, 50);
    Wait(200);  // the window takes the emulator's report
    if (!started) {
      Fault("player 1's start did not reach " + file);
      return false;
    }
    tally_.credits -= 1;
    game.credits += 1;
    ++tally_.startsP1;
    ++tally_.roundsPlayed;
    ExpectEq(frm_->iCredits, tally_.credits, "credits after player 1's start");
    ExpectEq(emu_->Slot2(), CreditsLineText(tally_.credits), "the credits line");
    bool p2 = false;
    if (game.players >= 2 && Chance(0.5)) {
      Wait(Uniform(3000, 6000));
      if (tally_.credits < 1) PayFor(1);
      InGame(3);
      p2 = WaitFor([&] { return emu_->Playing(2); }, 3 * kSec, 50);
      Wait(200);
      if (!p2) {
        Fault("player 2's start did not reach " + file);
      } else {
        // One credit; the play counted at the coin pulse and again at the reported start.
        tally_.credits -= 1;
        game.credits += 2;
        ++tally_.startsP2;
      }
    }
    const bool walkAway = Chance(0.08);
    const Ms play = Uniform(20, walkAway ? 40 : 150) * kSec;
    for (Ms t = 0; t < play;) {
      const Ms step = Uniform(500, 4000);
      Wait(step);
      t += step;
      InGame(Chance(0.5) ? 203 : 205);
    }
    if (walkAway) {
      ++tally_.exitWalkAway;  // in play, no input: the cabinet exits after about 73 s
      return true;
    }
    emu_->GameOver(1);
    if (p2) {
      Wait(Uniform(1000, 8000));
      emu_->GameOver(2);
    }
    if (!WaitFor([&] { return frm_->PlayState == 2; }, 30 * kSec)) {
      Fault("no prompt after the game over in " + file);
    }
    Wait(200);
    ExpectEq(emu_->Slot1(), StartPromptText(tally_.credits), "the prompt after a game over");
    return false;
  }

  // --- the operator ---------------------------------------------------------------------------
  struct Step {
    Ms at;
    std::function<void()> act;
  };
  // Moves the test menu's (or the settings menu's) highlight from *item to `to`, the short way.
  void MoveItem(std::vector<Step>& s, Ms& t, int* item, int to, int items) {
    const int down = ((to - *item) % items + items) % items;
    const int code = down <= items - down ? 208 : 200;
    for (int n = std::min(down, items - down); n > 0; --n)
      s.push_back({t += Uniform(400, 800), [this, code] { Held(code); }});
    *item = to;
  }
  void Press(std::vector<Step>& s, Ms& t, int code, Ms gapLo = 400, Ms gapHi = 800) {
    s.push_back({t += Uniform(gapLo, gapHi), [this, code] { Held(code); }});
  }
  void Check(std::vector<Step>& s, Ms& t, std::function<void()> probe) {
    s.push_back({t += 150, std::move(probe)});
  }

  void ServiceVisit(bool changePrice) {
    ++tally_.serviceVisits;
    std::vector<Step> s;
    Ms t = 0;
    TFrmTest& menu = ops_->FrmTest;
    const std::string credits8 = [&] {
      char b[16];
      std::snprintf(b, sizeof b, "%08d", tally_.credits);
      return std::string(b);
    }();
    const std::string user8 = [&] {
      char b[16];
      std::snprintf(b, sizeof b, "%08d", tally_.user);
      return std::string(b);
    }();
    Check(s, t, [&, credits8] {
      Expect(menu.Visible() && frm_->ServiceMode == 10,
             "the service button did not open the test menu");
      ExpectEq(menu.ZsCredits.caption, credits8, "the test menu's credits");
    });
    // The counters.
    MoveItem(s, t, &test_item_, 3, 8);
    Press(s, t, 2);
    Check(s, t, [&, user8] {
      Expect(ops_->FrmSet.Visible(), "SETTINGS AND COUNTERS did not open");
      ExpectEq(ops_->FrmSet.ZsCredits.caption, user8, "TOTAL CREDITS");
    });
    MoveItem(s, t, &set_item_, 5, 5);
    Press(s, t, 2);
    Check(s, t,
          [&] { Expect(!ops_->FrmSet.Visible(), "the settings menu's EXIT did not close it"); });
    // The input test: a few controls, then both starts at once to leave.
    MoveItem(s, t, &test_item_, 4, 8);
    Press(s, t, 2);
    Check(s, t, [&] { Expect(ops_->FrmInp.Visible(), "INPUTS TEST did not open"); });
    for (int code : {200, 208, 203, 29, 57}) Press(s, t, code);
    Press(s, t, 2, 600, 900);
    Press(s, t, 3, 80, 120);
    Check(s, t,
          [&] { Expect(!ops_->FrmInp.Visible(), "both starts did not leave the input test"); });
    // The monitor test card.
    MoveItem(s, t, &test_item_, 5, 8);
    Press(s, t, 2);
    Check(s, t, [&] { Expect(ops_->FrmTestMon.Visible(), "MONITOR TEST did not open"); });
    Press(s, t, 2, 2000, 5000);
    Check(s, t,
          [&] { Expect(!ops_->FrmTestMon.Visible(), "start did not leave the monitor test"); });
    int price = tally_.price;
    if (changePrice) {
      MoveItem(s, t, &test_item_, 1, 8);
      const int code = Chance(0.5) ? 205 : 203;
      for (int n = static_cast<int>(Uniform(1, 2)); n > 0; --n) {
        Press(s, t, code);
        price = code == 205 ? price % 5 + 1 : (price + 3) % 5 + 1;
      }
    }
    MoveItem(s, t, &test_item_, 8, 8);
    Press(s, t, 2);
    // A screen still open here would keep the modal loop running for ever: close it and say so.
    s.push_back({t + 5 * kSec, [&] {
                   for (Form* f :
                        {static_cast<Form*>(&ops_->FrmInp), static_cast<Form*>(&ops_->FrmTestMon),
                         static_cast<Form*>(&ops_->FrmSet), static_cast<Form*>(&menu)}) {
                     if (f->Visible()) {
                       Fault(f->ClassName() + " still open at the end of the service visit");
                       f->Hide();
                     }
                   }
                 }});
    for (auto& step : s) loop_.Schedule(step.at + 300, std::move(step.act));
    frm_->Keyb().NoInputTicks.store(0);
    EventCode(500);
    Wait(t + 6 * kSec);
    Expect(frm_->ServiceMode == 0 && !ops_->AnyVisible(), "the test menu was not left");
    if (price != tally_.price) {
      ++tally_.priceChanges;
      tally_.SetPrice(price);
    }
    ExpectEq(frm_->iCoinCredits, tally_.price, "the price after the service visit");
    const ProfileFile calc = ProfileFile::Load(CalcIni());
    ExpectEq(calc.ReadInteger("DUZER", "iCoinCredits", -1), tally_.price,
             "iCoinCredits saved by the test menu");
    ExpectEq(calc.ReadInteger("DUZER", "iCredits", -1), tally_.credits,
             "iCredits saved by the test menu");
  }

  // --- the restart across midnight ------------------------------------------------------------
  void RestartAcrossMidnight(Ms midnight) {
    ++tally_.restarts;
    CloseCabinet();
    Wait(std::max<Ms>(midnight - loop_.NowMs(), 0) + Uniform(2, 6) * kMin);
    const Date today = loop_.clock().Today();
    ExpectEq(today.DaysSinceEpoch(), kStartDate.DaysSinceEpoch() + 1, "the day after midnight");
    OpenCabinet();
    Expect(frm_->StartupDone(), "the start-up after midnight did not finish");
    CheckRotation(today);
    Wait(5 * kSec);
  }

  // The rotation's rules, on the catalogue read back: the ten least played games in use left
  // (GR2, COINS := the old generation), then the ten available games of the lowest COINS came
  // back (GR1, CREDITS 0). Ties are settled either way, so only the rules are checked.
  void CheckRotation(Date today) {
    CatalogueDb* db = Reader();
    const auto rows = db ? db->ReadAllGames() : std::nullopt;
    if (!rows) {
      Fault("PARAMS2.DAT cannot be read after the restart");
      return;
    }
    std::map<std::string, GameRow> now;
    for (const GameRow& r : *rows) now[r.NAMEFILE] = r;
    std::vector<std::string> retired, back;
    for (const auto& [file, g] : tally_.catalogue) {
      const GameRow& r = now[file];
      const std::string group = r.GROUP.value_or("");
      if (g.group == "GR1" && group == "GR2") retired.push_back(file);
      if (g.group == "GR2" && group == "GR1") back.push_back(file);
    }
    ExpectEq(static_cast<int>(retired.size()), 10, "games retired by the rotation");
    int maxRetired = -1, minKept = 1 << 30;
    for (const auto& [file, g] : tally_.catalogue) {
      if (g.group != "GR1") continue;
      const bool r = std::find(retired.begin(), retired.end(), file) != retired.end();
      if (r) {
        maxRetired = std::max(maxRetired, g.credits);
      } else {
        minKept = std::min(minKept, g.credits);
      }
    }
    Expect(maxRetired <= minKept, "the rotation retired a game played more than one it kept");
    for (const auto& file : retired) {
      ExpectEq(now[file].COINS.value_or(-1), tally_.upLevel, "COINS of retired " + file);
      tally_.catalogue[file].group = "GR2";
      tally_.catalogue[file].coins = tally_.upLevel;
    }
    // Brought back: from the pool as it was after the retirement, the lowest COINS first.
    int maxBack = -1, minLeft = 1 << 30;
    for (const auto& [file, g] : tally_.catalogue) {
      if (g.group != "GR2") continue;
      const bool b = std::find(back.begin(), back.end(), file) != back.end();
      if (b) {
        maxBack = std::max(maxBack, g.coins);
      } else {
        minLeft = std::min(minLeft, g.coins);
      }
    }
    ExpectEq(static_cast<int>(back.size()), 10, "games brought back by the rotation");
    Expect(maxBack <= minLeft, "the rotation brought back a game retired later than one it left");
    for (const auto& file : back) {
      ExpectEq(now[file].CREDITS.value_or(-1), 0, "CREDITS of returned " + file);
      tally_.catalogue[file].group = "GR1";
      tally_.catalogue[file].credits = 0;
    }
    if (retired.size() == 10 && back.size() == 10) ++tally_.rotations;
    tally_.upLevel += 1;
    tally_.dtUpdate = today;
    ExpectEq(frm_->iUpLevel, tally_.upLevel, "iUpLevel after the rotation");
    ExpectEq(frm_->DtUpdate.ToShortString(), tally_.dtUpdate.ToShortString(),
             "DtUpdate after the rotation");
  }

  // --- the end of the day ---------------------------------------------------------------------
  bool CheckCountersOnDisk() {
    const std::size_t before = g_faults.size();
    const ProfileFile calc = ProfileFile::Load(CalcIni());
    auto key = [&](const char* name) { return calc.ReadInteger("DUZER", name, -99999); };
    ExpectEq(key("iCredits"), tally_.credits, "CALC.INI iCredits");
    ExpectEq(key("iSysCounter"), tally_.sys, "CALC.INI iSysCounter");
    ExpectEq(key("iUserCounter"), tally_.user, "CALC.INI iUserCounter");
    ExpectEq(key("iCoinCredits"), tally_.price, "CALC.INI iCoinCredits");
    ExpectEq(key("iParCredits"), ParCreditsOf(tally_.price, tally_.pending),
             "CALC.INI iParCredits");
    ExpectEq(key("iUpLevel"), tally_.upLevel, "CALC.INI iUpLevel");
    ExpectEq(calc.ReadString("DUZER", "DtUpdate", ""), tally_.dtUpdate.ToShortString(),
             "CALC.INI DtUpdate");
    ExpectEq(frm_->iCredits, tally_.credits, "the window's iCredits");
    return g_faults.size() == before;
  }
  bool CheckCatalogueOnDisk() {
    const std::size_t before = g_faults.size();
    CatalogueDb* db = Reader();
    const auto rows = db ? db->ReadAllGames() : std::nullopt;
    if (!rows) {
      Fault("PARAMS2.DAT cannot be reopened");
      return false;
    }
    ExpectEq(static_cast<int>(rows->size()), static_cast<int>(tally_.catalogue.size()),
             "rows of PARAMS2.DAT");
    for (const GameRow& r : *rows) {
      const auto it = tally_.catalogue.find(r.NAMEFILE);
      if (it == tally_.catalogue.end()) {
        Fault("PARAMS2.DAT holds an unknown game " + r.NAMEFILE);
        continue;
      }
      const Game& g = it->second;
      ExpectEq(r.CREDITS.value_or(-1), g.credits, "plays (CREDITS) of " + r.NAMEFILE);
      ExpectEq(r.GROUP.value_or(""), g.group, "GROUP of " + r.NAMEFILE);
      ExpectEq(r.COINS.value_or(-1), g.coins, "COINS of " + r.NAMEFILE);
      ExpectEq(r.NAMEGAME.value_or(""), g.title, "NAMEGAME of " + r.NAMEFILE);
    }
    return g_faults.size() == before;
  }

  void Report(const Usage& warm, const Usage& end, bool countersOk, bool catalogueOk, double wall) {
    auto line = [](const char* name, const std::string& value) {
      std::printf("cabinet day: %s: %s\n", name, value.c_str());
    };
    auto num = [](double v, const char* unit, int decimals = 0) {
      char b[64];
      std::snprintf(b, sizeof b, "%.*f %s", decimals, v, unit);
      return std::string(b);
    };
    const double growth = end.rssMiB - warm.rssMiB;
    line("seed", std::to_string(opt_.seed));
    line("virtual hours", num(opt_.hours, "h", opt_.hours == static_cast<int>(opt_.hours) ? 0 : 2));
    line("games played", num(tally_.games, "games"));
    line("player 1 starts", num(tally_.startsP1, "starts"));
    line("player 2 starts", num(tally_.startsP2, "starts"));
    line("coins, coin 1", num(tally_.coin1, "coins"));
    line("coins, coin 2", num(tally_.coin2, "coins"));
    line("coins at the in-game prompt", num(tally_.promptCoins, "coins"));
    line("games ended by the exit button", num(tally_.exitButton, "games"));
    line("games ended by the service button", num(tally_.exitService, "games"));
    line("games left at the prompt, ended by the cabinet", num(tally_.exitAlone, "games"));
    line("games left in play, ended by the cabinet", num(tally_.exitWalkAway, "games"));
    line("exit records the emulator received", num(emu_->Exits(), "records"));
    line("check-settings records the emulator received", num(emu_->CheckRecords(), "records"));
    line("service visits", num(tally_.serviceVisits, "visits"));
    line("price changes", num(tally_.priceChanges, "changes"));
    line("restarts across midnight", num(tally_.restarts, "restarts"));
    line("rotations at the restart", num(tally_.rotations, "rotations"));
    line("idle stretches that moved into attract mode", num(idle_attract_moves_, "stretches"));
    line("log lines", num(static_cast<double>(log_lines_), "lines"));
    for (const auto& l : log_first_) std::printf("  log: %s\n", l.c_str());
    line("resident memory after the first hour", num(warm.rssMiB, "MiB", 1));
    line("resident memory at the end", num(end.rssMiB, "MiB", 1));
    line("resident memory growth after the first hour", num(growth, "MiB", 1));
    line("descriptor growth", num(end.fds - warm.fds, "fds"));
    line("thread growth", num(end.threads - warm.threads, "threads"));
    if (growth > kMaxRssGrowthMiB) {
      Fault("resident memory grew by more than " + std::to_string(kMaxRssGrowthMiB) + " MiB");
    }
    if (end.fds > warm.fds) {
      std::string added;
      std::multiset<std::string> rest = end.fdTargets;
      for (const auto& t : warm.fdTargets) {
        if (auto it = rest.find(t); it != rest.end()) rest.erase(it);
      }
      for (const auto& t : rest) added += " " + t;
      Fault("descriptors grew:" + added);
    }
    Expect(end.threads <= warm.threads, "threads grew");
    line("counters as scripted", countersOk ? "yes" : "no");
    line("catalogue as scripted", catalogueOk ? "yes" : "no");
    line("faults", num(static_cast<double>(g_faults.size()), "faults"));
    line("wall time", num(wall, "s"));
  }

  Options opt_;
  fs::path skins_;
  std::mt19937_64 rng_;
  fs::path root_;
  DriveMap map_;
  VirtualEventLoop loop_;
  std::unique_ptr<TDbgFrm> frm_;
  std::unique_ptr<OperatorScreens> ops_;
  std::unique_ptr<Emulator> emu_;
  std::unique_ptr<CatalogueDb> reader_;
  Tally tally_;
  int test_item_ = 1, set_item_ = 1;
  int idle_attract_moves_ = 0;
  std::size_t log_lines_ = 0;
  std::set<std::string> log_seen_;
  std::vector<std::string> log_first_;
  std::ofstream log_file_;
};

}  // namespace
}  // namespace cs::day

int main(int argc, char** argv) {
  namespace fs = std::filesystem;
  cs::day::Options opt;
  opt.seed = std::random_device{}();
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a.rfind("--benchmark_", 0) == 0) continue;  // bench/run-all's flags
    if (a == "--seed" && i + 1 < argc) {
      opt.seed = std::strtoull(argv[++i], nullptr, 10);
    } else if (a.rfind("--seed=", 0) == 0) {
      opt.seed = std::strtoull(a.c_str() + 7, nullptr, 10);
    } else {
      std::fprintf(stderr,
                   "usage: cabinet_day_bench [--seed N]  (CABINET_DAY_HOURS, default 24)\n");
      return 2;
    }
  }
  if (const char* h = std::getenv("CABINET_DAY_HOURS")) {
    opt.hours = std::atof(h);
    if (!(opt.hours >= 0.5 && opt.hours <= 240)) {
      std::fprintf(stderr, "cabinet_day_bench: CABINET_DAY_HOURS must be 0.5 to 240\n");
      return 2;
    }
  }
  // The build's skins, next to bench/: BUILD/bench/cabinet_day_bench -> BUILD/skins.
  std::error_code ec;
  const fs::path skins = fs::canonical("/proc/self/exe", ec).parent_path().parent_path() / "skins";
  for (const char* ini : {"menu/menu.ini", "test/test.ini", "settings/settings.ini",
                          "inputs/inputs.ini", "monitor/monitor.ini"}) {
    if (ec || !fs::exists(skins / ini)) {
      std::fprintf(stderr, "cabinet_day_bench: skin not built: %s\n", (skins / ini).c_str());
      return 1;
    }
  }
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QGuiApplication app(argc, argv);
  std::printf("cabinet day: seed %llu (run again with --seed %llu)\n",
              static_cast<unsigned long long>(opt.seed), static_cast<unsigned long long>(opt.seed));
  std::fflush(stdout);
  int rc;
  {
    cs::day::Day day(opt, skins);
    rc = day.Run();
  }
  return rc;
}
