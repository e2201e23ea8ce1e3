// coinshell-skin: the skin designer's tool.
//   render: loads a skin, applies events and texts in command-line order on virtual time, lets
//           every script finish and writes the canvas as PNG;
//   show:   opens the skin in a window driven by the pointer.
#include <QApplication>
#include <QGuiApplication>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "platform/qt_event_loop.h"
#include "platform/virtual_event_loop.h"
#include "skin/skin_engine.h"
#include "skin/skin_view.h"

namespace {

constexpr const char* kUsage =
    "usage: coinshell-skin render --skin FILE --out PNG [--hover OBJ]... [--leave OBJ]...\n"
    "                             [--click OBJ]... [--right-click OBJ]... [--text OBJ=TEXT]...\n"
    "                             [--text-disabled OBJ]... [--text-enabled OBJ]... [--wait MS]...\n"
    "                             [--no-settle]\n"
    "       coinshell-skin show --skin FILE\n"
    "render applies the options in order, lets every script finish and writes the canvas.\n"
    "--text and --text-disabled/--text-enabled redraw the object; --wait advances time by MS;\n"
    "--no-settle writes the canvas as it is after the options (with --wait: a fade half-way).\n";

// Longest virtual time render waits for scripts to end (a handler loop would never end).
constexpr std::int64_t kMaxSettleMs = 10 * 60 * 1000;

enum class Op { kHover, kLeave, kClick, kRightClick, kText, kTextDisabled, kTextEnabled, kWait };

struct Step {
  Op op;
  std::string object;
  std::string text;
  int wait_ms = 0;
};

int Usage(const std::string& problem) {
  if (!problem.empty()) std::cerr << "coinshell-skin: " << problem << "\n";
  std::cerr << kUsage;
  return 2;
}

// No display: the offscreen platform, unless the caller chose one.
void ChoosePlatform(bool needsDisplay) {
  if (std::getenv("QT_QPA_PLATFORM") != nullptr) return;
  if (!needsDisplay ||
      (std::getenv("DISPLAY") == nullptr && std::getenv("WAYLAND_DISPLAY") == nullptr)) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
  }
}

void PrintAction(int n) {
  std::printf("action %d\n", n);
  std::fflush(stdout);
}

int Render(int argc, char** argv, const std::string& skin, const std::string& out,
           const std::vector<Step>& steps, bool settle) {
  ChoosePlatform(false);
  QGuiApplication app(argc, argv);
  cs::VirtualEventLoop loop;
  cs::SkinEngine engine(loop);
  engine.OnCustomAction = PrintAction;
  if (!engine.Load(skin)) {
    std::cerr << "coinshell-skin: " << engine.LastError() << "\n";
    return 1;
  }
  for (const Step& s : steps) {
    if (s.op == Op::kWait) {
      loop.Advance(s.wait_ms);
      continue;
    }
    cs::SkinObject* o = engine.FindObject(engine.RootObject(), s.object);
    if (o == nullptr) return Usage("the skin has no object named " + s.object);
    switch (s.op) {
      case Op::kHover:
        engine.RunHoverEvent(o, true);
        break;
      case Op::kLeave:
        engine.RunLeaveEvent(o, true);
        break;
      case Op::kClick:
        engine.RunClickEvent(o, true);
        break;
      case Op::kRightClick:
        engine.RunRightClickEvent(o, true);
        break;
      case Op::kText:
        o->SetText(s.text);
        engine.RepaintObject(o);
        break;
      case Op::kTextDisabled:
      case Op::kTextEnabled:
        o->SetTextEnabled(s.op == Op::kTextEnabled);
        engine.RepaintObject(o);
        break;
      case Op::kWait:
        break;
    }
  }
  const std::int64_t limit = loop.NowMs() + kMaxSettleMs;
  while (settle && engine.ScriptsRunning() && loop.NowMs() < limit) loop.Advance(cs::kSkinTickMs);
  if (settle && engine.ScriptsRunning())
    std::cerr << "coinshell-skin: scripts still running after 10 minutes\n";
  if (!engine.Canvas()
           .convertToFormat(QImage::Format_RGB32)
           .save(QString::fromStdString(out), "PNG")) {
    std::cerr << "coinshell-skin: cannot write " << out << "\n";
    return 1;
  }
  return 0;
}

int Show(int argc, char** argv, const std::string& skin) {
  ChoosePlatform(true);
  QApplication app(argc, argv);
  if (QGuiApplication::platformName() == "offscreen") {
    std::cerr << "coinshell-skin: no display: the window is offscreen\n";
  }
  cs::QtEventLoop loop;
  cs::SkinEngine engine(loop);
  engine.OnCustomAction = PrintAction;
  if (!engine.Load(skin)) {
    std::cerr << "coinshell-skin: " << engine.LastError() << "\n";
    return 1;
  }
  cs::SkinView view(engine);
  view.setWindowTitle(QString::fromStdString("coinshell-skin: " + skin));
  view.resize(cs::kCanvasWidth, cs::kCanvasHeight);
  view.show();
  return QApplication::exec();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage("");
  const std::string command = argv[1];
  if (command != "render" && command != "show") return Usage("unknown command " + command);
  std::string skin, out;
  std::vector<Step> steps;
  bool settle = true;
  for (int i = 2; i < argc; ++i) {
    const std::string opt = argv[i];
    if (opt == "--no-settle" && command == "render") {
      settle = false;
      continue;
    }
    if (i + 1 >= argc) return Usage(opt + " needs a value");
    const std::string value = argv[++i];
    if (opt == "--skin") {
      skin = value;
      continue;
    }
    if (command == "show") return Usage("show takes only --skin");
    if (opt == "--out") {
      out = value;
    } else if (opt == "--hover") {
      steps.push_back({Op::kHover, value});
    } else if (opt == "--leave") {
      steps.push_back({Op::kLeave, value});
    } else if (opt == "--click") {
      steps.push_back({Op::kClick, value});
    } else if (opt == "--right-click") {
      steps.push_back({Op::kRightClick, value});
    } else if (opt == "--text-disabled") {
      steps.push_back({Op::kTextDisabled, value});
    } else if (opt == "--text-enabled") {
      steps.push_back({Op::kTextEnabled, value});
    } else if (opt == "--text") {
      const std::size_t eq = value.find('=');
      if (eq == std::string::npos || eq == 0) return Usage("--text expects OBJ=TEXT");
      steps.push_back({Op::kText, value.substr(0, eq), value.substr(eq + 1)});
    } else if (opt == "--wait") {
      char* end = nullptr;
      const long ms = std::strtol(value.c_str(), &end, 10);
      if (value.empty() || *end != '\0' || ms < 0 || ms > kMaxSettleMs) {
        return Usage("--wait expects milliseconds from 0 to 600000");
      }
      steps.push_back({Op::kWait, {}, {}, static_cast<int>(ms)});
    } else {
      return Usage("unknown option " + opt);
    }
  }
  if (skin.empty()) return Usage("--skin is required");
  if (command == "show") return Show(argc, argv, skin);
  if (out.empty()) return Usage("--out is required");
  return Render(argc, argv, skin, out, steps, settle);
}
