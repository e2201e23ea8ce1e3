#pragma once
// Windows bitmap files (.bmp): the reader takes uncompressed 24- and 32-bit pictures, bottom-up
// or top-down; the writer makes 32-bit bottom-up files. Pixels are 0x00RRGGBB words, rows top to
// bottom. Everything a file states (sizes, offsets, bit counts) is checked against the bytes that
// are really there before a pixel is read, so a truncated or lying file is refused, never
// over-read.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace cs {

struct BmpImage {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> pixels;  // width * height, row-major, top row first

  std::uint32_t At(int x, int y) const {
    return pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                  static_cast<std::size_t>(x)];
  }
};

// Limits of what the reader accepts (a picture of the check settings is 20 x 20).
inline constexpr int kBmpMaxSide = 8192;
inline constexpr std::uint64_t kBmpMaxPixels = 4u * 1024 * 1024;
inline constexpr std::uint64_t kBmpMaxFileBytes = 64u * 1024 * 1024;

// Accepted: file header "BM"; an information header of 40, 52, 56, 108 or 124 bytes; one plane;
// 24 or 32 bits per pixel; no compression, or (32 bits) bit fields with the plain masks
// 0x00FF0000, 0x0000FF00, 0x000000FF; width 1..kBmpMaxSide, height -kBmpMaxSide..kBmpMaxSide and
// not 0 (negative: top-down); the pixel rows (each padded to 4 bytes) inside the file.
// nullopt with `*why` for anything else.
std::optional<BmpImage> DecodeBmp(std::span<const std::uint8_t> bytes, std::string* why = nullptr);

// A 32-bit bottom-up file with a 40-byte header; the fourth byte of each pixel is 0.
std::vector<std::uint8_t> EncodeBmp32(const BmpImage& image);

// Reads a regular file of at most kBmpMaxFileBytes and decodes it.
std::optional<BmpImage> ReadBmpFile(const std::filesystem::path& file, std::string* why = nullptr);
// Replaces the file atomically with EncodeBmp32(image).
bool WriteBmpFile(const std::filesystem::path& file, const BmpImage& image,
                  std::string* why = nullptr);

}  // namespace cs
