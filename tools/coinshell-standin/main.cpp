// coinshell-standin: the emulator's side of the cabinet protocol, for tests and the demo.
//
//   coinshell-standin [emulator options] NAMEFILE        play NAMEFILE (the shell's launch)
//   coinshell-standin --make-check-files NAMEFILE DIR [--startup-time S]
//                                                        write NAMEFILE.xy and t1..t7.bmp
//
// Started by the shell as c:\qd\qd.exe with the emulator's command line; the last word is the
// game's NAMEFILE, options of the real emulator (-noswitchbpp, -sr 22050...) are accepted and
// ignored. It binds MAMEKEY, MAMEINP and MAMEDLG under $COINSHELL_IPC, opens the shared frame
// ($COINSHELL_SHM or /SHM), reports loading and player starts to <ipc>/TDbgFrm, plays a small
// invented game and ends on the exit bit with the end message 1000/1000 (also when asked to stop
// with SIGTERM or SIGINT). It needs no display.
//
// Options (each also from the environment, as the shell passes only the emulator's command line):
//   --screenshot-dir DIR   COINSHELL_STANDIN_SCREENSHOTS  PNGs: latest.png, and a numbered one
//                                                         whenever the picture's meaning changes
//   --log FILE             COINSHELL_STANDIN_LOG          every record received and message
//                                                         posted, as JSON lines
//   --play-ms N            COINSHELL_STANDIN_PLAY_MS      length of a credit's game (20000)
//   --max-seconds N        COINSHELL_STANDIN_MAX_SECONDS  end by itself after N s (0: never)
//   --dib-bits 16|24|32    COINSHELL_STANDIN_DIB_BITS     pixel format of the frame blocks (32)
//   --top-down             COINSHELL_STANDIN_TOP_DOWN=1   top-down blocks (negative height)
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <QGuiApplication>
#include <QImage>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "catalogue/game_row.h"
#include "gamelink/emulator_records.h"
#include "gamelink/shared_frame.h"
#include "platform/log.h"
#include "platform/mailslot.h"
#include "platform/shared_memory.h"
#include "platform/window_endpoint.h"
#include "standin_game.h"
#include "standin_log.h"

namespace {

namespace fs = std::filesystem;
using namespace cs;

constexpr int kFrameMs = 40;
constexpr int kLatestShotMs = 500;
constexpr int kMaxNumberedShots = 500;

volatile sig_atomic_t g_stop = 0;
void OnSignal(int) { g_stop = 1; }

struct Options {
  std::string namefile;
  std::string screenshotDir;
  std::string logFile;
  int playMs = 20000;
  int maxSeconds = 0;
  int dibBits = 32;
  bool topDown = false;
  bool makeCheckFiles = false;
  std::string checkDir;
  int startUpTime = 4;
};

int Usage() {
  std::fprintf(stderr,
               "usage: coinshell-standin [emulator options] [--screenshot-dir DIR] [--log FILE]\n"
               "                         [--play-ms N] [--max-seconds N] [--dib-bits 16|24|32]\n"
               "                         [--top-down] NAMEFILE\n"
               "       coinshell-standin --make-check-files NAMEFILE DIR [--startup-time S]\n");
  return 2;
}

std::optional<int> Number(const char* s) {
  if (s == nullptr || *s == '\0') return std::nullopt;
  char* end = nullptr;
  const long v = std::strtol(s, &end, 10);
  if (*end != '\0' || v < 0 || v > 100000000) return std::nullopt;
  return static_cast<int>(v);
}

bool ParseOptions(int argc, char** argv, Options* o) {
  if (const char* e = std::getenv("COINSHELL_STANDIN_SCREENSHOTS")) o->screenshotDir = e;
  if (const char* e = std::getenv("COINSHELL_STANDIN_LOG")) o->logFile = e;
  if (auto v = Number(std::getenv("COINSHELL_STANDIN_PLAY_MS"))) o->playMs = *v;
  if (auto v = Number(std::getenv("COINSHELL_STANDIN_MAX_SECONDS"))) o->maxSeconds = *v;
  if (auto v = Number(std::getenv("COINSHELL_STANDIN_DIB_BITS"))) o->dibBits = *v;
  if (const char* e = std::getenv("COINSHELL_STANDIN_TOP_DOWN"))
    o->topDown = std::strcmp(e, "1") == 0;
  std::vector<std::string> words;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    const bool hasValue = i + 1 < argc;
    auto value = [&]() -> const char* { return hasValue ? argv[++i] : nullptr; };
    if (a == "--screenshot-dir" && hasValue) {
      o->screenshotDir = value();
    } else if (a == "--log" && hasValue) {
      o->logFile = value();
    } else if (a == "--play-ms" || a == "--max-seconds" || a == "--dib-bits" ||
               a == "--startup-time") {
      const auto v = Number(value());
      if (!v) return false;
      (a == "--play-ms"       ? o->playMs
       : a == "--max-seconds" ? o->maxSeconds
       : a == "--dib-bits"    ? o->dibBits
                              : o->startUpTime) = *v;
    } else if (a == "--top-down") {
      o->topDown = true;
    } else if (a == "--make-check-files") {
      o->makeCheckFiles = true;
    } else if (a == "--help" || a == "-h") {
      return false;
    } else if (a == "-sr" || a == "-resolution") {
      value();  // emulator options with a value
    } else if (!a.empty() && a[0] == '-') {
      // Another emulator option: accepted, ignored.
    } else {
      words.push_back(a);
    }
  }
  if (o->dibBits != 16 && o->dibBits != 24 && o->dibBits != 32) return false;
  if (o->makeCheckFiles) {
    if (words.size() != 2) return false;
    o->namefile = words[0];
    o->checkDir = words[1];
    return true;
  }
  if (words.empty()) return false;
  o->namefile = words.back();
  return true;
}

// The JSON-lines log, one write per line (O_APPEND), so a killed stand-in leaves whole lines.
class RecordLog {
 public:
  explicit RecordLog(const std::string& file) {
    if (file.empty()) return;
    fd_ = ::open(file.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (fd_ < 0) std::fprintf(stderr, "coinshell-standin: cannot write %s\n", file.c_str());
  }
  ~RecordLog() {
    if (fd_ >= 0) ::close(fd_);
  }
  void Line(std::string line) {
    if (fd_ < 0) return;
    line += '\n';
    [[maybe_unused]] const ssize_t n = ::write(fd_, line.data(), line.size());
  }

 private:
  int fd_ = -1;
};

void SavePng(const QImage& img, const fs::path& file) {
  const QImage big =
      img.scaled(img.width() * 2, img.height() * 2, Qt::IgnoreAspectRatio, Qt::FastTransformation);
  const fs::path tmp = file.string() + ".tmp";
  if (big.save(QString::fromStdString(tmp.string()), "PNG")) {
    std::error_code ec;
    fs::rename(tmp, file, ec);
  }
}

int RunGame(const Options& o) {
  if (!IsSafeNameFile(o.namefile)) {
    std::fprintf(stderr, "coinshell-standin: \"%s\" is not a game's short name\n",
                 o.namefile.c_str());
    return 2;
  }
  const char* ipcEnv = std::getenv("COINSHELL_IPC");
  if (ipcEnv == nullptr || *ipcEnv == '\0') {
    std::fprintf(stderr, "coinshell-standin: COINSHELL_IPC is not set\n");
    return 2;
  }
  const fs::path ipc = ipcEnv;
  const fs::path window = ipc / "TDbgFrm";
  RecordLog log(o.logFile);

  struct Slot {
    std::string_view name;
    MailslotServer server;
  };
  Slot slots[3] = {{kKeySlotName, {}}, {kCheckSlotName, {}}, {kDlgSlotName, {}}};
  for (Slot& s : slots) {
    if (!s.server.Bind(MailslotPath(ipc, s.name))) {
      std::fprintf(stderr, "coinshell-standin: cannot bind %s (another emulator running?)\n",
                   MailslotPath(ipc, s.name).c_str());
      return 1;
    }
  }

  struct sigaction sa {};
  sa.sa_handler = OnSignal;
  ::sigaction(SIGTERM, &sa, nullptr);
  ::sigaction(SIGINT, &sa, nullptr);
  ::signal(SIGPIPE, SIG_IGN);

  const auto t0 = std::chrono::steady_clock::now();
  const auto now = [&] {
    return static_cast<std::int64_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0)
            .count());
  };
  {
    std::string line = "{\"ms\":0,\"started\":" + standin::JsonString(o.namefile) +
                       ",\"cwd\":" + standin::JsonString(fs::current_path().string()) + "}";
    log.Line(line);
  }

  standin::Timing timing;
  timing.playMs = o.playMs;
  standin::Game game(o.namefile, timing, now());

  const std::string shmName = SharedFrameName();
  std::unique_ptr<SharedMemoryBlock> frame;
  std::unique_ptr<NamedSemaphore> mutex;
  std::int64_t nextShmTry = 0;
  const DibHeader header = BlockHeader(o.dibBits, o.topDown);
  const auto headerBytes = EncodeDibHeader(header);

  std::int64_t nextFrame = 0, nextLatest = 0;
  int frameNo = 0, shots = 0;
  std::string shownState;
  const fs::path shotDir = o.screenshotDir;
  if (!shotDir.empty()) fs::create_directories(shotDir);

  std::vector<std::uint8_t> buf(4096);
  const auto flushPosted = [&] {
    for (const Message& m : game.TakePosted()) {
      const bool ok = PostWindowMessage(window, m);
      log.Line(standin::PostedLine(now(), m, ok));
    }
  };
  const auto drawFrame = [&](bool force) {
    QImage picture = game.RenderGame(frameNo++);
    if (!frame && now() >= nextShmTry) {
      frame = SharedMemoryBlock::Open(shmName, kSharedFrameSize);
      if (frame) mutex = NamedSemaphore::Open(SharedFrameMutexName(shmName));
      nextShmTry = now() + 1000;
    }
    if (frame && game.HasRegions()) {
      const bool locked = mutex && mutex->TryLock();
      const auto blocks = game.Blocks(picture);
      std::uint8_t* d = frame->Data();
      const auto counter = EncodeKeyRecord(static_cast<std::uint32_t>(frameNo));
      std::memcpy(d, counter.data(), counter.size());
      std::memcpy(d + kDibHeaderOffset, headerBytes.data(), headerBytes.size());
      for (int i = 0; i < kBlockCount; ++i) {
        const auto b = EncodeDibBlock(header, blocks[static_cast<std::size_t>(i)]);
        std::memcpy(d + BlockOffset(i), b.data(), b.size());
      }
      if (locked) mutex->Unlock();
    }
    game.DrawMessages(picture);
    if (shotDir.empty()) return;
    const std::string state = game.VisibleState();
    if (state != shownState && shots < kMaxNumberedShots) {
      shownState = state;
      char name[64];
      std::snprintf(name, sizeof name, "%04d-", ++shots);
      SavePng(picture,
              shotDir / (name + o.namefile + "-" + standin::StageName(game.stage()) + ".png"));
    }
    if (now() >= nextLatest || force) {
      SavePng(picture, shotDir / "latest.png");
      nextLatest = now() + kLatestShotMs;
    }
  };

  while (!game.Ended()) {
    pollfd fds[3];
    for (int i = 0; i < 3; ++i) fds[i] = {slots[i].server.Fd(), POLLIN, 0};
    const int wait = static_cast<int>(std::max<std::int64_t>(0, nextFrame - now()));
    ::poll(fds, 3, wait);
    for (Slot& s : slots) {
      while (auto r = s.server.Receive(buf.data(), buf.size(), 0)) {
        const std::size_t n = std::min(r->length, buf.size());
        const std::span<const std::uint8_t> bytes(buf.data(), n);
        log.Line(standin::RecordLine(now(), s.name, bytes, r->truncated));
        if (r->truncated) continue;
        if (s.name == kKeySlotName && n == kKeyRecordSize) {
          game.OnKeyMask(DecodeKeyRecord(bytes.first<kKeyRecordSize>()), now());
        } else if (s.name == kCheckSlotName && n == CheckRecord::kSize) {
          game.OnCheckRecord(CheckRecord::Decode(bytes.first<CheckRecord::kSize>()));
        } else if (s.name == kDlgSlotName && n == DlgRecord::kSize) {
          game.OnDlgRecord(DlgRecord::Decode(bytes.first<DlgRecord::kSize>()));
        }
      }
    }
    if (g_stop || (o.maxSeconds > 0 && now() >= static_cast<std::int64_t>(o.maxSeconds) * 1000)) {
      game.End();
    }
    game.Advance(now());
    flushPosted();
    if (now() >= nextFrame) {
      drawFrame(false);
      nextFrame = now() + kFrameMs;
    }
  }
  drawFrame(true);
  flushPosted();
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  if (!ParseOptions(argc, argv, &o)) return Usage();
  if (o.makeCheckFiles) {
    if (!IsSafeNameFile(o.namefile)) {
      std::fprintf(stderr, "coinshell-standin: \"%s\" is not a game's short name\n",
                   o.namefile.c_str());
      return 2;
    }
    std::string error;
    if (!standin::MakeCheckFiles(o.namefile, o.checkDir, o.startUpTime, &error)) {
      std::fprintf(stderr, "coinshell-standin: %s\n", error.c_str());
      return 1;
    }
    return 0;
  }
  // Fonts need the GUI application; the stand-in never shows a window.
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  int qargc = 1;
  QGuiApplication app(qargc, argv);
  return RunGame(o);
}
