// One preview tick as the menu runs it: Step(5) on the player (decode 5 frames, scale the last
// into the panel's rectangle) and draw the frame into the preview panel. Prints median and p99
// per codec, then the same frames' decode CPU time against `ffmpeg -i FILE -f null -`.
#include <sys/resource.h>
#include <unistd.h>

#include <QGuiApplication>
#include <QPainter>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "frontend/screen_parts.h"
#include "platform/video_player.h"
#include "platform/video_writer.h"

namespace fs = std::filesystem;

namespace {

double CpuSeconds(int who) {
  rusage u{};
  getrusage(who, &u);
  return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

void MakeVideo(const fs::path& file, cs::VideoWriter::Codec codec) {
  cs::VideoWriter w;
  w.Open(file, 352, 288, 25, nullptr, codec);
  for (int i = 0; i < 150; ++i) {
    QImage f(352, 288, QImage::Format_RGB32);
    QPainter g(&f);
    g.fillRect(f.rect(), QColor(10, 10, 30));
    for (int k = 0; k < 40; ++k) {
      g.fillRect((k * 37 + i * 3) % 352, (k * 53 + i * (k % 5)) % 288, 12, 12,
                 QColor::fromHsv((k * 9) % 360, 200, 255));
    }
    g.end();
    w.Write(f);
  }
  w.Close();
}

void Run(const char* name, const fs::path& file, bool decodeOnly) {
  cs::VideoPlayer p;
  p.SetFileName(file);
  if (!p.Open()) {
    std::printf("%s: cannot open\n", name);
    return;
  }
  // Decode only: the frame shown is scaled to 8 x 8, so the figure is the decoder's work.
  p.SetDisplayRect(decodeOnly ? QRect(0, 0, 8, 8) : QRect(2, 15, 330, 256));
  cs::PreviewPanel panel;
  QImage screen(650, 480, QImage::Format_RGB32);
  QPainter painter(&screen);
  std::vector<double> ms;
  const double cpu0 = CpuSeconds(RUSAGE_SELF);
  const std::int64_t dec0 = p.DecodedFrames();
  for (int i = 0; i < 3000; ++i) {
    const auto t0 = std::chrono::steady_clock::now();
    if (p.Length() < p.Position() + 6) p.Rewind();
    p.Step(5);
    panel.frame = p.Frame();
    panel.frameRect = p.DisplayRect();
    cs::DrawPreviewPanel(painter, panel);
    ms.push_back(
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
  }
  const double cpu = CpuSeconds(RUSAGE_SELF) - cpu0;
  const std::int64_t frames = p.DecodedFrames() - dec0;
  std::sort(ms.begin(), ms.end());
  if (!decodeOnly) {
    std::printf("%-6s preview tick: median %.3f ms, p99 %.3f ms (%zu ticks)\n", name,
                ms[ms.size() / 2], ms[ms.size() * 99 / 100], ms.size());
  }

  // The ffmpeg program decoding the same number of frames of the same file.
  const int loops = static_cast<int>(frames / 150);
  const double child0 = CpuSeconds(RUSAGE_CHILDREN);
  const std::string cmd = "ffmpeg -loglevel error -threads 1 -stream_loop " +
                          std::to_string(loops - 1) + " -i " + file.string() +
                          " -f null - >/dev/null 2>&1";
  if (std::system(cmd.c_str()) != 0) {
    std::printf("%-6s ffmpeg comparison: ffmpeg not available\n", name);
    return;
  }
  const double ffcpu = CpuSeconds(RUSAGE_CHILDREN) - child0;
  std::printf(
      "%-6s decode work: %lld frames, this player %.3f s CPU (with scaling and drawing), "
      "ffmpeg %.3f s CPU for %d frames, ratio %.2f\n",
      name, static_cast<long long>(frames), cpu, ffcpu, loops * 150,
      ffcpu > 0 ? cpu / ffcpu * (loops * 150.0) / frames : 0.0);
}

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QGuiApplication app(argc, argv);
  const fs::path dir = fs::temp_directory_path() / ("cs-preview-bench-" + std::to_string(getpid()));
  fs::create_directories(dir);
  MakeVideo(dir / "mpeg4.avi", cs::VideoWriter::Codec::kMpeg4);
  MakeVideo(dir / "mjpeg.avi", cs::VideoWriter::Codec::kMjpeg);
  for (bool decodeOnly : {false, true}) {
    Run("mpeg4", dir / "mpeg4.avi", decodeOnly);
    Run("mjpeg", dir / "mjpeg.avi", decodeOnly);
  }
  fs::remove_all(dir);
  return 0;
}
