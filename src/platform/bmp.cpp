#include "platform/bmp.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string_view>

#include "platform/profile_file.h"

namespace cs {

namespace {

constexpr std::size_t kFileHeaderSize = 14;
constexpr std::uint32_t kBiRgb = 0;
constexpr std::uint32_t kBiBitfields = 3;

std::uint16_t Get16(std::span<const std::uint8_t> b, std::size_t off) {
  return static_cast<std::uint16_t>(b[off] | (b[off + 1] << 8));
}
std::uint32_t Get32(std::span<const std::uint8_t> b, std::size_t off) {
  return static_cast<std::uint32_t>(b[off]) | (static_cast<std::uint32_t>(b[off + 1]) << 8) |
         (static_cast<std::uint32_t>(b[off + 2]) << 16) |
         (static_cast<std::uint32_t>(b[off + 3]) << 24);
}
void Put16(std::vector<std::uint8_t>& b, std::size_t off, std::uint16_t v) {
  b[off] = static_cast<std::uint8_t>(v);
  b[off + 1] = static_cast<std::uint8_t>(v >> 8);
}
void Put32(std::vector<std::uint8_t>& b, std::size_t off, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b[off + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

std::nullopt_t Fail(std::string* why, std::string_view text) {
  if (why) *why = std::string(text);
  return std::nullopt;
}

}  // namespace

std::optional<BmpImage> DecodeBmp(std::span<const std::uint8_t> b, std::string* why) {
  if (b.size() < kFileHeaderSize + 40) return Fail(why, "shorter than the bitmap headers");
  if (b[0] != 'B' || b[1] != 'M') return Fail(why, "not a bitmap file (no \"BM\")");
  const std::uint32_t offBits = Get32(b, 10);
  const std::uint32_t infoSize = Get32(b, 14);
  if (infoSize != 40 && infoSize != 52 && infoSize != 56 && infoSize != 108 && infoSize != 124) {
    return Fail(why, "unsupported information header size " + std::to_string(infoSize));
  }
  if (kFileHeaderSize + infoSize > b.size()) return Fail(why, "information header cut short");
  const auto width = static_cast<std::int32_t>(Get32(b, 18));
  const auto height = static_cast<std::int32_t>(Get32(b, 22));
  const std::uint16_t planes = Get16(b, 26);
  const std::uint16_t bitCount = Get16(b, 28);
  const std::uint32_t compression = Get32(b, 30);
  if (planes != 1) return Fail(why, "planes must be 1");
  if (bitCount != 24 && bitCount != 32) {
    return Fail(why, "unsupported bit count " + std::to_string(bitCount));
  }
  std::size_t headersEnd = kFileHeaderSize + infoSize;
  if (compression == kBiBitfields) {
    if (bitCount != 32) return Fail(why, "bit fields need 32 bits per pixel");
    // The masks follow a 40-byte header, or are its fields 40..51 in the longer ones.
    if (infoSize == 40) headersEnd += 12;
    if (headersEnd > b.size()) return Fail(why, "bit-field masks cut short");
    const std::size_t m = kFileHeaderSize + 40;
    if (Get32(b, m) != 0x00FF0000u || Get32(b, m + 4) != 0x0000FF00u ||
        Get32(b, m + 8) != 0x000000FFu) {
      return Fail(why, "unsupported bit-field masks");
    }
  } else if (compression != kBiRgb) {
    return Fail(why, "compressed bitmaps are not supported");
  }
  if (width < 1 || width > kBmpMaxSide) return Fail(why, "bad width " + std::to_string(width));
  if (height == 0 || height < -kBmpMaxSide || height > kBmpMaxSide) {
    return Fail(why, "bad height " + std::to_string(height));
  }
  const bool topDown = height < 0;
  const std::uint64_t rows = topDown
                                 ? static_cast<std::uint64_t>(-static_cast<std::int64_t>(height))
                                 : static_cast<std::uint64_t>(height);
  if (static_cast<std::uint64_t>(width) * rows > kBmpMaxPixels) return Fail(why, "too many pixels");
  const std::uint64_t bytesPerPixel = bitCount / 8;
  const std::uint64_t stride = (static_cast<std::uint64_t>(width) * bitCount + 31) / 32 * 4;
  if (offBits < headersEnd) return Fail(why, "pixel offset inside the headers");
  if (offBits > b.size() || stride * rows > b.size() - offBits) {
    return Fail(why, "pixel rows run past the end of the file");
  }
  BmpImage img;
  img.width = width;
  img.height = static_cast<int>(rows);
  img.pixels.resize(static_cast<std::size_t>(width) * rows);
  for (std::uint64_t y = 0; y < rows; ++y) {
    const std::uint64_t fileRow = topDown ? y : rows - 1 - y;
    const std::uint8_t* row = b.data() + offBits + fileRow * stride;
    std::uint32_t* out = img.pixels.data() + y * static_cast<std::uint64_t>(width);
    for (std::int32_t x = 0; x < width; ++x) {
      const std::uint8_t* p = row + static_cast<std::uint64_t>(x) * bytesPerPixel;
      out[x] =
          (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[1]) << 8) | p[0];
    }
  }
  return img;
}

std::vector<std::uint8_t> EncodeBmp32(const BmpImage& image) {
  const std::size_t w = static_cast<std::size_t>(image.width > 0 ? image.width : 0);
  const std::size_t h = static_cast<std::size_t>(image.height > 0 ? image.height : 0);
  const std::size_t dataSize = w * h * 4;
  std::vector<std::uint8_t> b(kFileHeaderSize + 40 + dataSize, 0);
  b[0] = 'B';
  b[1] = 'M';
  Put32(b, 2, static_cast<std::uint32_t>(b.size()));
  Put32(b, 10, kFileHeaderSize + 40);
  Put32(b, 14, 40);
  Put32(b, 18, static_cast<std::uint32_t>(w));
  Put32(b, 22, static_cast<std::uint32_t>(h));
  Put16(b, 26, 1);
  Put16(b, 28, 32);
  Put32(b, 30, kBiRgb);
  Put32(b, 34, static_cast<std::uint32_t>(dataSize));
  std::size_t at = kFileHeaderSize + 40;
  for (std::size_t fileRow = 0; fileRow < h; ++fileRow) {
    const std::size_t y = h - 1 - fileRow;  // bottom-up
    for (std::size_t x = 0; x < w; ++x) {
      const std::uint32_t px = image.pixels[y * w + x];
      b[at++] = static_cast<std::uint8_t>(px);
      b[at++] = static_cast<std::uint8_t>(px >> 8);
      b[at++] = static_cast<std::uint8_t>(px >> 16);
      b[at++] = 0;
    }
  }
  return b;
}

std::optional<BmpImage> ReadBmpFile(const std::filesystem::path& file, std::string* why) {
  const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return Fail(why, std::string("open: ") + std::strerror(errno));
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return Fail(why, "not a regular file");
  }
  if (static_cast<std::uint64_t>(st.st_size) > kBmpMaxFileBytes) {
    ::close(fd);
    return Fail(why, "file too large");
  }
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(st.st_size));
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::read(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      const int e = errno;
      ::close(fd);
      return Fail(why, std::string("read: ") + std::strerror(e));
    }
    if (n == 0) break;  // shrank meanwhile: decode what is there
    done += static_cast<std::size_t>(n);
  }
  ::close(fd);
  bytes.resize(done);
  return DecodeBmp(bytes, why);
}

bool WriteBmpFile(const std::filesystem::path& file, const BmpImage& image, std::string* why) {
  if (image.width < 1 || image.height < 1 ||
      image.pixels.size() !=
          static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height)) {
    if (why) *why = "no picture to write";
    return false;
  }
  const auto bytes = EncodeBmp32(image);
  return ReplaceFileAtomically(
      file, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), why);
}

}  // namespace cs
