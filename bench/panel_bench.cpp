// Panel figures:
//  - frames per second the frame cutter and decoder get through (Google Benchmark);
//  - the reader on a real pseudo-terminal at the line's limit of 320 frames a second: frames
//    lost, latency from a frame's last byte written to the main thread's handler (median, p99),
//    and the reader thread's CPU use. PANEL_BENCH_SECONDS sets the run's length (default 60).
#include <benchmark/benchmark.h>
#include <pty.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <random>
#include <thread>
#include <vector>

#include "panel/frame_cutter.h"
#include "panel/panel_bits.h"
#include "panel/panel_decoder.h"
#include "panel/panel_reader.h"
#include "platform/message_target.h"
#include "platform/virtual_event_loop.h"

namespace {

namespace fs = std::filesystem;

class CountingSink final : public cs::PanelSink {
 public:
  std::uint64_t posts = 0, masks = 0;
  void Post(std::uint32_t, std::int32_t, std::int32_t) override { ++posts; }
  void SendMask(std::uint32_t) override { ++masks; }
};

// A stream of frames as a busy panel makes them: a few switches at a time, changing often.
std::vector<std::uint8_t> BusyStream(std::size_t frames) {
  std::mt19937 rng(7);
  std::vector<std::uint8_t> out;
  std::uint32_t pressed = 0;
  for (std::size_t i = 0; i < frames; ++i) {
    if (rng() % 4 == 0) pressed ^= 1u << (rng() % 27);
    if (rng() % 8 == 0) pressed = 0;
    const auto f = cs::EncodeFrame(cs::WordOfPressed(pressed));
    out.insert(out.end(), f.begin(), f.end());
  }
  return out;
}

void BM_CutAndDecode(benchmark::State& state) {
  const std::size_t frames = 4096;
  const auto stream = BusyStream(frames);
  cs::PanelFields fields;
  fields.ForwardStage = 2;
  cs::CoinLatches latches;
  cs::FrameCutter cutter;
  CountingSink sink;
  std::uint64_t decoded = 0;
  for (auto _ : state) {
    for (std::uint8_t b : stream) {
      if (const auto w = cutter.Feed(b)) {
        cs::DecodeFrame(*w, true, latches, fields, sink);
        ++decoded;
      }
    }
  }
  benchmark::DoNotOptimize(sink.posts);
  state.counters["frames/s"] =
      benchmark::Counter(static_cast<double>(decoded), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_CutAndDecode);

// The main window's stand-in: notes when each post is handled.
class TimingWindow final : public cs::MessageTarget {
 public:
  using MessageTarget::MessageTarget;
  std::vector<std::int64_t> handled_ns;
  std::vector<std::int32_t> codes;

 protected:
  void WndProc(const cs::Message& m) override {
    handled_ns.push_back(NowNs());
    codes.push_back(m.wParam);
  }

 public:
  static std::int64_t NowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
  }
};

double ThreadCpuSeconds() {
  timespec ts;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

double ProcessCpuSeconds() {
  rusage r;
  getrusage(RUSAGE_SELF, &r);
  auto s = [](const timeval& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) * 1e-6;
  };
  return s(r.ru_utime) + s(r.ru_stime);
}

int PtyRun(int seconds) {
  char tmpl[] = "/tmp/cs-panel-bench-XXXXXX";
  if (!mkdtemp(tmpl)) return 1;
  const fs::path root = tmpl;
  fs::create_directories(root / "dosdevices");
  int master = -1, slave = -1;
  char name[128];
  if (openpty(&master, &slave, name, nullptr, nullptr) != 0) return 1;
  fs::create_symlink(name, root / "dosdevices" / "com2");

  cs::VirtualEventLoop loop;
  TimingWindow wnd(loop);
  std::atomic<std::uint8_t> running{0};
  auto reader = std::make_unique<cs::TThrKeyb>(cs::DriveMap(root), running);
  reader->TargetWnd = &wnd;
  if (!reader->Start()) return 1;

  // Each frame holds another button, so each frame posts exactly one code.
  const std::int32_t codes[] = {29, 56, 57, 42, 44, 19, 33, 32, 34, 30, 31, 16, 17, 18};
  const int bits[] = {6, 7, 8, 9, 10, 14, 15, 16, 17, 18, 19, 20, 21, 22};
  constexpr int kKinds = 14;
  const std::size_t frames = static_cast<std::size_t>(seconds) * 320;
  std::vector<std::int64_t> written_ns(frames);
  wnd.handled_ns.reserve(frames);
  wnd.codes.reserve(frames);
  std::atomic<bool> writing{true};
  double writer_cpu = 0;

  const double cpu0 = ProcessCpuSeconds();
  const double main0 = ThreadCpuSeconds();
  const auto wall0 = std::chrono::steady_clock::now();
  std::thread writer([&] {
    const double w0 = ThreadCpuSeconds();
    timespec next;
    clock_gettime(CLOCK_MONOTONIC, &next);
    for (std::size_t i = 0; i < frames; ++i) {
      const auto f = cs::EncodeFrame(cs::WordOfPressed(1u << bits[i % kKinds]));
      if (write(master, f.data(), f.size()) != static_cast<ssize_t>(f.size())) break;
      written_ns[i] = TimingWindow::NowNs();
      next.tv_nsec += 3'125'000;  // 320 frames a second
      while (next.tv_nsec >= 1'000'000'000) {
        next.tv_nsec -= 1'000'000'000;
        ++next.tv_sec;
      }
      clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &next, nullptr);
    }
    writer_cpu = ThreadCpuSeconds() - w0;
    writing = false;
  });
  const auto deadline = wall0 + std::chrono::seconds(seconds + 5);
  while ((writing || wnd.codes.size() < frames) && std::chrono::steady_clock::now() < deadline) {
    loop.WaitForPosted(std::chrono::milliseconds(50));
    loop.DrainPosted();
  }
  writer.join();
  const double wall =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - wall0).count();
  const double main_cpu = ThreadCpuSeconds() - main0;
  const double reader_cpu = ProcessCpuSeconds() - cpu0 - main_cpu - writer_cpu;

  std::size_t misordered = 0;
  std::vector<double> latency_us;
  for (std::size_t i = 0; i < wnd.codes.size() && i < frames; ++i) {
    if (wnd.codes[i] != codes[i % kKinds]) ++misordered;
    latency_us.push_back(static_cast<double>(wnd.handled_ns[i] - written_ns[i]) / 1000.0);
  }
  std::sort(latency_us.begin(), latency_us.end());
  auto pct = [&](double p) {
    if (latency_us.empty()) return 0.0;
    return latency_us[std::min(
        latency_us.size() - 1,
        static_cast<std::size_t>(p * static_cast<double>(latency_us.size())))];
  };
  std::printf("panel pty run: %zu frames at 320/s for %d s\n", frames, seconds);
  std::printf("  frames lost: %zu, out of order: %zu\n",
              frames - std::min(frames, wnd.codes.size()), misordered);
  std::printf(
      "  latency, last byte written -> main-thread handler: median %.0f us, p99 %.0f us, "
      "max %.0f us\n",
      pct(0.5), pct(0.99), latency_us.empty() ? 0.0 : latency_us.back());
  std::printf("  reader thread CPU: %.2f %% of one core (%.3f s in %.1f s)\n",
              100.0 * reader_cpu / wall, reader_cpu, wall);
  reader.reset();
  close(slave);
  close(master);
  fs::remove_all(root);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  int seconds = 60;
  if (const char* s = std::getenv("PANEL_BENCH_SECONDS"))
    seconds = std::clamp(std::atoi(s), 1, 3600);
  return PtyRun(seconds);
}
