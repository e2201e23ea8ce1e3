// The preview player against real AVI files made by the ffmpeg program.
#include "platform/video_player.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/video_writer.h"

namespace cs {
namespace {

namespace fs = std::filesystem;

class VideoPlayerTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = fs::temp_directory_path() / ("cs-video-" + std::to_string(::getpid()));
    fs::create_directories(dir_);
    for (const auto& [name, codec, size] :
         {std::tuple{"a.avi", "mpeg4", "352x288"}, {"b.avi", "mjpeg", "320x240"}}) {
      const std::string cmd =
          "ffmpeg -loglevel error -y -f lavfi -i testsrc=size=" + std::string(size) +
          ":rate=25 -frames:v 50 -c:v " + codec + " " + (dir_ / name).string();
      ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
    }
    std::ofstream(dir_ / "junk.avi") << "RIFF this is not a video at all";
  }
  static void TearDownTestSuite() { fs::remove_all(dir_); }
  static fs::path dir_;
};
fs::path VideoPlayerTest::dir_;

TEST_F(VideoPlayerTest, OpensStepsScalesAndRewindsToTheSameFirstFrame) {
  for (const char* name : {"a.avi", "b.avi"}) {
    VideoPlayer p;
    p.SetFileName(dir_ / name);
    ASSERT_TRUE(p.Open()) << name;
    EXPECT_EQ(p.GetMode(), VideoPlayer::Mode::kStopped);
    EXPECT_EQ(p.Length(), 50);
    EXPECT_EQ(p.Position(), 0);
    const QImage first = p.Frame().copy();
    p.SetFramesPerStep(5);
    ASSERT_TRUE(p.Step(5));
    EXPECT_EQ(p.Position(), 5);
    EXPECT_NE(p.Frame(), first);  // the test pattern moves
    ASSERT_TRUE(p.Rewind());
    EXPECT_EQ(p.Position(), 0);
    EXPECT_EQ(p.Frame(), first);
    p.SetDisplayRect(QRect(2, 15, 330, 256));
    EXPECT_EQ(p.Frame().size(), QSize(330, 256));
  }
}

TEST_F(VideoPlayerTest, ProposesTheVideosOwnSizeAndStopsAtTheEnd) {
  VideoPlayer p;
  p.SetFileName(dir_ / "b.avi");
  ASSERT_TRUE(p.Open());
  EXPECT_EQ(p.ProposedRect(), QRect(0, 0, 320, 240));
  int steps = 0;
  while (p.Step(5)) ++steps;
  EXPECT_EQ(steps, 10);
  EXPECT_EQ(p.Position(), 49);
  EXPECT_LT(p.Length(), p.Position() + 6);  // the menu's loop rule sees the end
  EXPECT_TRUE(p.Rewind());
  EXPECT_TRUE(p.Step(5));
}

TEST_F(VideoPlayerTest, MissingOrBrokenFilesDoNotOpen) {
  for (const fs::path& f : {dir_ / "none.avi", dir_ / "junk.avi", dir_}) {
    VideoPlayer p;
    p.SetFileName(f);
    EXPECT_FALSE(p.Open()) << f;
    EXPECT_EQ(p.GetMode(), VideoPlayer::Mode::kNotReady);
    EXPECT_FALSE(p.Step(5));
    EXPECT_FALSE(p.Rewind());
    EXPECT_TRUE(p.Frame().isNull());
  }
}

TEST_F(VideoPlayerTest, WriterMakesFilesThePlayerReadsBack) {
  VideoWriter w;
  std::string err;
  ASSERT_TRUE(w.Open(dir_ / "w.avi", 352, 288, 25, &err)) << err;
  for (int i = 0; i < 30; ++i) {
    QImage f(352, 288, QImage::Format_RGB32);
    f.fill(QColor(i * 8, 255 - i * 8, 128));
    ASSERT_TRUE(w.Write(f));
  }
  ASSERT_TRUE(w.Close());
  VideoPlayer p;
  p.SetFileName(dir_ / "w.avi");
  ASSERT_TRUE(p.Open());
  EXPECT_EQ(p.Length(), 30);
  EXPECT_EQ(p.ProposedRect(), QRect(0, 0, 352, 288));
  const QColor first = p.Frame().pixelColor(100, 100);
  EXPECT_NEAR(first.red(), 0, 12);
  EXPECT_NEAR(first.green(), 255, 12);
  EXPECT_FALSE(VideoWriter().Open(dir_ / "no/such/dir/x.avi", 64, 64, 25));
}

}  // namespace
}  // namespace cs
