// Fuzz target: a reference picture file of any content through the bitmap reader, and what it
// decodes into a picture of the screen check.
#include <cstdint>
#include <cstdlib>
#include <span>

#include "gamelink/check_picture.h"
#include "platform/bmp.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto img = cs::DecodeBmp(std::span<const std::uint8_t>(data, size));
  if (!img) return 0;
  if (img->width < 1 || img->height < 1 ||
      img->pixels.size() != static_cast<std::size_t>(img->width) * img->height) {
    std::abort();
  }
  static cs::CheckPicture picture;
  picture.Assign(*img);
  const auto again = cs::DecodeBmp(cs::EncodeBmp32(*img));
  if (!again || again->pixels != img->pixels) std::abort();
  return 0;
}
