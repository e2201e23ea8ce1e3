#pragma once
// The shared frame block: the emulator copies the seven watched regions of the game's picture
// into it, the screen check reads them. Layout (2844 bytes):
//      0    4  not read
//      4   40  bitmap information header describing one block (Windows DIB header)
//     44  400  block 0, region "P1-B1"; then blocks 1..6 every 400 bytes ("Bmp Start" at 2444)
// Each block holds a 10 x 10 picture in the header's format: 16, 24 or 32 bits per pixel without
// compression (the formats that need no colour table), rows padded to 4 bytes, bottom-up for a
// positive height, top-down for a negative one. The block may come from a hostile or half-written
// emulator: the header is validated on a private copy and a pixel is never read outside its
// 400 bytes.
#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace cs {

inline constexpr std::size_t kSharedFrameSize = 2844;
inline constexpr std::size_t kDibHeaderOffset = 4;
inline constexpr std::size_t kDibHeaderSize = 40;
inline constexpr std::size_t kFirstBlockOffset = 44;
inline constexpr std::size_t kBlockSize = 400;
inline constexpr int kBlockCount = 7;
inline constexpr int kBlockSide = 10;

inline constexpr std::size_t BlockOffset(int block) {
  return kFirstBlockOffset + static_cast<std::size_t>(block) * kBlockSize;
}

// The block's name: "/SHM", or COINSHELL_SHM from the environment when it holds a valid name
// (tests running side by side give each cabinet its own). The emulator gets the same variable.
inline constexpr const char* kSharedFrameDefaultName = "/SHM";
inline constexpr const char* kSharedFrameNameVariable = "COINSHELL_SHM";
std::string SharedFrameName();
// The named semaphore that goes with a block: name + "_SMMutex" ("/SHM_SMMutex").
std::string SharedFrameMutexName(const std::string& blockName);
// What the emulator's environment gets besides the shell's own: COINSHELL_IPC, and
// COINSHELL_SHM when the block's name was overridden.
std::vector<std::pair<std::string, std::string>> EmulatorEnvironment(
    const std::filesystem::path& ipcDir);

struct DibHeader {
  std::uint32_t biSize = 0;
  std::int32_t biWidth = 0;
  std::int32_t biHeight = 0;
  std::uint16_t biPlanes = 0;
  std::uint16_t biBitCount = 0;
  std::uint32_t biCompression = 0;
  std::uint32_t biSizeImage = 0;
  std::int32_t biXPelsPerMeter = 0;
  std::int32_t biYPelsPerMeter = 0;
  std::uint32_t biClrUsed = 0;
  std::uint32_t biClrImportant = 0;
};

DibHeader ParseDibHeader(std::span<const std::uint8_t, kDibHeaderSize> bytes);
std::array<std::uint8_t, kDibHeaderSize> EncodeDibHeader(const DibHeader& h);
// The header of a 10 x 10 block at the given bit count; bottom-up unless topDown.
DibHeader BlockHeader(int bitCount, bool topDown = false);

// How the pixels of a block are laid out, once the header has been accepted.
struct DibLayout {
  int width = 0;   // of the bitmap the header states
  int height = 0;  // rows, always positive
  bool topDown = false;
  int bitCount = 0;
  std::size_t stride = 0;  // bytes per row, padded to 4
  // Of the block's 10 x 10 top-left corner, what the bitmap covers.
  int drawWidth() const { return width < kBlockSide ? width : kBlockSide; }
  int drawHeight() const { return height < kBlockSide ? height : kBlockSide; }
};

// Accepts: biSize 40, a width of at least 1, a height that is not 0, one plane, 16, 24 or 32
// bits per pixel, no compression, and all rows (stride x height) within the 400-byte block.
// biSizeImage, the resolutions and the colour counts do not change how such pixels are read and
// are not trusted. nullopt with `*why` for anything else.
std::optional<DibLayout> CheckDibHeader(const DibHeader& h, std::string* why = nullptr);

// Decodes the part of the block's top-left 10 x 10 that the bitmap covers into out (row-major,
// 10 per row, 0x00RRGGBB; 16-bit 5-5-5 channels widened as (v << 3) | (v >> 2)); the rest of
// out is left alone.
void DecodeDibBlock(const DibLayout& layout, std::span<const std::uint8_t, kBlockSize> block,
                    std::array<std::uint32_t, kBlockSide * kBlockSide>& out);

// The emulator's side: encodes 10 x 10 pixels (row-major, 0x00RRGGBB) into a block in the
// header's format (16, 24 or 32 bits, either row order). Bytes past the rows stay 0.
std::array<std::uint8_t, kBlockSize> EncodeDibBlock(
    const DibHeader& header, const std::array<std::uint32_t, kBlockSide * kBlockSide>& pixels);

}  // namespace cs
