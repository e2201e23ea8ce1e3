#include "gamelink/shared_frame.h"

#include <cstdlib>

#include "platform/log.h"
#include "platform/shared_memory.h"

namespace cs {

namespace {

std::uint32_t Get32(const std::uint8_t* b, std::size_t off) {
  return static_cast<std::uint32_t>(b[off]) | (static_cast<std::uint32_t>(b[off + 1]) << 8) |
         (static_cast<std::uint32_t>(b[off + 2]) << 16) |
         (static_cast<std::uint32_t>(b[off + 3]) << 24);
}
std::uint16_t Get16(const std::uint8_t* b, std::size_t off) {
  return static_cast<std::uint16_t>(b[off] | (b[off + 1] << 8));
}
void Put32(std::uint8_t* b, std::size_t off, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b[off + i] = static_cast<std::uint8_t>(v >> (8 * i));
}
void Put16(std::uint8_t* b, std::size_t off, std::uint16_t v) {
  b[off] = static_cast<std::uint8_t>(v);
  b[off + 1] = static_cast<std::uint8_t>(v >> 8);
}

std::nullopt_t Fail(std::string* why, std::string text) {
  if (why) *why = std::move(text);
  return std::nullopt;
}

std::uint32_t Widen5(std::uint32_t v) { return (v << 3) | (v >> 2); }

}  // namespace

std::string SharedFrameName() {
  const char* env = std::getenv(kSharedFrameNameVariable);
  if (env == nullptr || *env == '\0') return kSharedFrameDefaultName;
  if (!IsValidSharedMemoryName(env)) {
    LogDiag("gamelink", std::string(kSharedFrameNameVariable) + "=\"" + env +
                            "\" is not a valid block name; using " + kSharedFrameDefaultName);
    return kSharedFrameDefaultName;
  }
  return env;
}

std::string SharedFrameMutexName(const std::string& blockName) { return blockName + "_SMMutex"; }

std::vector<std::pair<std::string, std::string>> EmulatorEnvironment(
    const std::filesystem::path& ipcDir) {
  std::vector<std::pair<std::string, std::string>> env{{"COINSHELL_IPC", ipcDir.string()}};
  const std::string name = SharedFrameName();
  if (name != kSharedFrameDefaultName) env.emplace_back(kSharedFrameNameVariable, name);
  return env;
}

DibHeader ParseDibHeader(std::span<const std::uint8_t, kDibHeaderSize> bytes) {
  const std::uint8_t* b = bytes.data();
  DibHeader h;
  h.biSize = Get32(b, 0);
  h.biWidth = static_cast<std::int32_t>(Get32(b, 4));
  h.biHeight = static_cast<std::int32_t>(Get32(b, 8));
  h.biPlanes = Get16(b, 12);
  h.biBitCount = Get16(b, 14);
  h.biCompression = Get32(b, 16);
  h.biSizeImage = Get32(b, 20);
  h.biXPelsPerMeter = static_cast<std::int32_t>(Get32(b, 24));
  h.biYPelsPerMeter = static_cast<std::int32_t>(Get32(b, 28));
  h.biClrUsed = Get32(b, 32);
  h.biClrImportant = Get32(b, 36);
  return h;
}

std::array<std::uint8_t, kDibHeaderSize> EncodeDibHeader(const DibHeader& h) {
  std::array<std::uint8_t, kDibHeaderSize> a{};
  std::uint8_t* b = a.data();
  Put32(b, 0, h.biSize);
  Put32(b, 4, static_cast<std::uint32_t>(h.biWidth));
  Put32(b, 8, static_cast<std::uint32_t>(h.biHeight));
  Put16(b, 12, h.biPlanes);
  Put16(b, 14, h.biBitCount);
  Put32(b, 16, h.biCompression);
  Put32(b, 20, h.biSizeImage);
  Put32(b, 24, static_cast<std::uint32_t>(h.biXPelsPerMeter));
  Put32(b, 28, static_cast<std::uint32_t>(h.biYPelsPerMeter));
  Put32(b, 32, h.biClrUsed);
  Put32(b, 36, h.biClrImportant);
  return a;
}

DibHeader BlockHeader(int bitCount, bool topDown) {
  DibHeader h;
  h.biSize = kDibHeaderSize;
  h.biWidth = kBlockSide;
  h.biHeight = topDown ? -kBlockSide : kBlockSide;
  h.biPlanes = 1;
  h.biBitCount = static_cast<std::uint16_t>(bitCount);
  h.biCompression = 0;
  h.biSizeImage = static_cast<std::uint32_t>((kBlockSide * bitCount + 31) / 32 * 4 * kBlockSide);
  return h;
}

std::optional<DibLayout> CheckDibHeader(const DibHeader& h, std::string* why) {
  if (h.biSize != kDibHeaderSize) return Fail(why, "header size " + std::to_string(h.biSize));
  if (h.biWidth < 1) return Fail(why, "width " + std::to_string(h.biWidth));
  if (h.biHeight == 0) return Fail(why, "height 0");
  if (h.biPlanes != 1) return Fail(why, "planes " + std::to_string(h.biPlanes));
  if (h.biBitCount != 16 && h.biBitCount != 24 && h.biBitCount != 32) {
    return Fail(why, "bit count " + std::to_string(h.biBitCount) +
                         " (a colour table is needed or "
                         "the format is unknown)");
  }
  if (h.biCompression != 0) return Fail(why, "compression " + std::to_string(h.biCompression));
  const std::int64_t rows = h.biHeight < 0 ? -static_cast<std::int64_t>(h.biHeight)
                                           : static_cast<std::int64_t>(h.biHeight);
  const std::int64_t stride = (static_cast<std::int64_t>(h.biWidth) * h.biBitCount + 31) / 32 * 4;
  // Each factor is checked on its own first: their product can overflow 64 bits.
  if (stride > static_cast<std::int64_t>(kBlockSize) ||
      rows > static_cast<std::int64_t>(kBlockSize) ||
      stride * rows > static_cast<std::int64_t>(kBlockSize)) {
    return Fail(why, std::to_string(h.biWidth) + " x " + std::to_string(rows) + " at " +
                         std::to_string(h.biBitCount) + " bits does not fit in a block");
  }
  DibLayout l;
  l.width = h.biWidth;
  l.height = static_cast<int>(rows);
  l.topDown = h.biHeight < 0;
  l.bitCount = h.biBitCount;
  l.stride = static_cast<std::size_t>(stride);
  return l;
}

void DecodeDibBlock(const DibLayout& l, std::span<const std::uint8_t, kBlockSize> block,
                    std::array<std::uint32_t, kBlockSide * kBlockSide>& out) {
  const int w = l.drawWidth(), h = l.drawHeight();
  const std::size_t bpp = static_cast<std::size_t>(l.bitCount / 8);
  for (int y = 0; y < h; ++y) {
    const std::size_t row = static_cast<std::size_t>(l.topDown ? y : l.height - 1 - y);
    const std::uint8_t* p = block.data() + row * l.stride;
    for (int x = 0; x < w; ++x, p += bpp) {
      std::uint32_t rgb;
      if (l.bitCount == 16) {
        const std::uint32_t v = static_cast<std::uint32_t>(p[0] | (p[1] << 8));
        rgb = (Widen5((v >> 10) & 31) << 16) | (Widen5((v >> 5) & 31) << 8) | Widen5(v & 31);
      } else {
        rgb = (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[1]) << 8) |
              p[0];
      }
      out[static_cast<std::size_t>(y * kBlockSide + x)] = rgb;
    }
  }
}

std::array<std::uint8_t, kBlockSize> EncodeDibBlock(
    const DibHeader& header, const std::array<std::uint32_t, kBlockSide * kBlockSide>& pixels) {
  std::array<std::uint8_t, kBlockSize> block{};
  const auto layout = CheckDibHeader(header);
  if (!layout) return block;
  const std::size_t bpp = static_cast<std::size_t>(layout->bitCount / 8);
  for (int y = 0; y < layout->drawHeight(); ++y) {
    const std::size_t row = static_cast<std::size_t>(layout->topDown ? y : layout->height - 1 - y);
    std::uint8_t* p = block.data() + row * layout->stride;
    for (int x = 0; x < layout->drawWidth(); ++x, p += bpp) {
      const std::uint32_t c = pixels[static_cast<std::size_t>(y * kBlockSide + x)];
      const std::uint8_t r = static_cast<std::uint8_t>(c >> 16),
                         g = static_cast<std::uint8_t>(c >> 8), b = static_cast<std::uint8_t>(c);
      if (layout->bitCount == 16) {
        const std::uint16_t v =
            static_cast<std::uint16_t>(((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3));
        p[0] = static_cast<std::uint8_t>(v);
        p[1] = static_cast<std::uint8_t>(v >> 8);
      } else {
        p[0] = b;
        p[1] = g;
        p[2] = r;
        if (bpp == 4) p[3] = 0;
      }
    }
  }
  return block;
}

}  // namespace cs
