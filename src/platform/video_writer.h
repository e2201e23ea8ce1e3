#pragma once
// Writes a silent AVI video (MPEG-4 part 2, or Motion JPEG) from pictures: the demo cabinet's previews, and test
// videos of exact sizes and lengths.
#include <QImage>
#include <filesystem>
#include <memory>
#include <string>

namespace cs {

class VideoWriter {
 public:
  VideoWriter();
  ~VideoWriter();
  VideoWriter(const VideoWriter&) = delete;
  VideoWriter& operator=(const VideoWriter&) = delete;

  enum class Codec { kMpeg4, kMjpeg };
  // Starts a w x h file at fps frames per second. False (with `*error`) on failure.
  bool Open(const std::filesystem::path& file, int w, int h, int fps, std::string* error = nullptr,
            Codec codec = Codec::kMpeg4);
  // Adds one frame (scaled to the file's size if it differs).
  bool Write(const QImage& frame);
  // Flushes the encoder and finishes the file. False when writing failed at any point.
  bool Close();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace cs
