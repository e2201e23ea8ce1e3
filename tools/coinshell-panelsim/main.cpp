// coinshell-panelsim: the cabinet's panel controller on a pseudo-terminal.
//
//   coinshell-panelsim --root DIR [--script FILE] [--rate N] [--exit-at-end] [--[no-]window]
//
// Creates a pseudo-terminal, links its slave as <root>/dosdevices/com2 (where the shell opens
// COM2) and plays the controller: frames of the switch state at the line's pace, repeated while
// nothing changes. Switches come from the keys typed on this terminal, or from commands (a
// --script file, or stdin when stdin is not a terminal) and from the panel window, shown when a
// display exists. docs/panel.md has the commands, the
// keys and the wiring chart.
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <QApplication>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "panel/frame_cutter.h"
#include "panel/panel_bits.h"
#include "panel_keys.h"
#include "panel_line.h"
#include "panel_window.h"
#include "panelsim_script.h"
#include "platform/drive_map.h"

namespace fs = std::filesystem;
using namespace cs;
using namespace cs::panelsim;

namespace {

volatile sig_atomic_t g_stop = 0;
void OnSignal(int) { g_stop = 1; }

std::int64_t NowNs() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return std::int64_t{ts.tv_sec} * 1'000'000'000 + ts.tv_nsec;
}

int Usage() {
  std::fprintf(stderr,
               "usage: coinshell-panelsim --root DIR [--script FILE] [--rate N] [--exit-at-end]\n"
               "                          [--window | --no-window]\n"
               "  --root DIR     cabinet root; the pty is linked as DIR/dosdevices/com2\n"
               "  --script FILE  play the commands of FILE (else stdin: keys on a terminal,\n"
               "                 commands otherwise)\n"
               "  --rate N       idle frames per second, 0 = only on change (default 10)\n"
               "  --exit-at-end  end when the commands are done and the line is quiet\n"
               "  --window       show the panel window (default when a display exists)\n"
               "  --no-window    never show it\n");
  return 2;
}

constexpr std::int64_t kKeyHoldNs = 200'000'000;  // a typed key holds its switch this long

void PrintKeyChart() {
  std::printf(
      "panel keys (a key holds its switch for 0.2 s; an upper-case letter latches it, '.' "
      "releases all latched; Ctrl-C or Ctrl-D ends):\n"
      "  arrows  P1 up/down/left/right     Esc or x  exit\n");
  int col = 0;
  for (const KeyBinding& k : kKeys) {
    if (std::string_view(k.name) == "EXIT") continue;
    std::printf("  %-5s %-11s", k.key == ' ' ? "space" : std::string(1, k.key).c_str(), k.name);
    if (++col % 4 == 0) std::printf("\n");
  }
  std::printf("\n");
  std::fflush(stdout);
}

std::string PressedNames(std::uint32_t pressed) {
  std::string s;
  for (int i = 0; i < 32; ++i) {
    if ((pressed >> i & 1u) == 0) continue;
    const std::string_view n = kPanelSwitches[i].name;
    s += ' ';
    s += n.empty() ? "BIT" + std::to_string(i) : std::string(n);
  }
  return s.empty() ? " (none)" : s;
}

class TerminalPanel {
 public:
  bool Enter() {
    if (tcgetattr(STDIN_FILENO, &saved_) != 0) return false;
    termios t = saved_;
    t.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | ISIG);
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    if (tcsetattr(STDIN_FILENO, TCSANOW, &t) != 0) return false;
    active_ = true;
    return true;
  }
  ~TerminalPanel() {
    if (active_) {
      tcsetattr(STDIN_FILENO, TCSANOW, &saved_);
      std::printf("\n");
    }
  }
  // Handles typed bytes; false when the user ends the simulator.
  bool Feed(const char* buf, std::size_t n, std::int64_t now) {
    for (std::size_t i = 0; i < n; ++i) {
      const char c = buf[i];
      if (c == 3 || c == 4) return false;
      if (c == 0x1B) {
        if (i + 2 < n && (buf[i + 1] == '[' || buf[i + 1] == 'O')) {
          const char a = buf[i + 2];
          i += 2;
          const char* name = a == 'A'   ? "P1_UP"
                             : a == 'B' ? "P1_DOWN"
                             : a == 'C' ? "P1_RIGHT"
                             : a == 'D' ? "P1_LEFT"
                                        : nullptr;
          if (name) Tap(*PanelBitByName(name), now);
          continue;
        }
        Tap(*PanelBitByName("EXIT"), now);
        continue;
      }
      if (c == '.') {
        latched_ = 0;
        continue;
      }
      const bool upper = c >= 'A' && c <= 'Z';
      const char lower = upper ? static_cast<char>(c - 'A' + 'a') : c;
      for (const KeyBinding& k : kKeys) {
        if (k.key != lower) continue;
        const int bit = *PanelBitByName(k.name);
        if (upper) {
          latched_ ^= 1u << bit;
        } else {
          Tap(bit, now);
        }
      }
    }
    return true;
  }
  // Releases the taps whose time is over; returns the next release time.
  std::int64_t Expire(std::int64_t now) {
    std::int64_t next = kNever;
    for (int b = 0; b < 32; ++b) {
      if (until_[b] == 0) continue;
      if (until_[b] <= now) {
        until_[b] = 0;
        tapped_ &= ~(1u << b);
      } else {
        next = std::min(next, until_[b]);
      }
    }
    return next;
  }
  std::uint32_t Pressed() const { return latched_ | tapped_; }

 private:
  void Tap(int bit, std::int64_t now) {
    tapped_ |= 1u << bit;
    until_[bit] = now + kKeyHoldNs;  // a key's auto-repeat keeps extending it
  }
  termios saved_{};
  bool active_ = false;
  std::uint32_t latched_ = 0, tapped_ = 0;
  std::int64_t until_[32] = {};
};

// Commands arriving on stdin, a line at a time.
class CommandReader {
 public:
  // False at end of input.
  bool Feed(const char* buf, std::size_t n, ScriptPlayer* player) {
    pending_.append(buf, n);
    std::size_t nl;
    while ((nl = pending_.find('\n')) != std::string::npos) {
      Line(pending_.substr(0, nl), player);
      pending_.erase(0, nl + 1);
    }
    if (pending_.size() > kMaxLineLength) {
      std::fprintf(stderr, "coinshell-panelsim: line %d: line too long\n", ++line_);
      pending_.clear();
    }
    return true;
  }
  void End(ScriptPlayer* player) {
    if (!pending_.empty()) Line(pending_, player);
    pending_.clear();
  }

 private:
  void Line(const std::string& text, ScriptPlayer* player) {
    std::vector<Command> cmds;
    std::string error;
    if (ParseLine(text, ++line_, &cmds, &error)) {
      player->Append(std::move(cmds));
    } else {
      std::fprintf(stderr, "coinshell-panelsim: %s\n", error.c_str());
    }
  }
  std::string pending_;
  int line_ = 0;
};

// Links the pty slave as com2, replacing only an earlier link.
std::optional<fs::path> LinkCom2(const fs::path& root, const std::string& slave) {
  std::error_code ec;
  const fs::path dir = root / "dosdevices";
  fs::create_directories(dir, ec);
  if (ec) {
    std::fprintf(stderr, "coinshell-panelsim: cannot create %s: %s\n", dir.c_str(),
                 ec.message().c_str());
    return std::nullopt;
  }
  const fs::path link = MatchCaseInsensitive(dir, "com2");
  const auto st = fs::symlink_status(link, ec);
  if (fs::exists(st) && !fs::is_symlink(st)) {
    std::fprintf(stderr, "coinshell-panelsim: %s exists and is not a link; left alone\n",
                 link.c_str());
    return std::nullopt;
  }
  const fs::path tmp = dir / (".com2.panelsim." + std::to_string(getpid()));
  fs::remove(tmp, ec);
  fs::create_symlink(slave, tmp, ec);
  if (!ec) fs::rename(tmp, link, ec);
  if (ec) {
    fs::remove(tmp);
    std::fprintf(stderr, "coinshell-panelsim: cannot link %s: %s\n", link.c_str(),
                 ec.message().c_str());
    return std::nullopt;
  }
  return link;
}

// Somebody has the slave open (a shell reading COM2). With nobody there, bytes are not written:
// on a real line they would be lost, and a pty would keep them for the next reader.
bool Listener(int master) {
  pollfd p{master, POLLOUT, 0};
  return poll(&p, 1, 0) >= 0 && (p.revents & POLLHUP) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::optional<fs::path> root, scriptFile;
  int rate = 10;
  bool exitAtEnd = false;
  std::optional<bool> windowWanted;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--root" && i + 1 < argc) {
      root = argv[++i];
    } else if (a == "--script" && i + 1 < argc) {
      scriptFile = argv[++i];
    } else if (a == "--rate" && i + 1 < argc) {
      std::vector<Command> c;
      std::string error;
      if (!ParseLine(std::string("rate ") + argv[++i], 0, &c, &error) || c.size() != 1) {
        std::fprintf(stderr, "coinshell-panelsim: --rate takes 0 to %d\n", kMaxRate);
        return 2;
      }
      rate = c[0].ms;
    } else if (a == "--exit-at-end") {
      exitAtEnd = true;
    } else if (a == "--window") {
      windowWanted = true;
    } else if (a == "--no-window") {
      windowWanted = false;
    } else {
      return Usage();
    }
  }
  if (!root) return Usage();

  ScriptPlayer player;
  if (scriptFile) {
    std::ifstream in(*scriptFile, std::ios::binary);
    if (!in) {
      std::fprintf(stderr, "coinshell-panelsim: cannot read %s\n", scriptFile->c_str());
      return 1;
    }
    std::ostringstream text;
    text << in.rdbuf();
    Script s = ParseScript(text.str());
    if (!s.error.empty()) {
      std::fprintf(stderr, "coinshell-panelsim: %s: %s\n", scriptFile->c_str(), s.error.c_str());
      return 2;
    }
    player.Append(std::move(s.commands));
  }

  // The window comes up where somebody can see it: a display, and not a platform that draws into
  // memory (the tests' and the demo's offscreen sessions), unless --window asks for it.
  const auto env = [](const char* n) { return std::getenv(n) && *std::getenv(n); };
  const char* qpa = std::getenv("QT_QPA_PLATFORM");
  const bool invisible = qpa && (std::string_view(qpa).starts_with("offscreen") ||
                                 std::string_view(qpa).starts_with("minimal"));
  const bool useWindow =
      windowWanted.value_or((env("DISPLAY") || env("WAYLAND_DISPLAY")) && !invisible);
  std::unique_ptr<QApplication> app;
  std::unique_ptr<PanelWindow> window;
  if (useWindow) {
    app = std::make_unique<QApplication>(argc, argv);
    window = std::make_unique<PanelWindow>();
    window->resize(window->sizeHint());
    window->show();
  }

  int master = -1, slave = -1;
  char slaveName[256];
  if (openpty(&master, &slave, slaveName, nullptr, nullptr) != 0) {
    std::fprintf(stderr, "coinshell-panelsim: openpty: %s\n", std::strerror(errno));
    return 1;
  }
  // Raw from the start, so nothing is echoed or edited before the shell configures the port.
  termios t;
  if (tcgetattr(slave, &t) == 0) {
    cfmakeraw(&t);
    cfsetispeed(&t, B19200);
    cfsetospeed(&t, B19200);
    tcsetattr(slave, TCSANOW, &t);
  }
  close(slave);
  fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
  const auto link = LinkCom2(*root, slaveName);
  if (!link) return 1;

  struct sigaction sa {};
  sa.sa_handler = OnSignal;
  sigemptyset(&sa.sa_mask);
  sigaction(SIGINT, &sa, nullptr);
  sigaction(SIGTERM, &sa, nullptr);
  sigaction(SIGHUP, &sa, nullptr);
  signal(SIGPIPE, SIG_IGN);

  const bool interactive = !scriptFile && isatty(STDIN_FILENO);
  const bool readStdin = !scriptFile;
  std::printf("coinshell-panelsim: %s -> %s\n", link->c_str(), slaveName);
  std::fflush(stdout);

  TerminalPanel terminal;
  if (interactive) {
    if (!terminal.Enter()) {
      std::fprintf(stderr, "coinshell-panelsim: cannot set up the terminal\n");
      return 1;
    }
    PrintKeyChart();
  }
  CommandReader commands;
  bool stdinOpen = readStdin;
  PanelLine line(rate, NowNs());
  std::uint64_t lost = 0;
  // What went onto the line, cut into frames as a receiver cuts them (raw bytes included), for
  // the closing line that a receiver's own counts can be held against.
  std::uint64_t bytesSent = 0, framesSent = 0;
  FrameCutter wire;
  std::uint32_t shown = ~0u;
  std::vector<std::uint8_t> out;
  int code = 0;

  // Commands play from the moment the shell first opens the port, so that a script's first press
  // does not go to nobody.
  bool everListened = false;
  std::uint32_t windowPressed = 0;
  while (!g_stop) {
    if (window) {
      app->processEvents();
      if (window->Closed()) break;
    }
    const std::int64_t now = NowNs();
    everListened = everListened || Listener(master);
    std::int64_t wake = everListened ? player.Run(now, &line) : kNever;
    if (player.QuitRequested()) break;
    if (interactive) {
      wake = std::min(wake, terminal.Expire(now));
      line.SetPressed(terminal.Pressed() | (window ? window->Pressed() : 0u), now);
      if (line.Pressed() != shown) {
        shown = line.Pressed();
        std::printf("\r\033[Kpressed:%s", PressedNames(shown).c_str());
        std::fflush(stdout);
      }
    }
    if (window) {
      if (!interactive && window->Pressed() != windowPressed) {
        line.SetPressed(ApplyWindowChange(line.Pressed(), windowPressed, window->Pressed()), now);
      }
      windowPressed = window->Pressed();
      window->SetLinePressed(line.Pressed());
    }
    out.clear();
    wake = std::min(wake, line.Take(now, &out));
    if (!out.empty() && Listener(master)) {
      const ssize_t n = write(master, out.data(), out.size());
      for (ssize_t i = 0; i < n; ++i) {
        if (wire.Feed(out[static_cast<std::size_t>(i)])) ++framesSent;
      }
      if (n > 0) bytesSent += static_cast<std::uint64_t>(n);
      if (n < static_cast<ssize_t>(out.size())) {
        // The receiver's buffer is full (a reader that stopped reading): like a real receiver
        // that overflows, the bytes are lost.
        if (lost == 0) std::fprintf(stderr, "coinshell-panelsim: receiver full, bytes lost\n");
        lost += out.size() - static_cast<std::size_t>(n < 0 ? 0 : n);
      }
    }
    if (exitAtEnd && !stdinOpen && player.Done() && line.Drained()) break;

    pollfd p[2];
    nfds_t np = 0;
    if (stdinOpen) p[np++] = {STDIN_FILENO, POLLIN, 0};
    const bool listening = Listener(master);
    if (listening) p[np++] = {master, POLLIN, 0};  // nothing should come back; drain it
    std::int64_t waitNs = wake == kNever ? 1'000'000'000 : wake - NowNs();
    if (!listening) waitNs = std::min<std::int64_t>(waitNs, 50'000'000);  // look again soon
    // The window's events are taken between waits: clicks reach the line within 10 ms, and the
    // bytes keep their own times.
    if (window) waitNs = std::min<std::int64_t>(waitNs, 10'000'000);
    if (waitNs < 0) waitNs = 0;
    const timespec ts{static_cast<time_t>(waitNs / 1'000'000'000),
                      static_cast<long>(waitNs % 1'000'000'000)};
    if (ppoll(p, np, &ts, nullptr) < 0) {
      if (errno == EINTR) continue;
      std::fprintf(stderr, "coinshell-panelsim: poll: %s\n", std::strerror(errno));
      code = 1;
      break;
    }
    for (nfds_t i = 0; i < np; ++i) {
      if (p[i].revents == 0) continue;
      char buf[4096];
      const ssize_t n = read(p[i].fd, buf, sizeof buf);
      if (p[i].fd == master) continue;
      if (n <= 0) {
        if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
        stdinOpen = false;
        commands.End(&player);
        continue;
      }
      if (interactive) {
        if (!terminal.Feed(buf, static_cast<std::size_t>(n), NowNs())) g_stop = 1;
      } else {
        commands.Feed(buf, static_cast<std::size_t>(n), &player);
      }
    }
  }

  // Remove the link if it is still ours.
  std::error_code ec;
  if (fs::read_symlink(*link, ec) == fs::path(slaveName)) fs::remove(*link, ec);
  close(master);
  if (interactive) std::printf("\r\033[K");  // over the pressed-switches line
  std::printf("coinshell-panelsim: sent %llu frames (%llu bytes), %llu bytes lost\n",
              static_cast<unsigned long long>(framesSent),
              static_cast<unsigned long long>(bytesSent), static_cast<unsigned long long>(lost));
  std::fflush(stdout);
  return code;
}
