// coinshell: the cabinet's shell. One composition root: the platform, the main window, the
// control channel and the widget are built and connected here and nowhere else.
//
//   coinshell --root DIR [--windowed] [--skins DIR] [--tvout=off|hardware|simulated:CARD]
//   (the root also from $COINSHELL_ROOT)
#include <QApplication>
#include <QMessageBox>
#include <QScreen>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "app/screen_widget.h"
#include "frontend/game_list_window.h"
#include "frontend/main_window.h"
#include "gamelink/check_window.h"
#include "operator/operator_screens.h"
#include "platform/control_socket.h"
#include "platform/drive_map.h"
#include "platform/instance_lock.h"
#include "platform/log.h"
#include "platform/qt_event_loop.h"
#include "platform/window_endpoint.h"
#include "tvout/tvout_factory.h"
#include "tvout/tvout_window.h"

namespace fs = std::filesystem;

namespace {

int Usage() {
  std::fprintf(stderr,
               "usage: coinshell --root DIR [--windowed] [--skins DIR] "
               "[--tvout=off|hardware|simulated:CARD]\n");
  return 2;
}

fs::path FindSkins(const std::string& given) {
  if (!given.empty()) return given;
  if (const char* env = std::getenv("COINSHELL_SKINS")) return env;
  std::error_code ec;
  const fs::path exe = fs::canonical("/proc/self/exe", ec);
  const fs::path installed = exe.parent_path().parent_path() / "share/coinshell/skins";
  if (!ec && fs::exists(installed / "menu/menu.ini")) return installed;
  return COINSHELL_BUILD_SKINS_DIR;
}

}  // namespace

int main(int argc, char** argv) {
  std::string root, skins, tvoutOption;
  bool windowed = false;
  if (const char* env = std::getenv("COINSHELL_ROOT")) root = env;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--root" && i + 1 < argc) {
      root = argv[++i];
    } else if (a == "--skins" && i + 1 < argc) {
      skins = argv[++i];
    } else if (a == "--windowed") {
      windowed = true;
    } else if (a.rfind("--tvout=", 0) == 0) {
      tvoutOption = a.substr(8);
    } else {
      return Usage();
    }
  }
  if (root.empty()) return Usage();
  std::string tvoutError;
  const auto tvoutChoice = cs::tvout::ParseTvOutOption(tvoutOption, &tvoutError);
  if (!tvoutChoice) {
    std::fprintf(stderr, "coinshell: --tvout: %s\n", tvoutError.c_str());
    return 2;
  }

  // Without a display a Qt program aborts; the cabinet then runs offscreen and says so.
  const bool offscreen =
      !std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY") && !std::getenv("QT_QPA_PLATFORM");
  if (offscreen) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    cs::LogDiag("app", "no display: running offscreen (use coinshell-ctl screenshot to look)");
  }

  const cs::DriveMap map{fs::absolute(root)};
  if (!map.CreateSkeleton()) {
    std::fprintf(stderr, "coinshell: cannot prepare the cabinet root %s\n", root.c_str());
    return 1;
  }
  cs::InstanceLock lock(map.IpcDir() / "coinshell.lock");
  if (!lock.Held()) {
    std::fprintf(stderr, "coinshell: another coinshell is already running on %s\n",
                 map.Root().c_str());
    return 1;
  }

  QApplication app(argc, argv);
  cs::SetMessageBoxHandler([](const std::string& text) {
    auto* box = new QMessageBox(QMessageBox::Warning, QStringLiteral("coinshell"),
                                QString::fromStdString(text));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowFlag(Qt::WindowStaysOnTopHint);
    box->show();  // never blocks the loop
  });

  cs::QtEventLoop loop;
  cs::MainWindowConfig config;
  config.map = map;
  config.skinIni = FindSkins(skins) / "menu/menu.ini";
  config.tvout = *tvoutChoice;
  cs::ScreenWidget* viewRef = nullptr;
  // Application.Terminate: the program closes the way the system closes it.
  config.terminate = [&loop, &viewRef] {
    loop.Post([&viewRef] {
      if (viewRef) viewRef->close();
    });
  };
  cs::TDbgFrm frm(loop, config);
  cs::ScreenWidget view(frm);
  viewRef = &view;
  frm.OnScreenChanged = [&view](const QRect& area) { view.Invalidate(area); };
  // exit(), not quit(): quit() first asks every window to close, and the TV-out window refuses
  // (it hides instead), which would cancel the shutdown.
  frm.OnClosed = [] { QCoreApplication::exit(0); };

  std::unique_ptr<cs::CheckWindow> checkWindow;  // made after the main window's creation
  std::unique_ptr<cs::TFrmGameList> gameList;
  cs::ControlServer control(loop, map.IpcDir() / "control", [&](const std::string& req) {
    if (req == "status") {
      std::vector<std::string> visible;
      if (frm.Visible()) visible.push_back(frm.ClassName());
      if (frm.Operators) {
        for (const auto& name : frm.Operators->VisibleScreens()) visible.push_back(name);
      }
      if (checkWindow && checkWindow->Visible()) visible.push_back("TFrmCheck");
      if (gameList && gameList->isVisible()) visible.push_back(cs::TFrmGameList::kClassName);
      if (frm.TvOut() && frm.TvOut()->window().Visible()) visible.push_back("TMain");
      std::string json = frm.StatusJson(visible);
      if (frm.Operators) {
        json.insert(json.size() - 1, ",\"operator\":" + frm.Operators->StatusJson());
      }
      return json + "\n";
    }
    if (req.rfind("screenshot ", 0) == 0) {
      const std::string path = req.substr(11);
      if (path.empty() || path[0] != '/') return std::string("error: the path must be absolute\n");
      const QImage shot = frm.Operators && frm.Operators->Front()
                              ? frm.Operators->Front()->Screenshot()
                              : frm.Screenshot();
      if (!shot.save(QString::fromStdString(path), "PNG")) {
        return "error: cannot write " + path + "\n";
      }
      return "ok " + path + "\n";
    }
    if (req == "open game-list") {
      cs::OpenGameList(&gameList, frm.Tb);
      return std::string("ok\n");
    }
    if (req == "open check-window") {
      if (!checkWindow) return std::string("error: no check window\n");
      checkWindow->ShowCheckWindow();
      return std::string("ok\n");
    }
    if (req == "open tvout-window") {
      // As the tray icon's double click does: message 0x40A with 0x203 through its socket.
      if (!frm.TvOut()) return std::string("error: this cabinet has no TV-out window\n");
      if (!cs::PostWindowMessage(map.IpcDir() / "TMain", {0x40A, 0, 0x203})) {
        return std::string("error: the TV-out window does not answer\n");
      }
      return std::string("ok\n");
    }
    if (req == "quit") {
      // As the operating system closes it: through the window's close event.
      loop.Post([&view] { view.close(); });
      return std::string("ok\n");
    }
    return "error: unknown request \"" + req + "\"\n";
  });
  control.Start();

  // The main window's creation runs its start-up before the message loop (and before the other
  // windows exist).
  frm.FormCreate();
  // Then the other windows, in the program's order: the game list, then the operator screens.
  cs::OpenGameList(&gameList, frm.Tb, /*show=*/false);
  const fs::path skinsDir = config.skinIni.parent_path().parent_path();
  cs::OperatorScreens screens(
      loop, {skinsDir, map.Resolve("c:\\qd\\PARAMS2.DAT").value_or(fs::path()), "default"});
  frm.Operators = &screens;
  // The game check configuration window over the main window's check data.
  checkWindow = cs::CheckWindow::Create(loop, frm.FrmCheck, frm.flags, [&frm] {
    return frm.Tb.ReadText(cs::CatalogueField::NAMEFILE).value_or("");
  });
  if (const char* shots = std::getenv("COINSHELL_STANDIN_SCREENSHOTS"); checkWindow && shots) {
    checkWindow->SetPreviewSource(fs::path(shots) / "latest.png");
  }
  // A service screen open at the close runs its modal loop beneath the close: hiding the screens
  // ends those loops, so the exit reaches the main loop and the shell ends.
  frm.OnClosed = [&screens] {
    screens.HideAll();
    QCoreApplication::exit(0);
  };
  view.SetOperatorScreens(&screens);
  screens.OnScreenChanged = [&view] { view.update(); };
  view.move(0, 0);
  if (windowed || offscreen) {
    view.show();
  } else {
    view.showFullScreen();
  }
  const int rc = app.exec();
  control.Stop();
  return rc;
}
