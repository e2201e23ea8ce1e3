// The per-game check files: loading ".xy" records of every shape, the reference pictures in
// order, the launch preparation's fixes, names that must never become paths, and saving.
#include "gamelink/check_settings.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>

#include "gamelink_test_util.h"
#include "platform/log.h"

namespace cs {
namespace {

using testing::HandRecord;
using testing::TempCabinet;
namespace fs = std::filesystem;

class CheckSettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetLogSink([this](const std::string& line) { log_.push_back(line); });
  }
  void TearDown() override { SetLogSink({}); }

  void Write(const std::string& name, const std::vector<std::uint8_t>& bytes) {
    std::ofstream(cab_.Files() / name, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
  }
  // A 20 x 20 reference picture filled with one colour.
  void WriteBmp(const std::string& name, std::uint32_t colour) {
    BmpImage img{20, 20, std::vector<std::uint32_t>(400, colour)};
    ASSERT_TRUE(WriteBmpFile(cab_.Files() / name, img));
  }

  TempCabinet cab_;
  VirtualEventLoop loop_;
  GameFlags flags_;
  TFrmCheck check_{loop_, cab_.Ipc(), cab_.Files()};
  std::vector<std::string> log_;
};

TEST_F(CheckSettingsTest, XyFilesOfEveryShape) {
  const auto full = HandRecord(216, {{60, 5}, {64, 6}, {68, 9}, {72, 13}, {188, 8}, {212, 0x44}});
  std::vector<std::uint8_t> oversized = full;
  oversized.resize(300, 0xEE);
  struct Case {
    const char* what;
    std::function<void()> make;
    XyLoad result;
    std::int32_t left, startUp, last;  // Region1.left, StartUpTime, Region8.bottom afterwards
  };
  const std::vector<Case> cases = {
      {"full", [&] { Write("G.xy", full); }, XyLoad::kFull, 5, 8, 0x44},
      {"oversized: its first 216 bytes", [&] { Write("G.xy", oversized); }, XyLoad::kFull, 5, 8,
       0x44},
      {"short: the rest stays",
       [&] {
         Write("G.xy", {full.begin(), full.begin() + 64});
       },
       XyLoad::kShort, 5, 3, 3},
      {"empty: everything stays", [&] { Write("G.xy", {}); }, XyLoad::kShort, 1, 3, 3},
      {"missing: everything stays", [] {}, XyLoad::kMissing, 1, 3, 3},
      {"name in another case", [&] { Write("g.XY", full); }, XyLoad::kFull, 5, 8, 0x44},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    for (const auto& e : fs::directory_iterator(cab_.Files())) fs::remove_all(e.path());
    check_.CheckRec = CheckRecord{};
    check_.CheckRec.Region1.left = 1;
    check_.CheckRec.StartUpTime = 3;
    check_.CheckRec.Region8.bottom = 3;
    c.make();
    EXPECT_EQ(check_.LoadCheckSettings("G"), c.result);
    EXPECT_EQ(check_.CheckRec.Region1.left, c.left);
    EXPECT_EQ(check_.CheckRec.StartUpTime, c.startUp);
    EXPECT_EQ(check_.CheckRec.Region8.bottom, c.last);
  }
}

TEST_F(CheckSettingsTest, AnUnreadableXyStopsTheLaunch) {
  fs::create_directory(cab_.Files() / "G.xy");
  EXPECT_EQ(check_.LoadCheckSettings("G"), XyLoad::kError);
  EXPECT_EQ(check_.RegionWidth, 20);
  EXPECT_EQ(check_.RegionHeight, 20);
  EXPECT_FALSE(check_.PrepareLaunch("G", flags_));
  EXPECT_FALSE(flags_.P1Idle()) << "the preparation ended before the flags";
  // A FIFO in its place does not hang the menu.
  fs::remove(cab_.Files() / "G.xy");
  ASSERT_EQ(::mkfifo((cab_.Files() / "G.xy").c_str(), 0600), 0);
  EXPECT_EQ(check_.LoadCheckSettings("G"), XyLoad::kError);
}

TEST_F(CheckSettingsTest, AGameWithoutSettingsLaunchesAndSaysSoInTheLog) {
  const auto saying = [this] {
    std::vector<std::string> got;
    for (const auto& l : log_) {
      if (l.find("no check settings") != std::string::npos) got.push_back(l);
    }
    return got;
  };
  Write("H.xy", HandRecord(216, {{188, 9}}));
  EXPECT_TRUE(check_.PrepareLaunch("H", flags_));
  EXPECT_TRUE(saying().empty());
  EXPECT_TRUE(check_.PrepareLaunch("G", flags_));
  ASSERT_EQ(saying().size(), 1u);
  EXPECT_NE(saying()[0].find("no check settings for G (G.xy in "), std::string::npos);
  EXPECT_EQ(check_.CheckRec.StartUpTime, 9) << "the previous game's settings stay";
}

TEST_F(CheckSettingsTest, NamesThatAreNotShortNamesNeverBecomePaths) {
  // A file the traversal would reach.
  Write("x.xy", HandRecord(216, {{188, 9}}));
  fs::create_directory(cab_.Files() / "sub");
  for (const std::string bad : {"", "../shell/x", "sub/x", "x.", "TOOLONGNAME", "a b", "x\n"}) {
    SCOPED_TRACE(bad);
    EXPECT_EQ(check_.LoadCheckSettings(bad), XyLoad::kBadName);
    EXPECT_EQ(check_.LoadReferencePictures(bad), 0);
    EXPECT_FALSE(check_.PrepareLaunch(bad, flags_));
    EXPECT_FALSE(check_.BtSaveClick(bad));
  }
  EXPECT_EQ(check_.CheckRec.StartUpTime, 0);
  EXPECT_EQ(std::distance(fs::directory_iterator(cab_.Files() / "sub"), fs::directory_iterator()),
            0);
}

TEST_F(CheckSettingsTest, PreparationFixesSizesOffsetsAndTimes) {
  struct Case {
    const char* what;
    std::vector<std::pair<std::size_t, std::uint32_t>> words;
    int width, height, offX, offY, upDown3, previewWidth, previewHeight, startUp;
  };
  const auto neg = [](int v) { return static_cast<std::uint32_t>(v); };
  const std::vector<Case> cases = {
      {"4 x 6 region",
       {{60, 10}, {64, 20}, {68, 14}, {72, 26}, {180, 302}, {184, 224}, {188, 5}},
       4,
       6,
       0,
       0,
       0,
       302,
       224,
       5},
      {"PreviewWidth 0, StartUpTime 0", {{68, 2}, {72, 2}}, 2, 2, 0, 0, 0, 303, 224, 2},
      {"OffX 60 becomes 0, OffY -60 stays",
       {{172, 60}, {176, neg(-60)}, {188, 1}},
       2,
       2,
       0,
       -60,
       0,
       303,
       224,
       2},
      {"OffX -60 stays", {{172, neg(-60)}, {176, 50}}, 2, 2, -60, 50, -50, 303, 224, 2},
      {"a block larger than 10 is kept at 10", {{68, 40}, {72, 11}}, 10, 10, 0, 0, 0, 303, 224, 2},
      {"right before left gives the least block",
       {{60, 100}, {68, 90}, {64, neg(INT32_MIN)}, {72, neg(INT32_MAX)}},
       2,
       10,
       0,
       0,
       0,
       303,
       224,
       2},
      {"negative sizes",
       {{180, neg(-5)}, {184, neg(-1)}, {188, neg(-3)}},
       2,
       2,
       0,
       0,
       0,
       303,
       224,
       2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<std::uint8_t> xy(216, 0);
    for (const auto& [off, v] : c.words) {
      for (int i = 0; i < 4; ++i) xy[off + i] = static_cast<std::uint8_t>(v >> (8 * i));
    }
    Write("G.xy", xy);
    ASSERT_TRUE(check_.PrepareLaunch("G", flags_));
    EXPECT_EQ(check_.RegionWidth, c.width);
    EXPECT_EQ(check_.RegionHeight, c.height);
    EXPECT_EQ(check_.UpDown2, c.width);
    EXPECT_EQ(check_.UpDown1, c.height);
    EXPECT_EQ(check_.CheckRec.OffX, c.offX);
    EXPECT_EQ(check_.CheckRec.OffY, c.offY);
    EXPECT_EQ(check_.UpDown3, c.upDown3);
    EXPECT_EQ(check_.CheckRec.PreviewWidth, c.previewWidth);
    EXPECT_EQ(check_.CheckRec.PreviewHeight, c.previewHeight);
    EXPECT_EQ(check_.CheckRec.StartUpTime, c.startUp);
    EXPECT_EQ(check_.EdWidth2, std::to_string(c.previewWidth));
    EXPECT_EQ(check_.EdTime, std::to_string(c.startUp));
    for (int i = 0; i < kRegionCount; ++i) {
      const Rect32& r = check_.CheckRec.Region(i);
      EXPECT_EQ(static_cast<std::int64_t>(r.right) - r.left, c.width) << kRegionNames[i];
      EXPECT_EQ(static_cast<std::int64_t>(r.bottom) - r.top, c.height) << kRegionNames[i];
    }
  }
}

TEST_F(CheckSettingsTest, StartUpIntervalStaysWithinTwoAndSixtySeconds) {
  for (auto [t, ms] : std::vector<std::pair<std::int32_t, int>>{
           {1, 2000}, {2, 2000}, {5, 5000}, {60, 60000}, {100, 60000}, {INT32_MAX, 60000}}) {
    check_.CheckRec.StartUpTime = t;
    EXPECT_EQ(check_.StartUpIntervalMs(), ms) << t;
  }
}

TEST_F(CheckSettingsTest, ReferencePicturesLoadInOrderUntilTheFirstThatFails) {
  for (int i = 0; i < kRegionCount; ++i) check_.Reference[i].FillRect(0, 0, 20, 20, 0x000111);
  WriteBmp("Gt1.bmp", 0x110000);
  WriteBmp("gT2.BMP", 0x220000);  // another case: still this game's file
  // t3 missing; t4..t7 present but must not be read.
  for (int i = 4; i <= 7; ++i) WriteBmp("Gt" + std::to_string(i) + ".bmp", 0x990000);
  EXPECT_EQ(check_.LoadReferencePictures("G"), 2);
  EXPECT_EQ(check_.Reference[0].Pixel(5, 5), 0x110000u);
  EXPECT_EQ(check_.Reference[1].Pixel(19, 19), 0x220000u);
  for (int i = 2; i < kRegionCount; ++i) {
    EXPECT_EQ(check_.Reference[i].Pixel(5, 5), 0x000111u) << "picture " << i + 1 << " kept";
  }
  // A truncated t3 is a failure too.
  WriteBmp("Gt3.bmp", 0x330000);
  fs::resize_file(cab_.Files() / "Gt3.bmp", 100);
  EXPECT_EQ(check_.LoadReferencePictures("G"), 2);
  // A smaller picture fills what it has; the rest can never match a drawn pixel.
  BmpImage small{5, 4, std::vector<std::uint32_t>(20, 0x123456)};
  ASSERT_TRUE(WriteBmpFile(cab_.Files() / "Gt3.bmp", small));
  EXPECT_EQ(check_.LoadReferencePictures("G"), 7);
  EXPECT_EQ(check_.Reference[2].Pixel(4, 3), 0x123456u);
  EXPECT_EQ(check_.Reference[2].Pixel(5, 3), CheckPicture::kNoPixel);
  EXPECT_EQ(check_.Reference[6].Pixel(0, 0), 0x990000u);
}

TEST_F(CheckSettingsTest, SaveWritesWhatTheNextLaunchLoads) {
  check_.SetBlockSize(6, 5);
  check_.SetOffsets(-70, 12);
  EXPECT_EQ(check_.CheckRec.OffX, -50);
  QImage panel(300, 200, QImage::Format_RGB32);
  for (int y = 0; y < 200; ++y) {
    for (int x = 0; x < 300; ++x) panel.setPixel(x, y, qRgb(x % 256, y, 7));
  }
  check_.PickRegion(3, 100, 50, panel);
  EXPECT_EQ(check_.CheckRec.Region4, (Rect32{100, 50, 106, 55}));
  EXPECT_EQ(check_.Reference[3].Pixel(0, 0), 0x00663207u) << "copied from (102, 50)";
  EXPECT_EQ(check_.Reference[3].Pixel(19, 19),
            static_cast<std::uint32_t>((121 << 16) | (69 << 8) | 7));
  check_.PickRegion(6, 290, 195, panel);  // partly outside the panel: black there
  EXPECT_EQ(check_.Reference[6].Pixel(9, 0), 0u);
  check_.EdTime = "9";
  std::string error;
  ASSERT_TRUE(check_.BtSaveClick("SAVED", &error)) << error;
  EXPECT_EQ(fs::file_size(cab_.Files() / "SAVED.xy"), 216u);
  EXPECT_EQ(fs::file_size(cab_.Files() / "SAVEDt1.bmp"), 14u + 40 + 20 * 20 * 4) << "32 bits";

  TFrmCheck other(loop_, cab_.Ipc(), cab_.Files());
  ASSERT_TRUE(other.PrepareLaunch("SAVED", flags_));
  EXPECT_EQ(other.CheckRec.Region4, (Rect32{100, 50, 106, 55}));
  EXPECT_EQ(other.CheckRec.StartUpTime, 9);
  EXPECT_EQ(other.RegionWidth, 6);
  EXPECT_EQ(other.RegionHeight, 5);
  for (int y = 0; y < 20; ++y) {
    for (int x = 0; x < 20; ++x)
      ASSERT_EQ(other.Reference[3].Pixel(x, y), check_.Reference[3].Pixel(x, y));
  }

  // A bad edit stops the save before any file is written.
  check_.EdTime = "five";
  EXPECT_FALSE(check_.BtSaveClick("OTHER", &error));
  EXPECT_FALSE(fs::exists(cab_.Files() / "OTHERt1.bmp"));
}

TEST_F(CheckSettingsTest, AFailedPictureWriteStopsTheSaveBeforeTheXy) {
  // A directory where the last picture should go: its replacement fails, for any user.
  fs::create_directory(cab_.Files() / "Gt7.bmp");
  std::string error;
  EXPECT_FALSE(check_.BtSaveClick("G", &error));
  EXPECT_NE(error.find("Gt7.bmp"), std::string::npos) << error;
  EXPECT_TRUE(fs::exists(cab_.Files() / "Gt6.bmp"));
  EXPECT_FALSE(fs::exists(cab_.Files() / "G.xy"));
  if (::geteuid() != 0) {
    fs::remove(cab_.Files() / "Gt7.bmp");
    fs::permissions(cab_.Files(), fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_FALSE(check_.BtSaveClick("H", &error)) << "a read-only directory";
    fs::permissions(cab_.Files(), fs::perms::owner_all);
    EXPECT_FALSE(fs::exists(cab_.Files() / "H.xy"));
  }
}

}  // namespace
}  // namespace cs
