// Latency of an emulator message: PostWindowMessage on another thread (as the stand-in sends
// it) -> the window endpoint's socket -> the posted queue -> the Qt event loop -> WndProc.
// Then the main window's WMEmulatorStatus itself on a progress message. Prints median and p99.
#include <unistd.h>

#include <QCoreApplication>
#include <QGuiApplication>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <thread>
#include <vector>

#include "frontend/main_window.h"
#include "platform/qt_event_loop.h"
#include "platform/virtual_event_loop.h"
#include "platform/window_endpoint.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

std::int64_t NowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch())
      .count();
}

class Receiver final : public cs::MessageTarget {
 public:
  using MessageTarget::MessageTarget;
  std::vector<double> us;
  std::atomic<int> got{0};

 protected:
  void WndProc(const cs::Message& m) override {
    // lParam carries the low 31 bits of the send time in microseconds.
    const std::int64_t nowUs = (NowNs() / 1000) & 0x7FFFFFFF;
    std::int64_t d = nowUs - m.lParam;
    if (d < 0) d += 0x80000000LL;
    us.push_back(static_cast<double>(d));
    got.fetch_add(1);
  }
};

void Report(const char* what, std::vector<double> v) {
  std::sort(v.begin(), v.end());
  std::printf("%s: median %.1f us, p99 %.1f us, max %.1f us (%zu messages)\n", what,
              v[v.size() / 2], v[v.size() * 99 / 100], v.back(), v.size());
}

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QGuiApplication app(argc, argv);
  const fs::path dir = fs::temp_directory_path() / ("cs-sup-bench-" + std::to_string(getpid()));
  fs::create_directories(dir);

  cs::QtEventLoop loop;
  Receiver target(loop);
  cs::WindowEndpoint endpoint(target, [](const cs::Message&) { return true; });
  if (!endpoint.Start(dir / "TDbgFrm")) {
    std::printf("cannot bind the endpoint\n");
    return 1;
  }
  const int n = 2000;
  std::thread sender([&] {
    for (int i = 0; i < n; ++i) {
      const std::int32_t t = static_cast<std::int32_t>((NowNs() / 1000) & 0x7FFFFFFF);
      cs::PostWindowMessage(dir / "TDbgFrm", {cs::WM_EMULATOR_STATUS, 50, t});
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
  });
  const auto deadline = Clock::now() + std::chrono::seconds(30);
  while (target.got.load() < n && Clock::now() < deadline) {
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
  }
  sender.join();
  endpoint.Stop();
  Report("emulator message -> handler running", target.us);

  // The handler itself, on a started main window (virtual time: its waits cost nothing).
  cs::VirtualEventLoop vloop;
  cs::MainWindowConfig c;
  c.map = cs::DriveMap(dir / "root");
  c.map.CreateSkeleton();
  c.startPanelReader = c.startAuxPrograms = c.startScreenCheck = c.startEndpoint = false;
  c.pcmDevice = "null";
  c.mixerDevice = "null";
  cs::TDbgFrm frm(vloop, c);
  std::vector<double> handler;
  cs::GameFlags::Set(frm.flags.EmulatorRunning, true);
  for (int i = 0; i < 5000; ++i) {
    const auto t0 = Clock::now();
    frm.WMEmulatorStatus(i % 90, 100);
    handler.push_back(std::chrono::duration<double, std::micro>(Clock::now() - t0).count());
  }
  Report("WMEmulatorStatus on a progress message", handler);
  fs::remove_all(dir);
  return 0;
}
