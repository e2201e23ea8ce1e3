#include "gamelink/check_picture.h"

#include <algorithm>

namespace cs {

CheckPicture::CheckPicture() {
  for (auto& p : px_) p.store(kBrush, std::memory_order_relaxed);
}

std::uint32_t CheckPicture::Pixel(int x, int y) const {
  if (x < 0 || y < 0 || x >= kSide || y >= kSide) return kNoPixel;
  return px_[static_cast<std::size_t>(y * kSide + x)].load(std::memory_order_relaxed);
}

void CheckPicture::SetPixel(int x, int y, std::uint32_t rgb) {
  if (x < 0 || y < 0 || x >= kSide || y >= kSide) return;
  px_[static_cast<std::size_t>(y * kSide + x)].store(rgb, std::memory_order_relaxed);
}

void CheckPicture::FillRect(int x, int y, int w, int h, std::uint32_t rgb) {
  const int x0 = std::max(x, 0), y0 = std::max(y, 0);
  const int x1 = std::min(x + std::max(w, 0), kSide), y1 = std::min(y + std::max(h, 0), kSide);
  for (int yy = y0; yy < y1; ++yy) {
    for (int xx = x0; xx < x1; ++xx) SetPixel(xx, yy, rgb);
  }
}

void CheckPicture::Assign(const BmpImage& image) {
  for (int y = 0; y < kSide; ++y) {
    for (int x = 0; x < kSide; ++x) {
      const bool inside = x < image.width && y < image.height;
      SetPixel(x, y, inside ? (image.At(x, y) & 0x00FFFFFFu) : kNoPixel);
    }
  }
}

BmpImage CheckPicture::ToBmp() const {
  BmpImage img;
  img.width = kSide;
  img.height = kSide;
  img.pixels.resize(kSide * kSide);
  for (int y = 0; y < kSide; ++y) {
    for (int x = 0; x < kSide; ++x) {
      const std::uint32_t p = Pixel(x, y);
      // A pixel the bitmap never had is stored as black, as an empty bitmap area would be.
      img.pixels[static_cast<std::size_t>(y * kSide + x)] = p == kNoPixel ? 0 : p;
    }
  }
  return img;
}

QImage CheckPicture::ToImage() const {
  QImage img(kSide, kSide, QImage::Format_RGB32);
  for (int y = 0; y < kSide; ++y) {
    for (int x = 0; x < kSide; ++x) {
      const std::uint32_t p = Pixel(x, y);
      img.setPixel(x, y, 0xFF000000u | (p == kNoPixel ? 0 : p));
    }
  }
  return img;
}

void CheckPicture::SetSize(int w, int h) {
  width_.store(w, std::memory_order_relaxed);
  height_.store(h, std::memory_order_relaxed);
}

}  // namespace cs
