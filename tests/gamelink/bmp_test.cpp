// The bitmap file reader: the 24- and 32-bit layouts a reference picture may come in, and files
// that lie about their sizes, offsets or formats (refused, never over-read).
#include "platform/bmp.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <functional>
#include <string>
#include <vector>

namespace cs {
namespace {

void Put(std::vector<std::uint8_t>& b, std::size_t off, std::uint32_t v, int n = 4) {
  for (int i = 0; i < n; ++i) b.at(off + i) = static_cast<std::uint8_t>(v >> (8 * i));
}

// A picture whose pixel (x, y) is (x * 10, y * 20, x + y), written by hand in the given layout.
struct BmpSpec {
  std::int32_t width = 3;
  std::int32_t height = 2;  // negative: top-down
  int bits = 24;
  std::uint32_t compression = 0;
  std::uint32_t infoSize = 40;
  bool masksAfterHeader = false;  // BI_BITFIELDS with a 40-byte header
};

std::uint32_t Expected(int x, int y) {
  return (static_cast<std::uint32_t>(x * 10) << 16) | (static_cast<std::uint32_t>(y * 20) << 8) |
         static_cast<std::uint32_t>(x + y);
}

std::vector<std::uint8_t> MakeBmp(const BmpSpec& s) {
  const std::size_t rows = static_cast<std::size_t>(s.height < 0 ? -s.height : s.height);
  const std::size_t stride = (static_cast<std::size_t>(s.width) * s.bits + 31) / 32 * 4;
  const std::size_t off = 14 + s.infoSize + (s.masksAfterHeader ? 12 : 0);
  std::vector<std::uint8_t> b(off + stride * rows, 0);
  b[0] = 'B';
  b[1] = 'M';
  Put(b, 2, static_cast<std::uint32_t>(b.size()));
  Put(b, 10, static_cast<std::uint32_t>(off));
  Put(b, 14, s.infoSize);
  Put(b, 18, static_cast<std::uint32_t>(s.width));
  Put(b, 22, static_cast<std::uint32_t>(s.height));
  Put(b, 26, 1, 2);
  Put(b, 28, static_cast<std::uint32_t>(s.bits), 2);
  Put(b, 30, s.compression);
  if (s.compression == 3) {
    Put(b, 54, 0x00FF0000);
    Put(b, 58, 0x0000FF00);
    Put(b, 62, 0x000000FF);
  }
  for (std::size_t y = 0; y < rows; ++y) {
    const std::size_t fileRow = s.height < 0 ? y : rows - 1 - y;
    for (std::int32_t x = 0; x < s.width; ++x) {
      const std::size_t p = off + fileRow * stride + static_cast<std::size_t>(x) * (s.bits / 8);
      const std::uint32_t c = Expected(x, static_cast<int>(y));
      b[p] = static_cast<std::uint8_t>(c);
      b[p + 1] = static_cast<std::uint8_t>(c >> 8);
      b[p + 2] = static_cast<std::uint8_t>(c >> 16);
      if (s.bits == 32) b[p + 3] = 0xAB;  // alpha or padding: ignored
    }
  }
  return b;
}

TEST(BmpReader, AcceptedLayoutsAllGiveTheSamePicture) {
  const std::vector<std::pair<const char*, BmpSpec>> cases = {
      {"24 bits bottom-up", {3, 2, 24}},
      {"24 bits top-down", {3, -2, 24}},
      {"24 bits, odd width needs row padding", {5, 3, 24}},
      {"32 bits bottom-up", {3, 2, 32}},
      {"32 bits top-down", {4, -3, 32}},
      {"32 bits, plain bit fields after a 40-byte header", {3, 2, 32, 3, 40, true}},
      {"32 bits, bit fields inside a V5 header", {3, 2, 32, 3, 124}},
      {"24 bits, V4 header", {20, 20, 24, 0, 108}},
  };
  for (const auto& [what, shape] : cases) {
    SCOPED_TRACE(what);
    std::string why;
    const auto img = DecodeBmp(MakeBmp(shape), &why);
    ASSERT_TRUE(img) << why;
    ASSERT_EQ(img->width, shape.width);
    ASSERT_EQ(img->height, shape.height < 0 ? -shape.height : shape.height);
    for (int y = 0; y < img->height; ++y) {
      for (int x = 0; x < img->width; ++x)
        ASSERT_EQ(img->At(x, y), Expected(x, y)) << x << "," << y;
    }
  }
}

TEST(BmpReader, LyingAndTruncatedFilesAreRefused) {
  using Edit = std::function<void(std::vector<std::uint8_t>&)>;
  const std::vector<std::pair<const char*, Edit>> cases = {
      {"empty", [](auto& b) { b.clear(); }},
      {"cut inside the headers", [](auto& b) { b.resize(40); }},
      {"cut inside the pixels", [](auto& b) { b.resize(b.size() - 1); }},
      {"not BM", [](auto& b) { b[0] = 'X'; }},
      {"OS/2 header", [](auto& b) { Put(b, 14, 12); }},
      {"header larger than the file", [](auto& b) { Put(b, 14, 124); }},
      {"pixel offset past the end", [](auto& b) { Put(b, 10, 0xFFFFFFF0u); }},
      {"pixel offset inside the headers", [](auto& b) { Put(b, 10, 20); }},
      {"pixel offset pushing the rows out", [](auto& b) { Put(b, 10, 60); }},
      {"width 0", [](auto& b) { Put(b, 18, 0); }},
      {"negative width", [](auto& b) { Put(b, 18, static_cast<std::uint32_t>(-3)); }},
      {"height 0", [](auto& b) { Put(b, 22, 0); }},
      {"height larger than the data", [](auto& b) { Put(b, 22, 3); }},
      {"huge height", [](auto& b) { Put(b, 22, 0x7FFFFFFF); }},
      {"most negative height", [](auto& b) { Put(b, 22, 0x80000000u); }},
      {"huge width", [](auto& b) { Put(b, 18, 0x40000000); }},
      {"too many pixels",
       [](auto& b) {
         Put(b, 18, 8000);
         Put(b, 22, 8000);
       }},
      {"two planes", [](auto& b) { Put(b, 26, 2, 2); }},
      {"8 bits (needs a palette)", [](auto& b) { Put(b, 28, 8, 2); }},
      {"16 bits", [](auto& b) { Put(b, 28, 16, 2); }},
      {"bit count 0", [](auto& b) { Put(b, 28, 0, 2); }},
      {"run-length compressed", [](auto& b) { Put(b, 30, 1); }},
      {"bit fields on 24 bits", [](auto& b) { Put(b, 30, 3); }},
      {"JPEG inside", [](auto& b) { Put(b, 30, 4); }},
  };
  for (const auto& [what, edit] : cases) {
    SCOPED_TRACE(what);
    auto b = MakeBmp({3, 2, 24});
    edit(b);
    std::string why;
    EXPECT_FALSE(DecodeBmp(b, &why));
    EXPECT_FALSE(why.empty());
  }
  // Bit fields with other masks (a 5-6-5 or swapped layout) are refused, not misread.
  auto b = MakeBmp({3, 2, 32, 3, 40, true});
  Put(b, 54, 0x000000FF);
  Put(b, 62, 0x00FF0000);
  EXPECT_FALSE(DecodeBmp(b));
}

TEST(BmpReader, WrittenFilesReadBackAndFilesThatAreNotPicturesAreRefused) {
  BmpImage img{7, 3, {}};
  for (int i = 0; i < 21; ++i) img.pixels.push_back(static_cast<std::uint32_t>(i * 0x010203));
  const auto bytes = EncodeBmp32(img);
  EXPECT_EQ(bytes.size(), 14u + 40 + 7 * 3 * 4);
  EXPECT_EQ(bytes[28], 32);
  const auto back = DecodeBmp(bytes);
  ASSERT_TRUE(back);
  EXPECT_EQ(back->pixels, img.pixels);

  const auto dir =
      std::filesystem::temp_directory_path() / ("cs-bmp-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  ASSERT_TRUE(WriteBmpFile(dir / "a.bmp", img));
  const auto read = ReadBmpFile(dir / "a.bmp");
  ASSERT_TRUE(read);
  EXPECT_EQ(read->pixels, img.pixels);
  std::string why;
  EXPECT_FALSE(ReadBmpFile(dir / "missing.bmp", &why));
  EXPECT_FALSE(ReadBmpFile(dir, &why)) << "a directory";
  EXPECT_FALSE(WriteBmpFile(dir / "b.bmp", BmpImage{2, 2, {1, 2, 3}})) << "pixels do not fit";
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace cs
