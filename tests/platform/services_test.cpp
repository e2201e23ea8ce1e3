// The platform services the screens lean on: sound, process start, the control channel and the
// single-instance lock, each against the real thing (ALSA's file device, real processes, a real
// socket).
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "platform/audio.h"
#include "platform/control_socket.h"
#include "platform/instance_lock.h"
#include "platform/process.h"
#include "platform/virtual_event_loop.h"

namespace cs {
namespace {

namespace fs = std::filesystem;

fs::path TempDir(const std::string& tag) {
  fs::path d = fs::temp_directory_path() / ("cs-" + tag + "-" + std::to_string(::getpid()));
  fs::remove_all(d);
  fs::create_directories(d);
  return d;
}

TEST(ToneTest, SynthesisHonoursVolumeWaveAndLength) {
  ToneSpec beep;  // 5000 Hz sawtooth, 8-bit, 8 kHz, 100 ms
  const auto full = SynthesizeTone(beep, 100, 100);
  ASSERT_EQ(full.size(), 800u * 2);
  const auto quiet = SynthesizeTone(beep, 10, 0);
  int maxDevL = 0, maxDevR = 0;
  for (std::size_t i = 0; i < quiet.size(); i += 2) {
    maxDevL = std::max(maxDevL, std::abs(quiet[i] - 128));
    maxDevR = std::max(maxDevR, std::abs(quiet[i + 1] - 128));
  }
  EXPECT_LE(maxDevL, 13);
  EXPECT_GE(maxDevL, 8);
  EXPECT_EQ(maxDevR, 0);
  // 3000 Hz triangle, 16-bit: peaks at full scale.
  ToneSpec test{3000, Waveform::kTriangle, 16, 48000, 500};
  const auto tri = SynthesizeTone(test, 100, 100);
  ASSERT_EQ(tri.size(), 24000u * 4);
  int peak = 0;
  for (std::size_t i = 0; i < tri.size(); i += 4) {
    peak = std::max(peak, std::abs(static_cast<std::int16_t>(tri[i] | (tri[i + 1] << 8))));
  }
  EXPECT_GT(peak, 30000);
}

TEST(ToneTest, PlaysExactlyTheSynthesisedSamplesInTheBackground) {
  const fs::path dir = TempDir("tone");
  const fs::path out = dir / "beep.raw";
  {
    ToneGenerator gen("file:'" + out.string() + "',raw");
    gen.SetVolume(40, 120);  // right clamps to 100
    EXPECT_EQ(gen.VolumeRight(), 100);
    gen.PlayAsync();
    gen.WaitIdle();
    EXPECT_EQ(gen.PlayedCount(), 1);
  }
  std::ifstream f(out, std::ios::binary);
  std::vector<std::uint8_t> got((std::istreambuf_iterator<char>(f)), {});
  // The file plugin tees what the null sink receives; it holds at least the whole tone.
  const auto want = SynthesizeTone(ToneSpec{}, 40, 100);
  ASSERT_GE(got.size(), want.size());
  EXPECT_TRUE(std::equal(want.begin(), want.end(), got.begin()));
  fs::remove_all(dir);
}

TEST(ToneTest, MissingDeviceStaysSilentAndDoesNotBlock) {
  ToneGenerator gen("hw:CARD=NoSuchCard");
  gen.PlayAsync();
  gen.WaitIdle();
  EXPECT_EQ(gen.PlayedCount(), 1);
  VolumeControl vc("hw:CARD=NoSuchCard");
  EXPECT_FALSE(vc.SetLevel(20 * 256, 20 * 256));
  EXPECT_EQ(vc.LevelLeft(), 20 * 256);
}

TEST(ProcessTest, StartsWithExactArgumentsEnvironmentAndDirectory) {
  const fs::path dir = TempDir("spawn");
  const fs::path script = dir / "prog";
  std::ofstream(script) << "#!/bin/sh\nprintf '%s|' \"$@\" > out.txt\necho \"$CS_X\" >> out.txt\n";
  fs::permissions(script, fs::perms::owner_all);
  SpawnRequest r{script, SplitOnBlanks(" -a  b;rm -rf x  $(id) "), dir, {{"CS_X", "v"}}, true};
  ASSERT_TRUE(SpawnDetached(r).has_value());
  for (int i = 0; i < 200 && !fs::exists(dir / "out.txt"); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  std::ifstream in(dir / "out.txt");
  std::string line;
  std::getline(in, line);
  EXPECT_EQ(line, "-a|b;rm|-rf|x|$(id)|v");  // no shell ever sees the words
  ReapChildren();
  fs::remove_all(dir);
}

TEST(ProcessTest, MissingOrNonExecutableProgramIsNotStarted) {
  const fs::path dir = TempDir("spawn2");
  std::ofstream(dir / "plain") << "x";
  EXPECT_FALSE(SpawnDetached({dir / "missing"}).has_value());
  EXPECT_FALSE(SpawnDetached({dir / "plain"}).has_value());
  EXPECT_FALSE(SpawnDetached({dir}).has_value());
  fs::remove_all(dir);
}

TEST(ControlSocketTest, RequestsAreAnsweredOnTheMainThread) {
  const fs::path dir = TempDir("ctl");
  VirtualEventLoop loop;
  const auto mainId = std::this_thread::get_id();
  ControlServer server(loop, dir / "control", [&](const std::string& req) {
    EXPECT_EQ(std::this_thread::get_id(), mainId);
    return "got " + req + "\n";
  });
  ASSERT_TRUE(server.Start());
  EXPECT_EQ(fs::status(dir / "control").permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write);
  std::optional<std::string> reply;
  std::thread client([&] { reply = ControlRequest(dir / "control", "status", 5000); });
  while (!loop.WaitForPosted(std::chrono::milliseconds(5000))) {
  }
  loop.DrainPosted();
  client.join();
  EXPECT_EQ(reply, "got status\n");
  server.Stop();
  EXPECT_FALSE(ControlRequest(dir / "control", "status", 200).has_value());
  fs::remove_all(dir);
}

TEST(InstanceLockTest, SecondHolderIsRefusedUntilTheFirstGoes) {
  const fs::path dir = TempDir("lock");
  auto first = std::make_unique<InstanceLock>(dir / "coinshell.lock");
  EXPECT_TRUE(first->Held());
  EXPECT_FALSE(InstanceLock(dir / "coinshell.lock").Held());
  first.reset();
  EXPECT_TRUE(InstanceLock(dir / "coinshell.lock").Held());
  fs::remove_all(dir);
}

}  // namespace
}  // namespace cs
