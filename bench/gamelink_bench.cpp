// Screen-check figures: one comparison pass over the shared frame (the header checked, seven
// 10 x 10 blocks decoded into the capture pictures, seven regions compared at 10 x 10, flags and
// match boxes set), the work the screen-check thread does every 20 ms for a whole game. Every
// region matches, so every comparison runs its full 81 pixel pairs: the slowest pass. Prints the
// median time of a pass for 32- and 16-bit blocks, then Google Benchmark's own runs.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "gamelink/screen_check.h"
#include "platform/log.h"
#include "platform/virtual_event_loop.h"

namespace {

struct Setup {
  cs::VirtualEventLoop loop;
  cs::TFrmCheck check{loop, "/nonexistent", "/nonexistent"};
  cs::GameFlags flags;
  std::array<std::uint8_t, cs::kSharedFrameSize> frame{};

  explicit Setup(int bits) {
    const cs::DibHeader h = cs::BlockHeader(bits);
    const auto hb = cs::EncodeDibHeader(h);
    std::copy(hb.begin(), hb.end(), frame.begin() + cs::kDibHeaderOffset);
    for (int i = 0; i < cs::kBlockCount; ++i) {
      std::array<std::uint32_t, 100> px{};
      for (int k = 0; k < 100; ++k) {
        px[static_cast<std::size_t>(k)] = (k % 2 ? 0xFF0000u : 0x0000FFu) | (i % 2 ? 0x8400u : 0u);
      }
      const auto b = cs::EncodeDibBlock(h, px);
      std::copy(b.begin(), b.end(), frame.begin() + cs::BlockOffset(i));
      for (int y = 0; y < 10; ++y) {
        for (int x = 0; x < 10; ++x) {
          check.Reference[static_cast<std::size_t>(i)].SetPixel(
              x, y, px[static_cast<std::size_t>(y * 10 + x)]);
        }
      }
    }
    for (auto& c : check.Capture) c.SetSize(10, 10);
  }
  bool Pass() { return cs::ComparisonPass(frame, check, flags); }
};

double MedianPassMicros(int bits) {
  Setup s(bits);
  if (!s.Pass() || !s.flags.P1Idle() || !cs::GameFlags::Get(s.flags.MatchStart)) {
    std::printf("the bench's regions do not match: figures would be wrong\n");
  }
  constexpr int kRounds = 101, kPerRound = 2000;
  std::vector<double> perPass;
  for (int r = 0; r < kRounds; ++r) {
    const auto t0 = std::chrono::steady_clock::now();
    for (int i = 0; i < kPerRound; ++i) benchmark::DoNotOptimize(s.Pass());
    const auto t1 = std::chrono::steady_clock::now();
    perPass.push_back(std::chrono::duration<double, std::micro>(t1 - t0).count() / kPerRound);
  }
  std::nth_element(perPass.begin(), perPass.begin() + kRounds / 2, perPass.end());
  return perPass[kRounds / 2];
}

void BM_ComparisonPass32(benchmark::State& state) {
  Setup s(32);
  for (auto _ : state) benchmark::DoNotOptimize(s.Pass());
}
BENCHMARK(BM_ComparisonPass32);

void BM_ComparisonPass16(benchmark::State& state) {
  Setup s(16);
  for (auto _ : state) benchmark::DoNotOptimize(s.Pass());
}
BENCHMARK(BM_ComparisonPass16);

}  // namespace

int main(int argc, char** argv) {
  cs::SetLogSink([](const std::string&) {});
  std::printf("screen-check pass, 7 blocks decoded and 7 regions compared at 10 x 10:\n");
  std::printf("  32-bit blocks: median %.2f us per pass (target: at most 20 us)\n",
              MedianPassMicros(32));
  std::printf("  16-bit blocks: median %.2f us per pass\n", MedianPassMicros(16));
  std::fflush(stdout);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
