#pragma once
// The preview player: the operations of a multimedia player the menu uses, on FFmpeg. It never
// plays by itself: the menu steps it a few frames per tick, so decoding happens only on the main
// thread's ticks and a preview can never run ahead of the menu. No sound is ever decoded.
//
// Positions and lengths are in frames. After Open() the position is 0 and the first frame is
// shown; Step(n) decodes n frames and shows the last; Rewind() goes back to the first frame.
#include <QImage>
#include <QRect>
#include <cstdint>
#include <filesystem>
#include <memory>

namespace cs {

class VideoPlayer {
 public:
  enum class Mode { kNotReady, kStopped, kPlaying, kPaused, kOpen };

  VideoPlayer();
  ~VideoPlayer();
  VideoPlayer(const VideoPlayer&) = delete;
  VideoPlayer& operator=(const VideoPlayer&) = delete;

  void SetFileName(std::filesystem::path p) { file_ = std::move(p); }
  const std::filesystem::path& FileName() const { return file_; }

  // Opens FileName(): false (nothing open) when it is missing, not a video, or undecodable.
  bool Open();
  void Close();
  // Stepping playback has nothing running to stop; the mode becomes stopped. No effect when
  // nothing is open.
  void Stop();
  Mode GetMode() const;
  std::int64_t Position() const { return position_; }
  std::int64_t Length() const { return length_; }
  // Back to the first frame. False on a decode error (the player stays usable).
  bool Rewind();
  // Decodes `frames` frames forward (at most to the end); false on error or at the end.
  bool Step(int frames);
  void SetFramesPerStep(int n) { frames_per_step_ = n; }
  int FramesPerStep() const { return frames_per_step_; }

  // The video's own size: the rectangle the player proposes after opening (0,0,w,h).
  QRect ProposedRect() const;
  // Where the video is drawn inside its display surface, scaled to that size.
  void SetDisplayRect(const QRect& r);
  QRect DisplayRect() const { return display_; }
  // The current frame at the display rectangle's size (null when nothing is open).
  const QImage& Frame() const { return frame_; }
  // Counts the frames decoded since opening (benchmarks, tests).
  std::int64_t DecodedFrames() const { return decoded_; }

 private:
  struct Impl;
  bool DecodeOne(bool keep);
  void Convert();

  std::filesystem::path file_;
  std::unique_ptr<Impl> impl_;
  std::int64_t position_ = 0, length_ = 0, decoded_ = 0;
  int frames_per_step_ = 1;
  bool stopped_ = true;
  QRect display_;
  QImage frame_;
  QImage scaled_;
};

}  // namespace cs
