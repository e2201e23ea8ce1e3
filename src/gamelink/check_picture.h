#pragma once
// A picture of the screen check: a 20 x 20 pixel buffer (0x00RRGGBB words) with a shown size.
// The capture pictures are drawn by the screen-check thread while the main window (and the
// configuration window) may look at them, and the reference pictures are loaded by the main
// window between games while the thread may still be finishing a pass, so every pixel and the
// shown size are relaxed atomics: no lock, as designed, and no undefined behaviour either.
#include <QImage>
#include <array>
#include <atomic>
#include <cstdint>

#include "platform/bmp.h"

namespace cs {

class CheckPicture final {
 public:
  static constexpr int kSide = 20;
  // What a pixel outside a loaded bitmap reads as; never equal to a drawn pixel.
  static constexpr std::uint32_t kNoPixel = 0xFFFFFFFFu;
  // The canvas's brush colour (white): new pictures and FillRect.
  static constexpr std::uint32_t kBrush = 0x00FFFFFFu;

  CheckPicture();
  CheckPicture(const CheckPicture&) = delete;
  CheckPicture& operator=(const CheckPicture&) = delete;

  // Out of range: kNoPixel (read), ignored (write).
  std::uint32_t Pixel(int x, int y) const;
  void SetPixel(int x, int y, std::uint32_t rgb);
  // Clipped to the picture.
  void FillRect(int x, int y, int w, int h, std::uint32_t rgb = kBrush);
  // The bitmap becomes the image's top-left 20 x 20; where the image has no pixel, kNoPixel.
  void Assign(const BmpImage& image);
  // The whole 20 x 20 bitmap.
  BmpImage ToBmp() const;
  QImage ToImage() const;

  // Shown size (the capture pictures show RegionWidth x RegionHeight).
  int Width() const { return width_.load(std::memory_order_relaxed); }
  int Height() const { return height_.load(std::memory_order_relaxed); }
  void SetSize(int w, int h);

 private:
  std::array<std::atomic<std::uint32_t>, kSide * kSide> px_;
  std::atomic<int> width_{kSide};
  std::atomic<int> height_{kSide};
};

}  // namespace cs
